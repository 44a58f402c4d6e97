#pragma once

#include <QByteArrayView>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace platform {

// Quick readers for the entries of a property list whose top level is a dictionary, one per encoding.
// Each reads only the strictly well-formed, everyday form of its encoding (what the tools that write
// Info.plists produce) and converts only the entries under `keys` that hold text, a boolean or an
// integer. For anything else, malformed input included, it gives nothing and the caller asks the
// general parser, which stays the judge of what is a property list. On what a quick reader accepts it
// agrees with the general parser entry for entry; the property-list fuzz target checks exactly that.
//
// Nesting deeper than the general conversion accepts is left to the general parser as well.
std::optional<QVariantMap> quickXmlEntries(QByteArrayView bytes, const QStringList &keys);
std::optional<QVariantMap> quickBinaryEntries(QByteArrayView bytes, const QStringList &keys);

// How deep the general conversion nests before it refuses a property list.
inline constexpr int maxPropertyListDepth = 256;

} // namespace platform
