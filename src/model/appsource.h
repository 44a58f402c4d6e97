#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

#include <optional>

namespace model {

Q_NAMESPACE

// How an application can be put back on a new Mac. The order is the ordinal order the manifest
// format defines; the JSON texts are part of the wire format and never change.
enum class AppSource { appStore, cask, manual, apple };
Q_ENUM_NS(AppSource)

QString toJsonText(AppSource source);
// Exact, case-sensitive: "Cask" is not a source.
std::optional<AppSource> appSourceFromJsonText(QStringView text);

} // namespace model
