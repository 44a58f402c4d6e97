#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QtGlobal>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

namespace platform {

// The process's one network access manager, shared by every request so connections and caches are
// shared too. It is created on first use and lives on the main thread: call this only from the main
// thread, and await the replies there (a QNetworkAccessManager may only be used from its own thread).
// A QCoreApplication must exist; the manager goes away with it.
QNetworkAccessManager *network();

// Whether a finished reply failed without a whole answer: network-layer and proxy failures (the codes
// below the content errors), even when a status line arrived, so a transfer cut off or timed out half
// way is one. An HTTP error status is an answer like any other, and its body is what the server sent.
bool isTransportFailure(const QNetworkReply &reply);

// How long one exchange may take and how much of its answer is read. The idle time-out alone lets a
// server that drips a byte now and then hold a caller forever, hence the overall deadline; and an
// answer is kept whole in memory, hence the size cap.
struct TransferLimits {
    std::chrono::milliseconds idleTimeout{60000}; // nothing arrived for this long
    std::chrono::milliseconds deadline{60000};    // from sending to the last byte
    qint64 maxBodyBytes = 32 * 1024 * 1024;

    friend bool operator==(const TransferLimits &, const TransferLimits &) = default;
};

// Which redirects an exchange follows. A request that carries a secret follows none: Qt would copy
// its headers to wherever the server points. A public one may go on to an https address, or stay on
// the server it started at.
enum class Redirects { none, secureOrSameOrigin };

// A whole answer: its status (0 when it was not an HTTP answer at all), its headers and its body.
struct HttpAnswer {
    qint64 status = 0;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;

    // The value of a header, its name in any letter case; empty when absent.
    QByteArray header(QByteArrayView name) const;
};

// Told of the bytes of an answer's body as they arrive, and of the whole size when the server says
// it (-1 otherwise).
using ReceivedBytes = std::function<void(qint64 received, qint64 total)>;

// Sends `request` with the method "GET" or "PUT" (with `body`) through the shared manager and waits,
// without blocking the thread, for the whole answer within `limits`. Fails with a message for the user
// when no whole answer came: a transport failure, the deadline passed, the body grew past the cap, or
// a redirect that is not allowed. Any status, 3xx included when redirects are not followed, is an
// answer. Call on the main thread.
[[nodiscard]] QCoro::Task<Result<HttpAnswer>> send(QByteArray method, QNetworkRequest request,
                                                   QByteArray body, TransferLimits limits,
                                                   Redirects redirects, ReceivedBytes received = {});

// "60 seconds", "5 minutes", "250 ms": a wait as a message names it.
QString describeDuration(std::chrono::milliseconds duration);
// "32 MiB", "4 KiB", "100 bytes".
QString describeSize(qint64 bytes);

} // namespace platform
