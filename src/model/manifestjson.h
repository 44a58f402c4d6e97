#pragma once

#include "model/manifest.h"
#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace model {

// Compact JSON, keys in field order, absent optionals left out. These bytes are exactly what an
// export sends and what a restore receives.
QByteArray encodeManifest(const Manifest &manifest);
QByteArray encodeAppRecord(const AppRecord &record);

// Strict: any missing required key, wrong JSON type or unknown source fails the whole document, so a
// restore never works from half a manifest. The failure says where and why.
[[nodiscard]] platform::Result<Manifest> decodeManifest(QByteArrayView json);

// `text` as a JSON string literal in UTF-8, quotation marks included. Only the quotation mark, the
// backslash and the control characters are escaped; everything else is written as it is.
void appendJsonString(QByteArray &out, const QString &text);
QByteArray jsonString(const QString &text);

} // namespace model
