#pragma once

#include "platform/filemanager.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Everything of a Mac's Homebrew that a restore can bring back, read from Homebrew's own records in
// every prefix it may use: /opt/homebrew on Apple silicon, /usr/local on Intel (and beside it on Apple
// silicon, from Migration Assistant or a Rosetta terminal). Homebrew is never run: on another Mac's
// disk that would run that disk's code, and a Homebrew broken mid-update would answer nothing.
namespace inventory::homebrew {

inline const QStringList prefixes{QStringLiteral("/opt/homebrew"), QStringLiteral("/usr/local")};

// Where a prefix keeps its taps: its repository, the prefix itself on Apple silicon and its Homebrew
// folder on Intel, where /usr/local/bin/brew links into /usr/local/Homebrew.
QStringList repositoriesOf(const QString &prefix);

struct HomebrewRecords {
    QStringList formulae;              // installed on request, full names, sorted
    QStringList casks;                 // full names, sorted
    QStringList taps;                  // sorted
    QMap<QString, QString> tapRemotes; // tap → its kept remote, where it differs from the default

    friend bool operator==(const HomebrewRecords &, const HomebrewRecords &) = default;
};

// The union over all prefixes, without duplicates.
HomebrewRecords readHomebrewRecords(const platform::FileManager &fm);

} // namespace inventory::homebrew
