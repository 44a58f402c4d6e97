#pragma once

#include "model/manifest.h"
#include "restore/brewfilekinds.h"
#include "restore/homebrewnames.h"
#include "restore/installedapps.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace restore {

// The taps, formulae and casks without an application the user unticked; every other one the
// manifest lists is chosen, so a fresh load chooses them all.
struct HomebrewChoice {
    QSet<QString> unchosenTaps;
    QSet<QString> unchosenFormulae;
    QSet<QString> unchosenCasks;
    PackageChoice
        unchosenPackages; // by restore::packageKinds: extensions, npm, crates, Python tools, font casks

    friend bool operator==(const HomebrewChoice &, const HomebrewChoice &) = default;
};

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
    QStringList otherCasks;                   // the casks without an application it installs
    PackageNames packages;                    // by restore::packageKinds, what else the Brewfile installs
    QStringList fontsByHand;                  // font files no cask installs: copied by hand
    // Manifest entries whose names Homebrew would misread, and retired taps, chosen or not; none
    // reaches the Brewfile. An application whose cask is among them is fetched by hand.
    QList<SkippedEntry> skipped;

    // The plan for the applications of `manifest` whose positions in its list are in `selected`
    // (built-in ones never count) and the taps and formulae `homebrew` leaves chosen, on a Mac that
    // has `installed`. A position, not a path, is what tells apps apart: two records of one manifest
    // may share a path. The Brewfile never depends on `installed`: Homebrew skips what is present.
    static RestorePlan build(const model::Manifest &manifest, const QSet<qsizetype> &selected,
                             const InstalledApps &installed = {}, const HomebrewChoice &homebrew = {});

    friend bool operator==(const RestorePlan &, const RestorePlan &) = default;
};

} // namespace restore
