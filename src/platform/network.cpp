#include "platform/network.h"

#include <QCoreApplication>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QScopedPointer>
#include <QThread>
#include <QTimer>

#include <QCoroNetworkReply>

#include <algorithm>
#include <climits>
#include <memory>

namespace platform {

namespace {

int clampedMilliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(std::clamp<qint64>(duration.count(), 1, INT_MAX));
}

bool sameOrigin(const QUrl &a, const QUrl &b) {
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(-1) == b.port(-1);
}

// What the handlers of one exchange share with the coroutine that waits for it. Held by all of them,
// since a timer or a late signal may still arrive after the coroutine has finished.
struct Exchange {
    QByteArray body;
    QString stopReason; // set once the exchange was given up on purpose
};

} // namespace

QNetworkAccessManager *network() {
    QCoreApplication *app = QCoreApplication::instance();
    Q_ASSERT_X(app, "platform::network", "needs a QCoreApplication");
    Q_ASSERT_X(QThread::currentThread() == app->thread(), "platform::network",
               "the shared network access manager is used from the main thread only");
    // Parented to the application, so a test harness that makes a new application gets a new manager.
    static QPointer<QNetworkAccessManager> shared;
    if (!shared)
        shared = new QNetworkAccessManager(app);
    return shared;
}

bool isTransportFailure(const QNetworkReply &reply) {
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return false;
    if (error < QNetworkReply::ContentAccessDenied)
        return true;
    return !reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

QByteArray HttpAnswer::header(QByteArrayView name) const {
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QCoro::Task<Result<HttpAnswer>> send(QByteArray method, QNetworkRequest request, QByteArray body,
                                     TransferLimits limits, Redirects redirects, ReceivedBytes received) {
    const QUrl origin = request.url();
    const QString host = origin.host().isEmpty() ? origin.toString() : origin.host();
    request.setTransferTimeout(clampedMilliseconds(limits.idleTimeout));
    // A compressed answer is inflated only as it is read, and reading stops at the cap, so the cap
    // alone decides and an answer that inflates past it is reported as too large. Qt's own guard
    // would stop it first, as an unreadable answer. Progress reports make Qt inflate everything
    // as it arrives to count it, so there its guard stays.
    if (!received)
        request.setDecompressedSafetyCheckThreshold(-1);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         redirects == Redirects::none ? QNetworkRequest::ManualRedirectPolicy
                                                      : QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply *sent = method == "PUT"   ? network()->put(request, body)
                          : method == "GET" ? network()->get(request)
                                            : network()->sendCustomRequest(request, method, body);
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);

    const auto exchange = std::make_shared<Exchange>();
    // Aborting makes the reply finish, which resumes this coroutine; done from inside one of the
    // reply's own signals that would resume it in the middle of the emission. Queued, it happens once
    // the signal is over.
    const auto stop = [exchange, reply = sent](QString reason) {
        if (!exchange->stopReason.isEmpty())
            return;
        exchange->stopReason = std::move(reason);
        QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
    };
    const QString tooLarge =
        QCoreApplication::translate("platform::network",
                                    "The answer from %1 is larger than %2; stopped reading it.")
            .arg(host, describeSize(limits.maxBodyBytes));
    QTimer::singleShot(clampedMilliseconds(limits.deadline), sent, [stop, host, limits] {
        stop(QCoreApplication::translate("platform::network", "%1 didn't answer in full within %2; gave up.")
                 .arg(host, describeDuration(limits.deadline)));
    });
    QObject::connect(sent, &QNetworkReply::metaDataChanged, sent, [stop, sent, limits, tooLarge] {
        // A server that announces more than the cap is not waited for.
        const QVariant length = sent->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limits.maxBodyBytes)
            stop(tooLarge);
    });
    // Read as it arrives, so what is held never grows much past the cap.
    QObject::connect(sent, &QIODevice::readyRead, sent, [stop, exchange, sent, limits, tooLarge] {
        if (!exchange->stopReason.isEmpty()) {
            sent->skip(sent->bytesAvailable());
            return;
        }
        exchange->body += sent->read(limits.maxBodyBytes + 1 - exchange->body.size());
        if (exchange->body.size() > limits.maxBodyBytes)
            stop(tooLarge);
    });
    if (received)
        QObject::connect(sent, &QNetworkReply::downloadProgress, sent, received);
    QObject::connect(sent, &QNetworkReply::redirected, sent, [stop, sent, origin, host](const QUrl &target) {
        if (target.scheme() == u"https" || sameOrigin(target, origin))
            Q_EMIT sent->redirectAllowed();
        else
            stop(QCoreApplication::translate(
                     "platform::network",
                     "%1 redirected to %2, which is neither https nor the same server; not "
                     "followed.")
                     .arg(host, target.toString(QUrl::RemoveUserInfo)));
    });

    co_await reply.get();
    if (!exchange->stopReason.isEmpty())
        co_return fail(exchange->stopReason);
    // Only the idle time-out cancels without a stop reason of ours.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        co_return fail(QCoreApplication::translate("platform::network", "%1 sent nothing for %2; gave up.")
                           .arg(host, describeDuration(limits.idleTimeout)));
    // Qt says only "Connection closed" for a body cut short or reset half way.
    if (reply->error() == QNetworkReply::RemoteHostClosedError)
        co_return fail(QCoreApplication::translate(
                           "platform::network", "%1 closed the connection before the whole answer arrived.")
                           .arg(host));
    if (isTransportFailure(*reply))
        co_return fail(reply->errorString());
    exchange->body += reply->read(limits.maxBodyBytes + 1 - exchange->body.size());
    if (exchange->body.size() > limits.maxBodyBytes)
        co_return fail(tooLarge);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    co_return HttpAnswer{status.isValid() ? status.toLongLong() : 0, std::move(exchange->body),
                         reply->rawHeaderPairs()};
}

QString describeDuration(std::chrono::milliseconds duration) {
    const qint64 ms = duration.count();
    const auto counted = [](const char *text, qint64 n) {
        return QCoreApplication::translate("platform::network", text, nullptr, static_cast<int>(n));
    };
    if (ms >= 60000 && ms % 60000 == 0 && ms / 60000 <= INT_MAX)
        return counted("%n minute(s)", ms / 60000);
    if (ms >= 1000 && ms % 1000 == 0 && ms / 1000 <= INT_MAX)
        return counted("%n second(s)", ms / 1000);
    return QCoreApplication::translate("platform::network", "%1 ms").arg(ms);
}

QString describeSize(qint64 bytes) {
    // The unit the locale would write it in; a size that is a whole number of it (every limit) reads
    // so, any other in bytes, exactly.
    int power = 0;
    for (qint64 rest = bytes; rest >= 1024; rest /= 1024)
        ++power;
    if (power > 0 && bytes % (qint64(1) << (10 * power)) == 0)
        return QLocale().formattedDataSize(bytes, 0);
    if (bytes >= 0 && bytes <= INT_MAX)
        return QCoreApplication::translate("platform::network", "%n byte(s)", nullptr,
                                           static_cast<int>(bytes));
    return QCoreApplication::translate("platform::network", "%1 bytes").arg(bytes);
}

} // namespace platform
