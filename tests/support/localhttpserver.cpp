#include "localhttpserver.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

#include <sys/socket.h>

// One accepted connection: reads a request, answers it as the handler says, then closes.
class LocalHttpConnection final : public QObject {
public:
    LocalHttpConnection(QTcpSocket *socket, LocalHttpServer *server)
        : QObject(socket)
        , m_socket(socket)
        , m_server(server) {
        connect(socket, &QTcpSocket::readyRead, this, [this] { read(); });
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            // A client that gave up on a silent request is no longer waiting for it.
            if (m_handled && !m_answered)
                m_server->finished();
            m_answered = true;
            m_socket->deleteLater();
        });
    }

private:
    void read() {
        m_buffer += m_socket->readAll();
        if (m_handled)
            return;
        const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = m_buffer.left(headerEnd).split('\n');
        LocalHttpServer::Request request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("content-length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        const qsizetype bodyStart = headerEnd + 4;
        if (m_buffer.size() - bodyStart < contentLength)
            return;
        request.body = m_buffer.mid(bodyStart, contentLength);
        m_handled = true;

        const LocalHttpServer::Response response = m_server->handle(request);
        if (response.neverAnswer)
            return; // the connection stays open and silent until the client gives up
        QTimer::singleShot(response.delay, this, [this, response] { answer(response); });
    }

    void answer(const LocalHttpServer::Response &response) {
        using Delivery = LocalHttpServer::Delivery;
        if (m_answered)
            return;
        if (!response.raw.isEmpty()) {
            finish(response.raw);
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        if (response.delivery != Delivery::closeDelimited)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        const QByteArray half = response.body.left(response.body.size() / 2);
        switch (response.delivery) {
        case Delivery::whole:
        case Delivery::closeDelimited:
            finish(head + response.body);
            break;
        case Delivery::truncated:
            finish(head + half);
            break;
        case Delivery::stallAfterHeaders:
            m_socket->write(head);
            break;
        case Delivery::resetMidBody: {
            m_socket->write(head + half);
            m_socket->waitForBytesWritten(1000);
            // No lingering: the close sends a reset rather than an orderly end.
            const linger hard{1, 0};
            ::setsockopt(static_cast<int>(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                         sizeof hard);
            m_answered = true;
            m_server->finished();
            m_socket->abort();
            break;
        }
        case Delivery::drip: {
            m_socket->write(head);
            auto *timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this,
                    [this, timer, body = response.body, sent = qsizetype(0)]() mutable {
                        if (sent < body.size()) {
                            m_socket->write(body.mid(sent++, 1));
                            return;
                        }
                        timer->stop();
                        finish({});
                    });
            timer->start(response.dripInterval);
            break;
        }
        }
    }

    void finish(const QByteArray &out) {
        if (m_answered)
            return;
        m_answered = true;
        m_server->finished();
        m_socket->write(out);
        m_socket->disconnectFromHost();
    }

    QTcpSocket *m_socket;
    LocalHttpServer *m_server;
    QByteArray m_buffer;
    bool m_handled = false;
    bool m_answered = false;
};

QByteArray LocalHttpServer::Request::header(const QByteArray &name) const {
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LocalHttpServer::LocalHttpServer(Handler handler)
    : m_handler(std::move(handler)) {
    m_thread.setObjectName(QStringLiteral("LocalHttpServer"));
    // Set up here, then handed to the thread with its listening socket, so its connections live there
    // too. (A QThread object itself lives on the thread that made it, so it cannot run code over there.)
    m_server = new QTcpServer;
    m_server->listen(QHostAddress::LocalHost);
    m_port = m_server->serverPort();
    QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection())
            new LocalHttpConnection(socket, this);
    });
    m_server->moveToThread(&m_thread);
    m_thread.start();
}

LocalHttpServer::~LocalHttpServer() {
    // A finishing thread deletes what was handed to deleteLater, on that thread. The call waits, or
    // quit() could end the thread's event loop before the request got there.
    QMetaObject::invokeMethod(m_server, &QObject::deleteLater, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QUrl LocalHttpServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

void LocalHttpServer::setHandler(Handler handler) {
    QMutexLocker lock(&m_mutex);
    m_handler = std::move(handler);
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int LocalHttpServer::maxConcurrentRequests() const {
    QMutexLocker lock(&m_mutex);
    return m_maxInFlight;
}

LocalHttpServer::Response LocalHttpServer::json(const QByteArray &body, int status) {
    Response response;
    response.status = status;
    response.body = body;
    response.headers = {{"Content-Type", "application/json"}};
    return response;
}

LocalHttpServer::Response LocalHttpServer::redirect(const QByteArray &location, int status) {
    Response response;
    response.status = status;
    response.body = "moved";
    response.headers = {{"Location", location}};
    return response;
}

LocalHttpServer::Response LocalHttpServer::handle(const Request &request) {
    Handler handler;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        m_maxInFlight = std::max(m_maxInFlight, ++m_inFlight);
        handler = m_handler;
    }
    if (handler)
        return handler(request);
    Response none;
    none.status = 404;
    none.body = "no handler";
    return none;
}

void LocalHttpServer::finished() {
    QMutexLocker lock(&m_mutex);
    --m_inFlight;
}
