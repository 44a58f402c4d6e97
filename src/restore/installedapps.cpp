#include "restore/installedapps.h"

namespace restore {

InstalledApps InstalledApps::fromScan(const QList<model::AppRecord> &apps) {
    InstalledApps installed;
    for (const model::AppRecord &app : apps) {
        if (app.bundleId)
            installed.bundleIds.insert(*app.bundleId);
        installed.names.insert(app.name);
        if (!installed.pathsByName.contains(app.name))
            installed.pathsByName.insert(app.name, app.path);
    }
    return installed;
}

bool InstalledApps::has(const model::AppRecord &app) const {
    return (app.bundleId && bundleIds.contains(*app.bundleId)) || names.contains(app.name);
}

} // namespace restore
