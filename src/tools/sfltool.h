#pragma once

#include "model/manifest.h"

#include <QList>
#include <QString>
#include <QStringList>

// The background items are read from the dump of the system's background task management tool.
namespace tools::sfltool {

inline const QString path = QStringLiteral("/usr/bin/sfltool");

// Prints every registered background item as an indented block of "Label: value" lines.
inline QStringList dumpArguments() {
    return {QStringLiteral("dumpbtm")};
}

// The items of the dump in the order they first appear, one per name: a "Name:" line starts an item,
// and the "Developer Name:" and "Type:" lines after it (or before the first name) fill it in.
QList<model::BackgroundItem> parseBackgroundItems(const QString &dump);

} // namespace tools::sfltool
