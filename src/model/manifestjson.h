#pragma once

#include "model/manifest.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace model {

// Compact JSON, keys in field order, absent optionals left out. These bytes are exactly what an
// export sends and what a restore receives.
QByteArray encodeManifest(const Manifest &manifest);
QByteArray encodeAppRecord(const AppRecord &record);

// Strict: any missing required key, wrong JSON type or unknown source fails the whole document, so a
// restore never works from half a manifest. On failure `error` (when given) says where and why.
std::optional<Manifest> decodeManifest(QByteArrayView json, QString *error = nullptr);

} // namespace model
