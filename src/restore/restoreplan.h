#pragma once

#include "model/manifest.h"
#include "restore/installedapps.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace restore {

// What a restore would do with a choice of applications. Computed on demand, never stored: every
// chosen application is in exactly one of the three lists, each in manifest order.
struct RestorePlan {
    QString brewfile;
    QList<model::AppRecord> willInstall;      // Homebrew or the App Store installs these
    QList<model::AppRecord> alreadyInstalled; // found on this Mac
    QList<model::AppRecord> manual;           // the user fetches these by hand
    QStringList loginItems;                   // the manifest's login items, whatever is chosen
    QStringList taps;                         // what the Brewfile taps
    QStringList formulae;                     // the command-line tools the Brewfile installs

    // The plan for the applications of `manifest` whose paths are in `selected` (built-in ones never
    // count), on a Mac that has `installed`. The Brewfile never depends on `installed`: Homebrew
    // skips what is present.
    static RestorePlan build(const model::Manifest &manifest, const QSet<QString> &selected,
                             const InstalledApps &installed = {});

    friend bool operator==(const RestorePlan &, const RestorePlan &) = default;
};

} // namespace restore
