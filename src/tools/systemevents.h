#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Login items are read and re-added through System Events, one line of AppleScript per run of
// osascript.
namespace tools::systemEvents {

inline const QString osascriptPath = QStringLiteral("/usr/bin/osascript");

// Prints the names of the user's login items as an AppleScript list of texts: {"A", "B, C"}.
QStringList listLoginItemsArguments();

// Adds a login item that opens the bundle at `path` under `name`, not hidden. Both values are written
// as AppleScript string literals that evaluate to exactly the given text, so a quote or backslash in
// an application's name can neither break the command nor smuggle in script of its own.
QStringList makeLoginItemArguments(const QString &path, const QString &name);

// The body of an AppleScript string literal whose value is `text`. A curly double quote in it closes
// the literal and joins the character on by its code, so the body between straight quotes may be an
// expression of several literals; its value is still exactly `text`.
QString escapeAppleScriptString(const QString &text);

// The names in osascript's answer, in order, duplicates kept; absent when the answer is not such a
// list.
std::optional<QStringList> parseLoginItemNames(const QString &output);

// The reason, in words a person can act on, when osascript's standard error says it was refused.
std::optional<QString> refusalReason(const QString &errors);

} // namespace tools::systemEvents
