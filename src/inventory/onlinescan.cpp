#include "inventory/onlinescan.h"

#include "inventory/appstorelookup.h"
#include "platform/background.h"
#include "platform/network.h"
#include "platform/result.h"

#include <QNetworkRequest>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>

namespace inventory {

using model::AppRecord;
using model::AppSource;

namespace {

// One GET, awaited on the main thread. These requests carry nothing secret, so they may follow a
// redirect to https or within the same server. Fails only when no whole answer came within the
// limits: an HTTP error status has a body like any other.
QCoro::Task<platform::Result<QByteArray>> fetch(QUrl address, platform::TransferLimits limits) {
    platform::Result<platform::HttpAnswer> answer = co_await platform::send(
        "GET", QNetworkRequest(address), QByteArray(), limits, platform::Redirects::secureOrSameOrigin);
    if (!answer)
        co_return answer.failure();
    co_return std::move(answer->body);
}

} // namespace

QCoro::Task<CaskMap> loadCaskCatalogue(Endpoints endpoints) {
    const QUrl address = endpointAddress(endpoints.caskCatalogue, QStringLiteral("/api/cask.json"));
    if (!address.isValid())
        co_return CaskMap();
    const platform::Result<QByteArray> body = co_await fetch(address, endpoints.catalogueLimits);
    if (!body)
        co_return CaskMap();
    // About 16 MB of JSON: parsed off the main thread so its event loop keeps running.
    co_return co_await QtConcurrent::run(parseCaskCatalogue, *body);
}

QCoro::Task<std::optional<qint64>> lookUpAppStoreId(Endpoints endpoints, QString bundleId) {
    const QUrl address = lookupAddress(endpoints.appStoreLookup, bundleId);
    if (!address.isValid())
        co_return std::nullopt;
    const platform::Result<QByteArray> body = co_await fetch(address, endpoints.lookupLimits);
    if (!body)
        co_return std::nullopt;
    co_return parseLookupResponse(*body);
}

QCoro::Task<QList<AppRecord>> enrichApps(Endpoints endpoints, QList<AppRecord> apps) {
    const CaskMap casks = co_await loadCaskCatalogue(endpoints);
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
                app.appStoreId = co_await lookUpAppStoreId(endpoints, *app.bundleId);
            break;
        case AppSource::apple:
            break;
        }
    }
    co_return apps;
}

namespace {

// The blocking steps, as they run on the pool.
platform::Result<QList<AppRecord>> scanAppsOnPool(InventoryEngine engine) {
    return platform::catchingFailures([&] { return engine.scanApps(); });
}

platform::Result<model::Manifest> assembleOnPool(InventoryEngine engine, QList<AppRecord> apps) {
    return platform::catchingFailures([&] { return engine.assembleManifest(std::move(apps)); });
}

platform::Failure scanFailure(const platform::Failure &cause) {
    return platform::fail(QStringLiteral("The scan stopped: ") + cause.message);
}

} // namespace

// The pool's work is handed over as a function and copied arguments, never as a lambda capturing
// locals of the coroutine: g++ 12 destroys such a capture twice once the coroutine has suspended.
QCoro::Task<platform::Result<model::Manifest>> scan(InventoryEngine engine, bool matchOnline) {
    platform::Result<QList<AppRecord>> apps = co_await QtConcurrent::run(&scanAppsOnPool, engine);
    if (!apps)
        co_return scanFailure(apps.failure());
    QList<AppRecord> list = std::move(apps).value();
    if (matchOnline)
        list = co_await enrichApps(engine.endpoints(), std::move(list));
    // The scan time is taken inside assembleManifest, after the list (and its enrichment) is final.
    platform::Result<model::Manifest> manifest =
        co_await QtConcurrent::run(&assembleOnPool, engine, std::move(list));
    if (!manifest)
        co_return scanFailure(manifest.failure());
    co_return manifest;
}

} // namespace inventory
