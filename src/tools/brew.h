#pragma once

#include <QString>
#include <QStringList>

// Every way this program calls Homebrew. Its exit status is never examined: what it prints is its
// answer.
namespace tools::brew {

// Where Homebrew lives on Apple silicon and on Intel Macs, in the order they are tried.
inline const QStringList locations{QStringLiteral("/opt/homebrew/bin/brew"),
                                   QStringLiteral("/usr/local/bin/brew")};

// What the Brewfile would still install, without installing anything.
QStringList bundleCheckArguments(const QString &brewfilePath);

// Variables that keep Homebrew from updating itself or printing hints in the middle of our output.
inline const QStringList quietEnvironment{QStringLiteral("HOMEBREW_NO_AUTO_UPDATE"),
                                          QStringLiteral("HOMEBREW_NO_ENV_HINTS")};

} // namespace tools::brew
