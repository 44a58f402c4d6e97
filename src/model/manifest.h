#pragma once

#include "model/appsource.h"

#include <QHashFunctions>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace model {

// One application bundle. Its identity (the key of selections and links) is `path`.
struct AppRecord {
    QString name;
    std::optional<QString> bundleId;
    std::optional<QString> version;
    QString path;
    AppSource source = AppSource::manual;
    bool isMenuBarApp = false;
    std::optional<qint64> appStoreId;
    std::optional<QString> caskToken;
    std::optional<QString> downloadURL;

    friend bool operator==(const AppRecord &, const AppRecord &) = default;
};

// One item registered with the system's background task management.
struct BackgroundItem {
    QString name;
    std::optional<QString> developer;
    std::optional<QString> type;

    friend bool operator==(const BackgroundItem &, const BackgroundItem &) = default;
};

// A font file found in the user's or the shared Fonts folder. Only its name leaves the Mac; the cask
// is the font cask of the catalogue that installs a file of that name, when the online scan found one.
struct FontRecord {
    QString file;
    std::optional<QString> caskToken;

    friend bool operator==(const FontRecord &, const FontRecord &) = default;
};

struct Manifest {
    qint64 schemaVersion = 1;
    QString generatedAt;
    QString hostname;
    QString macosVersion;
    QList<AppRecord> apps;
    QStringList legacyLoginItems;
    QList<BackgroundItem> backgroundItems;
    QStringList brewFormulae;
    QStringList brewTaps;
    // Every installed cask's full name, sorted; empty in manifests from before casks were read.
    QStringList brewCasks;
    // Tap → the https address it was cloned from, only where that isn't Homebrew's default.
    QMap<QString, QString> brewTapRemotes;
    // The kinds below are optional in a manifest: absent when empty, each sorted and without repeats.
    QStringList vscodeExtensions;
    QStringList npmPackages;
    // Crates from crates.io by name; crates from anywhere else as "name (git)", "name (path)" or
    // "name (registry)", so a restore can say why it leaves them out.
    QStringList cargoCrates;
    QStringList uvTools;
    QList<FontRecord> fonts;
    // The sections that could not be read on that Mac, by their manifest key ("legacyLoginItems",
    // "backgroundItems", …), each with a reason a person can act on. An empty list of a section named
    // here means "not known", never "none".
    QMap<QString, QString> unread;

    friend bool operator==(const Manifest &, const Manifest &) = default;

    // Everything that is not part of the operating system, in manifest order.
    QList<AppRecord> installableApps() const;
    qsizetype builtInCount() const;
    QList<AppRecord> appsWithSource(AppSource source) const;
    // One line per unread section, "Login items: <reason>", in key order.
    QStringList unreadLines() const;
};

// The order and uniqueness the optional lists keep, in a manifest and wherever one is built.
QStringList sortedUnique(QStringList names);
QList<FontRecord> sortedUnique(QList<FontRecord> fonts);

size_t qHash(const AppRecord &record, size_t seed = 0) noexcept;
size_t qHash(const BackgroundItem &item, size_t seed = 0) noexcept;

} // namespace model
