#pragma once

#include <QByteArrayView>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace platform {

// Parses a property list in either of its encodings (XML or binary) into Qt values: dictionaries
// become QVariantMap, arrays QVariantList, strings QString, booleans bool, integers qint64, reals double,
// dates QDateTime and data QByteArray. Absent when the bytes are not a property list.
std::optional<QVariant> parsePropertyList(QByteArrayView bytes);

// The entries under `keys` of a property list whose top level is a dictionary, converted as
// parsePropertyList converts them; absent exactly when parsePropertyList would not give a dictionary.
// An Info.plist holds dozens of entries and a folder scan needs five: converting only those is most of
// what the scan would otherwise spend on each bundle.
std::optional<QVariantMap> parsePropertyListEntries(QByteArrayView bytes, const QStringList &keys);

// How deep the general conversion nests before it refuses a property list.
inline constexpr int maxPropertyListDepth = 256;

} // namespace platform
