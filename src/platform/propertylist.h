#pragma once

#include <QByteArrayView>
#include <QVariant>

#include <optional>

namespace platform {

// Parses a property list in either of its encodings (XML or binary) into Qt values: dictionaries
// become QVariantMap, arrays QVariantList, strings QString, booleans bool, integers qint64, reals double,
// dates QDateTime and data QByteArray. Absent when the bytes are not a property list.
std::optional<QVariant> parsePropertyList(QByteArrayView bytes);

} // namespace platform
