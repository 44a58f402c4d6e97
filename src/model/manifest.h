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

    friend bool operator==(const Manifest &, const Manifest &) = default;

    // Everything that is not part of the operating system, in manifest order.
    QList<AppRecord> installableApps() const;
    qsizetype builtInCount() const;
    QList<AppRecord> appsWithSource(AppSource source) const;
};

size_t qHash(const AppRecord &record, size_t seed = 0) noexcept;
size_t qHash(const BackgroundItem &item, size_t seed = 0) noexcept;

} // namespace model
