#pragma once

#include "inventory/endpoints.h"
#include "model/manifest.h"
#include "platform/filemanager.h"
#include "platform/processrunner.h"
#include "platform/result.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace inventory {

// How long each tool may run before it is killed and counts as failed, and how much of its output is
// kept. Homebrew gets longer: it may wait for its lock while another brew runs.
struct ToolLimits {
    std::chrono::milliseconds brew{120000};
    std::chrono::milliseconds other{30000};
    // What all of a scan's Spotlight questions may take together: one hanging answer after another
    // must not hold the scan for minutes. The lookup service answers for the rest.
    std::chrono::milliseconds spotlight{30000};
    qint64 maxOutputBytes = 16 * 1024 * 1024;

    // The limits of the tool at `path` (a Mac path or a local one).
    platform::ProcessLimits forTool(const QString &path) const;

    friend bool operator==(const ToolLimits &, const ToolLimits &) = default;
};

// Inspects this Mac: its application folders, login and background items, and Homebrew. Holds only
// the file manager and the service endpoints and caches nothing, so every call reflects the disk as it
// is now. Never fails: a step that meets a failure contributes an empty list or an absent field. Safe
// to use from any thread; every call blocks for as long as the folders and tools take. The network
// side, and the scan that runs these steps on the thread pool, are in onlinescan.h.
class InventoryEngine {
public:
    explicit InventoryEngine(platform::FileManager fm = {}, Endpoints endpoints = Endpoints::defaults(),
                             ToolLimits toolLimits = {});

    const platform::FileManager &fileManager() const { return m_fm; }
    const Endpoints &endpoints() const { return m_endpoints; }
    const ToolLimits &toolLimits() const { return m_toolLimits; }

    // Every bundle of the four application folders, sorted by lower-cased name.
    QList<model::AppRecord> scanApps() const;
    // An Info.plist is a few kilobytes; anything much larger is not one.
    static constexpr qint64 maxInfoPlistBytes = 1024 * 1024;

    // The bundle's Contents/Info.plist as a dictionary; absent when it is missing, not a regular file
    // (a link to a device, a named pipe), larger than maxInfoPlistBytes, or not a dictionary.
    std::optional<QVariantMap> readInfoPlist(const QString &bundlePath) const;
    // Standard output of a tool (a Mac path) that answers about the Mac looked at, exactly as printed.
    // Fails, with a reason a person can act on, when the tool is missing, cannot start, is stopped at
    // its deadline or output cap, prints something that is not UTF-8, or (where its exit status
    // counts) is killed or exits with a failure; and under a root whose tools are not trusted, without
    // running anything. Whether a tool's failing exit (or its being killed) means its answer is not to be
    // had.
    enum class ExitStatus { ignored, counts };
    [[nodiscard]] platform::Result<QString> runTool(const QString &executable, const QStringList &arguments,
                                                    ExitStatus exitStatus = ExitStatus::ignored) const;
    // The same with limits of the caller's choosing.
    [[nodiscard]] platform::Result<QString> runTool(const QString &executable, const QStringList &arguments,
                                                    const platform::ProcessLimits &limits,
                                                    ExitStatus exitStatus = ExitStatus::ignored) const;
    // The same for a tool that acts on this machine: this machine's own (see FileManager).
    [[nodiscard]] platform::Result<QString> runToolOfThisMac(const QString &executable,
                                                             const QStringList &arguments) const;

    // Where Homebrew's executable is on this Mac (a Mac path); absent when there is none that runs.
    std::optional<QString> brewPath() const;
    // The local path of the Homebrew that acts on this machine (checking or installing a Brewfile):
    // this machine's own, or the one under a root whose tools are trusted. The scan never runs it.
    std::optional<QString> ownBrewPath() const;
    // The tokens of the casks Homebrew installed here, as the Caskroom of every Homebrew prefix
    // records them. Homebrew itself is not run.
    QSet<QString> installedCasks() const;
    // The App Store id Spotlight knows for a bundle (a Mac path); absent when it knows none, cannot be
    // asked, or doesn't answer within `within` (at most the limit of any tool).
    std::optional<qint64> spotlightAppStoreId(const QString &bundlePath,
                                              std::optional<std::chrono::milliseconds> within = {}) const;

    // The login items and background items of the Mac looked at; the failure is the reason they could
    // not be read.
    [[nodiscard]] platform::Result<QStringList> readLegacyLoginItems() const;
    [[nodiscard]] platform::Result<QList<model::BackgroundItem>> readBackgroundItems() const;
    // This machine's own login items, which a restore adds to and reads back.
    [[nodiscard]] platform::Result<QStringList> readOwnLoginItems() const;

    // The Mac's name and system version as the manifest gives them, from its own disk (under a root
    // or not): the local host name in its network preferences followed by ".local" (or else its
    // computer name), and "Version <version> (Build <build>)" from its system version file. Where
    // those are missing, what the running system reports stands in, but never "localhost".
    QString hostname() const;
    QString macosVersion() const;

    // The whole manifest without touching the network: the application list plus everything else.
    model::Manifest scanOffline() const;
    // Completes a manifest around an application list that is final (the scan time is taken now).
    model::Manifest assembleManifest(QList<model::AppRecord> apps) const;
    // Everything of the manifest but the applications and the scan time: login and background items,
    // Homebrew's formulae, casks and taps (from its records, without running it), editor extensions,
    // global npm packages, cargo crates, uv tools, font files (not yet matched to casks), this Mac's
    // name and system.
    model::Manifest readManifestWithoutApps() const;
    // Puts a final application list into such a manifest and stamps it with the time now.
    static model::Manifest completeManifest(model::Manifest manifest, QList<model::AppRecord> apps);

private:
    // The real bundle of an iPhone or iPad app (a Mac path under Wrapper/), absent for any other.
    std::optional<QString> wrappedBundle(const QString &bundlePath) const;
    // Its App Store id, from the store's metadata beside it.
    std::optional<qint64> wrappedStoreId(const QString &bundlePath) const;
    // The user whose background items are read: the owner of the home folder.
    qint64 userIdOfTheMac() const;
    // A property list file whose top level is a dictionary; absent when missing or anything else.
    std::optional<QVariantMap> readDictionary(const QString &macPath) const;

    platform::FileManager m_fm;
    Endpoints m_endpoints;
    ToolLimits m_toolLimits;
};

} // namespace inventory
