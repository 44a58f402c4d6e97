#pragma once

#include "model/manifest.h"
#include "platform/filemanager.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace inventory {

// Inspects this Mac: its application folders, login and background items, and Homebrew. Holds only
// the file manager and caches nothing, so every call reflects the disk as it is now. Never fails: a
// step that meets a failure contributes an empty list or an absent field. Safe to use from any thread.
class InventoryEngine {
public:
    explicit InventoryEngine(platform::FileManager fm = {});

    const platform::FileManager &fileManager() const { return m_fm; }

    // Every bundle of the four application folders, sorted by lower-cased name.
    QList<model::AppRecord> scanApps() const;
    // The bundle's Contents/Info.plist as a dictionary; absent when missing or not a dictionary.
    std::optional<QVariantMap> readInfoPlist(const QString &bundlePath) const;
    // Standard output of a tool (a Mac path); absent when it cannot start or prints invalid UTF-8.
    std::optional<QString> runTool(const QString &executable, const QStringList &arguments) const;

    std::optional<QString> brewPath() const;
    QStringList runBrew(const QStringList &arguments) const;

    QStringList readLegacyLoginItems() const;
    QList<model::BackgroundItem> readBackgroundItems() const;

    // The whole manifest without touching the network: the application list plus everything else.
    // Blocks for as long as the folders and tools take.
    model::Manifest scanOffline() const;
    // Completes a manifest around an application list that is final (the scan time is taken now).
    model::Manifest assembleManifest(QList<model::AppRecord> apps) const;

private:
    platform::FileManager m_fm;
};

// The background-item dump of the system's background task management tool, parsed.
QList<model::BackgroundItem> parseBackgroundItems(const QString &dump);
// Homebrew's one-entry-per-line output: empty lines dropped, everything else kept verbatim.
QStringList splitBrewLines(const QString &output);

} // namespace inventory
