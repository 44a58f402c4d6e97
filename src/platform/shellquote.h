#pragma once

#include <QString>

namespace platform {

// `path` as one bash word that reaches the command unchanged. A path bash would leave alone between
// double quotes is simply put between them; one with `"`, `$`, a backtick or a backslash goes between
// single quotes instead, each embedded single quote written as '\''.
QString shellQuotedPath(const QString &path);

// `text` between single quotes, each embedded single quote written as '\''. Nothing inside is expanded,
// by a script or by an interactive shell (where double quotes would still expand "!" and "$").
QString shellSingleQuoted(const QString &text);

} // namespace platform
