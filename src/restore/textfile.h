#pragma once

#include "platform/result.h"

#include <QString>

namespace restore {

// Writes `text` as UTF-8 to a temporary file beside `path` that then replaces it, so a failed write
// never leaves half a file. The failure names the file and says why.
[[nodiscard]] platform::Result<void> writeUtf8Atomically(const QString &path, const QString &text);

// Sets the permission bits of `path` to 0755 (owner read, write, execute; everyone else read, execute).
[[nodiscard]] platform::Result<void> makeExecutable(const QString &path);

} // namespace restore
