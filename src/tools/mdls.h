#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Spotlight's metadata tool. It knows the App Store id of every application that came from the
// store, offline, and also for applications the store no longer lists.
namespace tools::mdls {

inline const QString path = QStringLiteral("/usr/bin/mdls");

// Prints the bundle's App Store id alone, or "(null)" when Spotlight knows none.
QStringList appStoreIdArguments(const QString &bundlePath);

// The id in that answer: a decimal number, white space around it allowed; absent for "(null)" and
// anything else.
std::optional<qint64> parseAppStoreId(const QString &output);

} // namespace tools::mdls
