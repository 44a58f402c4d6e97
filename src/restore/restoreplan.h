#pragma once

#include "model/manifest.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace restore {

// What a restore would do with the current choice. Computed on demand, never stored: every chosen
// application is in exactly one of the three lists, each in manifest order.
struct RestorePlan {
    QString brewfile;
    QList<model::AppRecord> willInstall;      // Homebrew or the App Store installs these
    QList<model::AppRecord> alreadyInstalled; // found on this Mac
    QList<model::AppRecord> manual;           // the user fetches these by hand
    QStringList loginItems;                   // the manifest's login items, whatever is chosen

    friend bool operator==(const RestorePlan &, const RestorePlan &) = default;
};

} // namespace restore
