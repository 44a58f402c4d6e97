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

// The UID under which the dump lists the system's own records.
inline constexpr qint64 systemUserId = -2;

// The items of the dump in the order they first appear, one per name: a "Name:" line starts an item,
// and the "Developer Name:" and "Type:" lines after it fill it in. Only the sections of `userId` and
// the system's are read; the rows that head a developer's items ("developer (0x20)") are left out, and
// a developer of "(null)" is none.
QList<model::BackgroundItem> parseBackgroundItems(const QString &dump, qint64 userId);

} // namespace tools::sfltool
