#pragma once

#include "model/manifest.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace restore {

// What this Mac already has, as one scan of its application folders saw it. The restore compares
// the old Mac's applications with it, and re-adds login items only for applications found here.
struct InstalledApps {
    QSet<QString> bundleIds;
    QSet<QString> names;
    // Name to bundle path; the first application of a name is the one a login item of that name opens.
    QHash<QString, QString> pathsByName;

    static InstalledApps fromScan(const QList<model::AppRecord> &apps);

    // The same bundle identifier is here, or else an application of the same name: the one test of
    // "already installed" everywhere. Both comparisons are exact.
    bool has(const model::AppRecord &app) const;

    friend bool operator==(const InstalledApps &, const InstalledApps &) = default;
};

} // namespace restore
