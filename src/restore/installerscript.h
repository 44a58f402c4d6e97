#pragma once

#include <QString>

namespace restore {

// restore.command: installs Homebrew when it is missing, then runs brew bundle on the Brewfile at
// `brewfilePath`. `installScriptURL` is the address of Homebrew's published install script. Lines are
// joined with line feeds, with none after the last.
QString installerScript(const QString &brewfilePath, const QString &installScriptURL);

} // namespace restore
