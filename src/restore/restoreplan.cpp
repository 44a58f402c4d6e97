#include "restore/restoreplan.h"

#include "restore/brewfile.h"

namespace restore {

using model::AppRecord;
using model::AppSource;

RestorePlan RestorePlan::build(const model::Manifest &manifest, const QSet<QString> &selected,
                               const InstalledApps &installed) {
    RestorePlan plan;
    // Pointers into the manifest: the Brewfile needs the records only while it is being written.
    QList<const AppRecord *> casks;
    QList<const AppRecord *> storeApps;
    plan.willInstall.reserve(manifest.apps.size());
    for (const AppRecord &app : manifest.apps) {
        if (app.source == AppSource::apple || !selected.contains(app.path))
            continue;
        if (installed.has(app))
            plan.alreadyInstalled.append(app);
        else if (app.source == AppSource::manual || (app.source == AppSource::appStore && !app.appStoreId))
            plan.manual.append(app);
        else
            plan.willInstall.append(app);

        // Applications already here stay in the Brewfile: Homebrew skips what is present.
        if (app.source == AppSource::cask)
            casks.append(&app);
        else if (app.source == AppSource::appStore && app.appStoreId)
            storeApps.append(&app);
    }
    plan.brewfile = buildBrewfile(manifest, casks, storeApps);
    plan.loginItems = manifest.legacyLoginItems;
    plan.taps = manifest.brewTaps;
    plan.formulae = manifest.brewFormulae;
    return plan;
}

} // namespace restore
