#include "inventory/onlinescan.h"

#include "inventory/appstorelookup.h"
#include "platform/network.h"
#include "platform/result.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopedPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>
#include <QCoroNetworkReply>

namespace inventory {

using model::AppRecord;
using model::AppSource;

namespace {

// One GET through the shared manager, awaited on the main thread. Fails only when no whole answer
// came: an HTTP error status has a body like any other.
QCoro::Task<platform::Result<QByteArray>> fetch(QUrl address, std::chrono::milliseconds timeout) {
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(
        platform::network()->get(platform::makeRequest(address, timeout)));
    co_await reply.get();
    if (platform::isTransportFailure(*reply))
        co_return platform::fail(reply->errorString());
    co_return reply->readAll();
}

} // namespace

QCoro::Task<CaskMap> loadCaskCatalogue(Endpoints endpoints) {
    const QUrl address = endpointAddress(endpoints.caskCatalogue, QStringLiteral("/api/cask.json"));
    if (!address.isValid())
        co_return CaskMap();
    const platform::Result<QByteArray> body = co_await fetch(address, endpoints.transferTimeout);
    if (!body)
        co_return CaskMap();
    // About 16 MB of JSON: parsed off the main thread so its event loop keeps running.
    co_return co_await QtConcurrent::run(parseCaskCatalogue, *body);
}

QCoro::Task<std::optional<qint64>> lookUpAppStoreId(Endpoints endpoints, QString bundleId) {
    const QUrl address = lookupAddress(endpoints.appStoreLookup, bundleId);
    if (!address.isValid())
        co_return std::nullopt;
    const platform::Result<QByteArray> body = co_await fetch(address, endpoints.transferTimeout);
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

// The pool's work is handed over as a function and copied arguments, never as a lambda capturing
// locals of the coroutine: g++ 12 destroys such a capture twice once the coroutine has suspended.
QCoro::Task<model::Manifest> scan(InventoryEngine engine, bool matchOnline) {
    QList<AppRecord> apps = co_await QtConcurrent::run(&InventoryEngine::scanApps, engine);
    if (matchOnline)
        apps = co_await enrichApps(engine.endpoints(), std::move(apps));
    // The scan time is taken inside assembleManifest, after the list (and its enrichment) is final.
    co_return co_await QtConcurrent::run(&InventoryEngine::assembleManifest, engine, std::move(apps));
}

} // namespace inventory
