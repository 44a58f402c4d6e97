#pragma once

class QNetworkAccessManager;

namespace platform {

// The process's one network access manager, shared by every request so connections and caches are
// shared too. It is created on first use and lives on the main thread: call this only from the main
// thread, and await the replies there (a QNetworkAccessManager may only be used from its own thread).
// A QCoreApplication must exist; the manager goes away with it.
QNetworkAccessManager *network();

} // namespace platform
