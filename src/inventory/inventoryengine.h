#pragma once

#include "inventory/endpoints.h"
#include "model/manifest.h"
#include "platform/filemanager.h"
#include "platform/result.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace inventory {

// Inspects this Mac: its application folders, login and background items, and Homebrew. Holds only
// the file manager and the service endpoints and caches nothing, so every call reflects the disk as it
// is now. Never fails: a step that meets a failure contributes an empty list or an absent field. Safe
// to use from any thread; every call blocks for as long as the folders and tools take. The network
// side, and the scan that runs these steps on the thread pool, are in onlinescan.h.
class InventoryEngine {
public:
    explicit InventoryEngine(platform::FileManager fm = {}, Endpoints endpoints = Endpoints::defaults());

    const platform::FileManager &fileManager() const { return m_fm; }
    const Endpoints &endpoints() const { return m_endpoints; }

    // Every bundle of the four application folders, sorted by lower-cased name.
    QList<model::AppRecord> scanApps() const;
    // The bundle's Contents/Info.plist as a dictionary; absent when missing or not a dictionary.
    std::optional<QVariantMap> readInfoPlist(const QString &bundlePath) const;
    // Standard output of a tool (a Mac path), exactly as printed; fails when the tool cannot start or
    // prints something that is not UTF-8.
    [[nodiscard]] platform::Result<QString> runTool(const QString &executable,
                                                    const QStringList &arguments) const;

    // Where Homebrew's executable is on this Mac (a Mac path); absent when there is none that runs.
    std::optional<QString> brewPath() const;
    QStringList runBrew(const QStringList &arguments) const;

    QStringList readLegacyLoginItems() const;
    QList<model::BackgroundItem> readBackgroundItems() const;

    // The Mac's name and system version as the manifest gives them. For this machine (no root) they are
    // what the running system reports. For a Mac under a root they come from its own disk: the local
    // host name in its network preferences followed by ".local", and "Version <version> (Build
    // <build>)" from its system version file; where the file or the entry is missing, what the running
    // system reports stands in.
    QString hostname() const;
    QString macosVersion() const;

    // The whole manifest without touching the network: the application list plus everything else.
    model::Manifest scanOffline() const;
    // Completes a manifest around an application list that is final (the scan time is taken now).
    model::Manifest assembleManifest(QList<model::AppRecord> apps) const;

private:
    // A property list file whose top level is a dictionary; absent when missing or anything else.
    std::optional<QVariantMap> readDictionary(const QString &macPath) const;

    platform::FileManager m_fm;
    Endpoints m_endpoints;
};

} // namespace inventory
