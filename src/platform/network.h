#pragma once

#include <QNetworkRequest>

#include <chrono>

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

// A request for `url` that is given up once nothing has arrived for `transferTimeout`, so a server
// that accepts and then stays silent cannot hold a caller forever. Every request this program sends
// is made here: Qt reads a zero time-out as none at all, so the shortest one given is a millisecond.
QNetworkRequest makeRequest(const QUrl &url, std::chrono::milliseconds transferTimeout);

} // namespace platform
