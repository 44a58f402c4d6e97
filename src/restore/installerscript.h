#pragma once

#include <QString>

#include <optional>

namespace restore {

// restore.command: installs Homebrew when it is missing (asking for the password first), then runs brew
// bundle on the Brewfile at `brewfilePath` and exits with its status. `installScriptURL` is the address
// of Homebrew's published install script. Lines are joined with line feeds, with none after the last.
//
// With `brew` (a local path to Homebrew's executable), the script looks for that brew before Homebrew's
// usual places, so that brew is found, nothing is installed, and it runs the bundle: how a sample Mac
// under a root folder restores with its own Homebrew.
QString installerScript(const QString &brewfilePath, const QString &installScriptURL,
                        const std::optional<QString> &brew = std::nullopt);

} // namespace restore
