#pragma once

#include <QString>
#include <QStringList>

// Every way this program calls Homebrew. Its exit status is never examined: what it prints is its
// answer.
namespace tools::brew {

// Where Homebrew lives on Apple silicon and on Intel Macs, in the order they are tried.
inline const QStringList locations{QStringLiteral("/opt/homebrew/bin/brew"),
                                   QStringLiteral("/usr/local/bin/brew")};

// Where Homebrew keeps a folder for every cask it installed, named by the cask's token: beside the
// folder holding the executable ("/opt/homebrew/Caskroom" for "/opt/homebrew/bin/brew").
QString caskroomFor(const QString &brewPath);

// Installed formulae that nothing else installed depends on, one per line.
inline QStringList leavesArguments() {
    return {QStringLiteral("leaves")};
}
// Tap names, one per line.
inline QStringList tapArguments() {
    return {QStringLiteral("tap")};
}
// What the Brewfile would still install, without installing anything.
QStringList bundleCheckArguments(const QString &brewfilePath);

// The entries of a one-entry-per-line answer (leaves, tap): empty lines dropped, everything else kept
// verbatim.
QStringList splitLines(const QString &output);

// Variables that keep Homebrew from updating itself or printing hints in the middle of our output.
inline const QStringList quietEnvironment{QStringLiteral("HOMEBREW_NO_AUTO_UPDATE"),
                                          QStringLiteral("HOMEBREW_NO_ENV_HINTS")};

} // namespace tools::brew
