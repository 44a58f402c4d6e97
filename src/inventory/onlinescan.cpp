#include "inventory/onlinescan.h"

#include "inventory/appstorelookup.h"
#include "inventory/fonts.h"
#include "platform/background.h"
#include "platform/logging.h"
#include "platform/network.h"
#include "platform/result.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QNetworkRequest>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>
#include <QCoroTimer>

#include <memory>

namespace inventory {

using model::AppRecord;
using model::AppSource;

namespace {

// One GET, awaited on the main thread; `received` hears of the bytes as they arrive. These requests
// carry nothing secret, so they may follow a redirect to https or within the same server. Fails only
// when no whole answer came within the limits: an HTTP error status has a body like any other.
QCoro::Task<platform::Result<platform::HttpAnswer>> fetch(QUrl address, platform::TransferLimits limits,
                                                          platform::ReceivedBytes received = {}) {
    co_return co_await platform::send("GET", QNetworkRequest(address), QByteArray(), limits,
                                      platform::Redirects::secureOrSameOrigin, std::move(received));
}

// The handler, told only of lines that differ from the one before.
ProgressHandler distinct(ProgressHandler handler) {
    if (!handler)
        return {};
    return [handler = std::move(handler), last = std::make_shared<QString>()](const QString &line) {
        if (line == *last)
            return;
        *last = line;
        handler(line);
    };
}

// What this Mac says for itself, read on the thread pool: which casks Homebrew installed, and the
// store ids Spotlight knows. The App Store records it knows nothing for are left to the lookup.
struct LocalFacts {
    QList<AppRecord> apps;
    InstalledCasks installedCasks;
    QList<qsizetype> toLookUp; // positions in apps
    model::Manifest rest;      // without applications, for a whole scan
};

LocalFacts readLocalFacts(const InventoryEngine &engine, QList<AppRecord> apps) {
    using namespace std::chrono;
    LocalFacts facts;
    // Spotlight's questions share one budget; once it is spent, the lookup service answers the rest.
    QElapsedTimer spotlight;
    spotlight.start();
    qsizetype unasked = 0;
    for (qsizetype i = 0; i < apps.size(); ++i) {
        AppRecord &app = apps[i];
        if (app.source != AppSource::appStore)
            continue;
        const milliseconds left = engine.toolLimits().spotlight - milliseconds(spotlight.elapsed());
        std::optional<qint64> id;
        if (left > 0ms)
            id = engine.spotlightAppStoreId(app.path, left);
        else
            ++unasked;
        if (id)
            app.appStoreId = id;
        else if (app.bundleId)
            facts.toLookUp.append(i);
    }
    if (unasked > 0)
        qCWarning(platform::lcHaulwise,
                  "Spotlight used up its %s for this scan; the App Store ids of %lld more apps come from the "
                  "lookup service.",
                  qUtf8Printable(platform::describeDuration(engine.toolLimits().spotlight)),
                  static_cast<long long>(unasked));
    facts.apps = std::move(apps);
    facts.installedCasks = engine.installedCasks();
    return facts;
}

// The whole of this Mac's side of an online scan: also the rest of the manifest, read now so that
// Homebrew and the other tools run while the catalogue downloads.
platform::Result<LocalFacts> scanLocalFacts(InventoryEngine engine) {
    return platform::catchingFailures([&] {
        LocalFacts facts = readLocalFacts(engine, engine.scanApps());
        facts.rest = engine.readManifestWithoutApps();
        return facts;
    });
}

// The same for a given list. Should reading this Mac break off, nothing is known of it, and every
// App Store record is left to the lookup.
LocalFacts readLocalFactsOnPool(InventoryEngine engine, QList<AppRecord> apps) {
    platform::Result<LocalFacts> facts =
        platform::catchingFailures([&] { return readLocalFacts(engine, apps); });
    if (facts)
        return std::move(facts).value();
    LocalFacts nothingKnown;
    for (qsizetype i = 0; i < apps.size(); ++i) {
        if (apps.at(i).source == AppSource::appStore && apps.at(i).bundleId)
            nothingKnown.toLookUp.append(i);
    }
    nothingKnown.apps = std::move(apps);
    return nothingKnown;
}

platform::Result<QList<AppRecord>> scanAppsOnPool(InventoryEngine engine) {
    return platform::catchingFailures([&] { return engine.scanApps(); });
}

platform::Result<model::Manifest> assembleOnPool(InventoryEngine engine, QList<AppRecord> apps) {
    return platform::catchingFailures([&] { return engine.assembleManifest(std::move(apps)); });
}

platform::Failure scanFailure(const platform::Failure &cause) {
    return platform::fail(
        QCoreApplication::translate("inventory::onlinescan", "The scan stopped: %1").arg(cause.message));
}

// Matches the casks, then asks the lookup service for the store ids Spotlight did not know, one
// record at a time.
QCoro::Task<QList<AppRecord>> completeEnrichment(Endpoints endpoints, CaskCatalogue catalogue,
                                                 LocalFacts facts, ProgressHandler progress) {
    if (!catalogue.isEmpty()) {
        for (AppRecord &app : facts.apps) {
            if (app.source != AppSource::cask && app.source != AppSource::manual)
                continue;
            if (std::optional<QString> token =
                    catalogue.caskFor(app.name, app.bundleId, facts.installedCasks)) {
                app.caskToken = std::move(token);
                app.source = AppSource::cask;
            }
        }
    }
    const qsizetype count = facts.toLookUp.size();
    for (qsizetype done = 0; done < count; ++done) {
        if (progress)
            progress(lookingUpText(done + 1, count));
        AppRecord &app = facts.apps[facts.toLookUp.at(done)];
        app.appStoreId = co_await lookUpAppStoreId(endpoints, *app.bundleId);
    }
    co_return std::move(facts.apps);
}

} // namespace

QString downloadingCatalogueText(qint64 received, qint64 total) {
    const auto size = [](qint64 bytes) {
        // Whole kilobytes, rounded up, until there is a megabyte to show in tenths.
        if (bytes < 1000000)
            return QCoreApplication::translate("inventory::onlinescan", "%1 kB")
                .arg(QLocale().toString((bytes + 999) / 1000));
        return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
    };
    const QString text =
        QCoreApplication::translate("inventory::onlinescan", "Downloading the cask catalogue…");
    if (total > 0)
        return QCoreApplication::translate("inventory::onlinescan", "%1 %2 of %3")
            .arg(text, size(received), size(total));
    if (received > 0)
        return QCoreApplication::translate("inventory::onlinescan", "%1 %2").arg(text, size(received));
    return text;
}

QString lookingUpText(qsizetype done, qsizetype count) {
    return QCoreApplication::translate("inventory::onlinescan", "Looking up App Store ids %1 of %2")
        .arg(QString::number(done), QString::number(count));
}

QCoro::Task<CaskCatalogue> loadCaskCatalogue(Endpoints endpoints, ProgressHandler progress) {
    const QUrl address = endpointAddress(endpoints.caskCatalogue, QStringLiteral("/api/cask.json"));
    if (!address.isValid())
        co_return CaskCatalogue();
    platform::ReceivedBytes received;
    if (progress) {
        received = [progress = distinct(std::move(progress))](qint64 bytes, qint64 total) {
            progress(downloadingCatalogueText(bytes, total));
        };
    }
    const platform::Result<platform::HttpAnswer> answer =
        co_await fetch(address, endpoints.catalogueLimits, std::move(received));
    if (!answer)
        co_return CaskCatalogue();
    // About 16 MB of JSON: parsed off the main thread so its event loop keeps running.
    co_return co_await QtConcurrent::run(&CaskCatalogue::parse, answer->body);
}

QCoro::Task<std::optional<qint64>> lookUpAppStoreId(Endpoints endpoints, QString bundleId) {
    const QUrl address = lookupAddress(endpoints.appStoreLookup, bundleId);
    if (!address.isValid())
        co_return std::nullopt;
    for (int retries = 0;; ++retries) {
        const platform::Result<platform::HttpAnswer> answer = co_await fetch(address, endpoints.lookupLimits);
        if (!answer)
            co_return std::nullopt;
        if (!isRateLimited(static_cast<int>(answer->status)))
            co_return parseLookupResponse(answer->body);
        if (retries == lookupRetries)
            co_return std::nullopt;
        // Precise: a coarse timer may fire a little early, and the service would refuse again.
        QTimer wait;
        wait.setTimerType(Qt::PreciseTimer);
        wait.setSingleShot(true);
        wait.start(retryDelay(answer->header("Retry-After"), endpoints.lookupRetryDelay));
        co_await wait;
    }
}

// The catalogue download is started first and proceeds on the main thread while the pool reads
// this Mac; the two meet before any application is matched.
QCoro::Task<QList<AppRecord>> enrichApps(InventoryEngine engine, QList<AppRecord> apps,
                                         ProgressHandler progress) {
    progress = distinct(std::move(progress));
    QCoro::Task<CaskCatalogue> catalogue = loadCaskCatalogue(engine.endpoints(), progress);
    LocalFacts facts = co_await QtConcurrent::run(readLocalFactsOnPool, engine, std::move(apps));
    CaskCatalogue casks = co_await catalogue;
    co_return co_await completeEnrichment(engine.endpoints(), std::move(casks), std::move(facts), progress);
}

// The pool's work is handed over as a function and copied arguments, never as a lambda capturing
// locals of the coroutine: g++ 12 destroys such a capture twice once the coroutine has suspended.
QCoro::Task<platform::Result<model::Manifest>> scan(InventoryEngine engine, bool matchOnline,
                                                    ProgressHandler progress) {
    if (!matchOnline) {
        platform::Result<QList<AppRecord>> apps = co_await QtConcurrent::run(&scanAppsOnPool, engine);
        if (!apps)
            co_return scanFailure(apps.failure());
        // The scan time is taken inside, after the application list.
        platform::Result<model::Manifest> manifest =
            co_await QtConcurrent::run(&assembleOnPool, engine, std::move(apps).value());
        if (!manifest)
            co_return scanFailure(manifest.failure());
        co_return manifest;
    }
    progress = distinct(std::move(progress));
    QCoro::Task<CaskCatalogue> catalogue = loadCaskCatalogue(engine.endpoints(), progress);
    platform::Result<LocalFacts> facts = co_await QtConcurrent::run(scanLocalFacts, engine);
    // Awaited even when reading this Mac broke off: the download must end before its task goes away.
    CaskCatalogue casks = co_await catalogue;
    if (!facts)
        co_return scanFailure(facts.failure());
    model::Manifest rest = std::move(facts->rest);
    rest.fonts = fonts::matchCasks(rest.fonts, casks, facts->installedCasks);
    QList<AppRecord> apps =
        co_await completeEnrichment(engine.endpoints(), std::move(casks), std::move(facts).value(), progress);
    // Stamped once the enrichment is final.
    co_return InventoryEngine::completeManifest(std::move(rest), std::move(apps));
}

} // namespace inventory
