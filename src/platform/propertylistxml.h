#pragma once

#include <QByteArrayView>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace platform {

// A quick reader for the entries of an XML property list whose top level is a dictionary. It reads
// only the strictly well-formed, everyday form of the encoding (what the tools that write Info.plists
// produce) and converts only the entries under `keys` that hold text, a boolean or an integer. For
// anything else, malformed input and nesting deeper than the general conversion accepts included, it
// gives nothing and the caller asks the general parser, which stays the judge of what is a property
// list. On what it accepts it agrees with the general parser entry for entry; the property-list fuzz
// target checks exactly that.
std::optional<QVariantMap> quickXmlEntries(QByteArrayView bytes, const QStringList &keys);

} // namespace platform
