#pragma once

#include "platform/result.h"

#include <QByteArrayView>
#include <QString>

namespace platform {

// What becomes of a byte order mark at the very start. Text read back from a store or a paste has it
// dropped, as any text editor would; a tool's output is taken exactly as printed, mark and all.
enum class Bom { drop, keep };

// The text of bytes that are UTF-8 throughout; a failure when any sequence is not (a truncated
// character, an overlong form, an encoded surrogate), rather than text with replacement characters
// standing in for what could not be read. The failure's message is generic: callers that show it
// say what the text was.
[[nodiscard]] Result<QString> decodeUtf8(QByteArrayView bytes, Bom bom = Bom::drop);

} // namespace platform
