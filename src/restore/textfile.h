#pragma once

#include <QString>

#include <optional>

namespace restore {

// Writes `text` as UTF-8 to a temporary file beside `path` that then replaces it, so a failed write
// never leaves half a file. Gives the user-facing failure text, or nothing on success.
std::optional<QString> writeUtf8Atomically(const QString &path, const QString &text);

// Sets the permission bits of `path` to 0755 (owner read, write, execute; everyone else read, execute).
std::optional<QString> makeExecutable(const QString &path);

} // namespace restore
