// The network side of InventoryEngine: the cask catalogue, the App Store lookups, and the scan that
// strings them together with the blocking steps on the thread pool.

#include "inventory/appstorelookup.h"
#include "inventory/inventoryengine.h"
#include "platform/network.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>
#include <QCoroNetworkReply>

#include <algorithm>
#include <climits>
#include <memory>

namespace inventory {

using model::AppRecord;
using model::AppSource;

namespace {

struct LaterDeleter {
    void operator()(QObject *object) const { object->deleteLater(); }
};

// One GET through the shared manager, awaited on the main thread. Absent on a transport failure.
QCoro::Task<std::optional<QByteArray>> fetch(QUrl address, std::chrono::milliseconds timeout) {
    QNetworkRequest request(address);
    // Zero would mean "no time-out" to Qt; every request here gets one.
    request.setTransferTimeout(static_cast<int>(std::clamp<qint64>(timeout.count(), 1, INT_MAX)));
    const std::unique_ptr<QNetworkReply, LaterDeleter> reply(platform::network()->get(request));
    co_await reply.get();
    if (platform::isTransportFailure(*reply))
        co_return std::nullopt;
    co_return reply->readAll();
}

} // namespace

QCoro::Task<CaskMap> InventoryEngine::loadCaskCatalogue() const {
    const QUrl address = endpointAddress(m_endpoints.caskCatalogue, QStringLiteral("/api/cask.json"));
    const std::chrono::milliseconds timeout = m_endpoints.transferTimeout;
    if (!address.isValid())
        co_return CaskMap();
    const std::optional<QByteArray> body = co_await fetch(address, timeout);
    if (!body)
        co_return CaskMap();
    // About 16 MB of JSON: parsed off the main thread so its event loop keeps running.
    co_return co_await QtConcurrent::run(parseCaskCatalogue, *body);
}

QCoro::Task<std::optional<qint64>> InventoryEngine::lookUpAppStoreId(QString bundleId) const {
    const QUrl address = lookupAddress(m_endpoints.appStoreLookup, bundleId);
    const std::chrono::milliseconds timeout = m_endpoints.transferTimeout;
    if (!address.isValid())
        co_return std::nullopt;
    const std::optional<QByteArray> body = co_await fetch(address, timeout);
    if (!body)
        co_return std::nullopt;
    co_return parseLookupResponse(*body);
}

QCoro::Task<QList<AppRecord>> InventoryEngine::enrichApps(QList<AppRecord> apps) const {
    // The caller's engine need not outlive the task: work on a copy taken before the first suspension.
    const InventoryEngine self = *this;
    const CaskMap casks = co_await self.loadCaskCatalogue();
    for (AppRecord &app : apps) {
        switch (app.source) {
        case AppSource::cask:
        case AppSource::manual:
            if (!casks.isEmpty()) {
                const auto match = casks.constFind((app.name + QStringLiteral(".app")).toLower());
                if (match != casks.cend()) {
                    app.caskToken = *match;
                    app.source = AppSource::cask;
                }
            }
            break;
        case AppSource::appStore:
            // One request at a time: each lookup is awaited before the next record is looked at.
            if (app.bundleId)
                app.appStoreId = co_await self.lookUpAppStoreId(*app.bundleId);
            break;
        case AppSource::apple:
            break;
        }
    }
    co_return apps;
}

// The pool's work is handed over as a function and copied arguments, never as a lambda capturing
// locals of the coroutine: g++ 12 destroys such a capture twice once the coroutine has suspended.
QCoro::Task<model::Manifest> InventoryEngine::scan(bool matchOnline) const {
    const InventoryEngine self = *this;
    QList<AppRecord> apps = co_await QtConcurrent::run(&InventoryEngine::scanApps, self);
    if (matchOnline)
        apps = co_await self.enrichApps(std::move(apps));
    // The scan time is taken inside assembleManifest, after the list (and its enrichment) is final.
    co_return co_await QtConcurrent::run(&InventoryEngine::assembleManifest, self, std::move(apps));
}

} // namespace inventory
