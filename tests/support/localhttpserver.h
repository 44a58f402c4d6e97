#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QThread>
#include <QUrl>

#include <chrono>
#include <functional>

class QTcpServer;

// A scripted HTTP/1.1 server on 127.0.0.1 for tests. It runs on a thread of its own, so it answers
// while the test thread blocks (in a child process wait, say). Every connection carries one request
// and is closed after the answer.
class LocalHttpServer final {
public:
    struct Request {
        QByteArray method;
        QByteArray target; // path and query, as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    };
    // How the answer goes out: the faults a real network or a hostile server produces.
    enum class Delivery {
        whole,             // status, headers with Content-Length, body; then closed
        closeDelimited,    // no Content-Length: the body ends where the connection does
        drip,              // the body one byte per dripInterval, for as long as it lasts
        stallAfterHeaders, // the headers, then silence until the client gives up
        resetMidBody,      // half the announced body, then the connection is reset
        truncated,         // half the announced body, then the connection is closed cleanly
    };
    struct Response {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        std::chrono::milliseconds delay{0}; // wait this long before answering
        bool neverAnswer = false;           // accept the request and stay silent
        QByteArray raw;                     // when set, sent instead of an HTTP answer
        Delivery delivery = Delivery::whole;
        std::chrono::milliseconds dripInterval{50};
    };
    // A redirect to `location` with the given 3xx status.
    static Response redirect(const QByteArray &location, int status = 307);
    using Handler = std::function<Response(const Request &)>;

    explicit LocalHttpServer(Handler handler = {});
    ~LocalHttpServer();
    Q_DISABLE_COPY_MOVE(LocalHttpServer)

    // "http://127.0.0.1:PORT", no trailing slash.
    QUrl url() const;
    quint16 port() const { return m_port; }
    void setHandler(Handler handler);

    QList<Request> requests() const;
    // The most requests that were being handled at the same moment.
    int maxConcurrentRequests() const;

    static Response json(const QByteArray &body, int status = 200);

private:
    friend class LocalHttpConnection;
    Response handle(const Request &request);
    void finished();

    QThread m_thread;
    QTcpServer *m_server = nullptr; // lives on m_thread
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    Handler m_handler;
    QList<Request> m_requests;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
};
