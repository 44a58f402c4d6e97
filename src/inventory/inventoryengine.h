#pragma once

#include "inventory/caskcatalogue.h"
#include "inventory/endpoints.h"
#include "model/manifest.h"
#include "platform/filemanager.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <QCoroTask>

#include <optional>

namespace inventory {

// Inspects this Mac: its application folders, login and background items, and Homebrew. Holds only
// the file manager and the service endpoints and caches nothing, so every call reflects the disk as it
// is now. Never fails: a step that meets a failure contributes an empty list or an absent field. Safe
// to use from any thread, except the network steps (scan, enrichApps, loadCaskCatalogue,
// lookUpAppStoreId): start those on the main thread, where the shared network access manager lives.
class InventoryEngine {
public:
    explicit InventoryEngine(platform::FileManager fm = {}, Endpoints endpoints = Endpoints::defaults());

    const platform::FileManager &fileManager() const { return m_fm; }
    const Endpoints &endpoints() const { return m_endpoints; }

    // Every bundle of the four application folders, sorted by lower-cased name.
    QList<model::AppRecord> scanApps() const;
    // The bundle's Contents/Info.plist as a dictionary; absent when missing or not a dictionary.
    std::optional<QVariantMap> readInfoPlist(const QString &bundlePath) const;
    // Standard output of a tool (a Mac path); absent when it cannot start or prints invalid UTF-8.
    std::optional<QString> runTool(const QString &executable, const QStringList &arguments) const;

    // Where Homebrew's executable is on this Mac (a Mac path); absent when there is none that runs.
    std::optional<QString> brewPath() const;
    QStringList runBrew(const QStringList &arguments) const;

    QStringList readLegacyLoginItems() const;
    QList<model::BackgroundItem> readBackgroundItems() const;

    // The whole manifest without touching the network: the application list plus everything else.
    // Blocks for as long as the folders and tools take.
    model::Manifest scanOffline() const;
    // Completes a manifest around an application list that is final (the scan time is taken now).
    model::Manifest assembleManifest(QList<model::AppRecord> apps) const;

    // The whole manifest; with matchOnline, the applications are matched to casks and App Store ids
    // first. The folders, plists and tools are read on the thread pool; the requests are awaited on the
    // main thread, whose event loop keeps running throughout. The task holds its own copy of the engine.
    QCoro::Task<model::Manifest> scan(bool matchOnline) const;
    // The same records in the same order: manual and cask records matched to the cask catalogue by
    // bundle name, App Store records given their store id, looked up one at a time.
    QCoro::Task<QList<model::AppRecord>> enrichApps(QList<model::AppRecord> apps) const;
    // The catalogue, fetched once and parsed on the thread pool; empty when it cannot be had.
    QCoro::Task<CaskMap> loadCaskCatalogue() const;
    // The App Store's numeric id for a bundle identifier; absent on any failure.
    QCoro::Task<std::optional<qint64>> lookUpAppStoreId(QString bundleId) const;

private:
    platform::FileManager m_fm;
    Endpoints m_endpoints;
};

// The background-item dump of the system's background task management tool, parsed.
QList<model::BackgroundItem> parseBackgroundItems(const QString &dump);
// Homebrew's one-entry-per-line output: empty lines dropped, everything else kept verbatim.
QStringList splitBrewLines(const QString &output);

} // namespace inventory
