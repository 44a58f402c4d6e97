#pragma once

#include "platform/filemanager.h"

#include <QStringList>

// Tools installed with `uv tool install`: one folder each, named after the tool.
namespace inventory::uvTools {

inline const QString folder = QStringLiteral("/.local/share/uv/tools"); // under the home folder

// The names of the tool folders, sorted; the lock file and other hidden entries are no tools.
QStringList read(const platform::FileManager &fm);

} // namespace inventory::uvTools
