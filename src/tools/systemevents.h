#pragma once

#include <QString>
#include <QStringList>

// Login items are read and re-added through System Events, one line of AppleScript per run of
// osascript.
namespace tools::systemEvents {

inline const QString osascriptPath = QStringLiteral("/usr/bin/osascript");

// Prints the names of the user's login items as one comma-separated line.
QStringList listLoginItemsArguments();

// Adds a login item that opens the bundle at `path` under `name`, not hidden. Both values are written
// as AppleScript string literals that evaluate to exactly the given text, so a quote or backslash in
// an application's name can neither break the command nor smuggle in script of its own.
QStringList makeLoginItemArguments(const QString &path, const QString &name);

// The body of an AppleScript string literal whose value is `text`. A curly double quote in it closes
// the literal and joins the character on by its code, so the body between straight quotes may be an
// expression of several literals; its value is still exactly `text`.
QString escapeAppleScriptString(const QString &text);

// The names in osascript's answer: split at commas, trimmed, empty pieces dropped, duplicates kept.
QStringList parseLoginItemNames(const QString &output);

} // namespace tools::systemEvents
