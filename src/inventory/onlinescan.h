#pragma once

#include "inventory/caskcatalogue.h"
#include "inventory/endpoints.h"
#include "inventory/inventoryengine.h"
#include "model/manifest.h"
#include "platform/result.h"

#include <QList>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <optional>

// The network side of the inventory: the cask catalogue, the App Store lookups, and the scan that
// strings them together with the engine's blocking steps on the thread pool. Start each on the main
// thread, where the shared network access manager lives, and its event loop keeps running while the
// requests are awaited. Every task holds its own copies of what it was given, so the caller's engine
// and endpoints need not outlive it. Nothing here fails but the scan itself, and only when its work on
// the pool broke off: what cannot be had is left empty or absent.
namespace inventory {

// Told, on the main thread, what an online scan is doing as it goes: one line such as "Looking up
// App Store ids 3 of 12". Called only when the line changes.
using ProgressHandler = std::function<void(const QString &line)>;

// The whole manifest; with matchOnline, the applications are matched to casks and App Store ids
// first. The folders, plists and tools are read on the thread pool, while the catalogue downloads.
// Fails, saying why, when that work broke off (an exception there), so the caller always hears back.
QCoro::Task<platform::Result<model::Manifest>> scan(InventoryEngine engine, bool matchOnline,
                                                    ProgressHandler progress = {});

// The same records in the same order: manual and cask records matched to the cask catalogue by
// installed name, or failing that by what package casks uninstall, preferring what Homebrew
// installed on this Mac; App Store records given their store id by Spotlight, or else by the lookup
// service, asked one record at a time.
QCoro::Task<QList<model::AppRecord>> enrichApps(InventoryEngine engine, QList<model::AppRecord> apps,
                                                ProgressHandler progress = {});

// The catalogue, fetched once and parsed on the thread pool; empty when it cannot be had.
QCoro::Task<CaskCatalogue> loadCaskCatalogue(Endpoints endpoints, ProgressHandler progress = {});

// The App Store's numeric id for a bundle identifier; absent when the store knows none or cannot be
// asked. Asked again, after the delay the service gives or the endpoints' retry delay, when it
// refuses for being asked too often.
QCoro::Task<std::optional<qint64>> lookUpAppStoreId(Endpoints endpoints, QString bundleId);

// The progress lines.
QString downloadingCatalogueText(qint64 received, qint64 total);
QString lookingUpText(qsizetype done, qsizetype count);

} // namespace inventory
