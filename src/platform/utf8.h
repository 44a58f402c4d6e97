#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// The text of bytes that are UTF-8 throughout; nothing when any sequence is not (a truncated
// character, an overlong form, an encoded surrogate), rather than text with replacement characters
// standing in for what could not be read.
std::optional<QString> decodeUtf8(const QByteArray &bytes);

} // namespace platform
