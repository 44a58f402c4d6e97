#pragma once

#include <QString>

namespace restore {

// restore.command: installs Homebrew when it is missing, then runs brew bundle on the Brewfile at
// `brewfilePath`. `installScriptURL` is the address of Homebrew's published install script. Lines are
// joined with line feeds, with none after the last.
QString installerScript(const QString &brewfilePath, const QString &installScriptURL);

// `path` as one bash word that reaches the command unchanged. A path bash would leave alone between
// double quotes is simply put between them; one with `"`, `$`, a backtick or a backslash goes between
// single quotes instead, each embedded single quote written as '\''.
QString shellQuotedPath(const QString &path);

} // namespace restore
