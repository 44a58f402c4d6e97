#include "restore/restoreplan.h"

#include "restore/brewfile.h"
#include "restore/fontcasks.h"

namespace restore {

using model::AppRecord;
using model::AppSource;

namespace {

// The names of `names` Homebrew can be given and that the user left chosen, in manifest order; the
// others go to `skipped`.
QStringList usableNames(HomebrewKind kind, const QStringList &names, const QSet<QString> &unchosen,
                        QList<SkippedEntry> &skipped) {
    QStringList usable;
    usable.reserve(names.size());
    for (const QString &name : names) {
        if (auto problem = homebrewNameProblem(kind, name))
            skipped.append({kind, name, std::move(*problem)});
        else if (!unchosen.contains(name))
            usable.append(name);
    }
    return usable;
}

} // namespace

RestorePlan RestorePlan::build(const model::Manifest &manifest, const QSet<QString> &selected,
                               const InstalledApps &installed, const HomebrewChoice &homebrew) {
    RestorePlan plan;
    plan.taps = usableNames(HomebrewKind::tap, manifest.brewTaps, homebrew.unchosenTaps, plan.skipped);
    plan.formulae =
        usableNames(HomebrewKind::formula, manifest.brewFormulae, homebrew.unchosenFormulae, plan.skipped);
    // Pointers into the manifest: the Brewfile needs the records only while it is being written.
    QList<const AppRecord *> casks;
    QList<const AppRecord *> storeApps;
    plan.willInstall.reserve(manifest.apps.size());
    for (const AppRecord &app : manifest.apps) {
        if (app.source == AppSource::apple)
            continue;
        std::optional<QString> caskProblem;
        if (app.source == AppSource::cask && app.caskToken) {
            caskProblem = homebrewNameProblem(HomebrewKind::cask, *app.caskToken);
            if (caskProblem)
                plan.skipped.append({HomebrewKind::cask, *app.caskToken, *caskProblem});
        }
        if (!selected.contains(app.path))
            continue;
        if (installed.has(app))
            plan.alreadyInstalled.append(app);
        else if (app.source == AppSource::manual || (app.source == AppSource::appStore && !app.appStoreId) ||
                 caskProblem)
            plan.manual.append(app);
        else
            plan.willInstall.append(app);

        // Applications already here stay in the Brewfile: Homebrew skips what is present.
        if (app.source == AppSource::cask && !caskProblem)
            casks.append(&app);
        else if (app.source == AppSource::appStore && app.appStoreId)
            storeApps.append(&app);
    }
    plan.packages = usablePackages(manifest, homebrew.unchosenPackages, plan.skipped);
    plan.fontsByHand = restore::fontsByHand(manifest);
    plan.brewfile = buildBrewfile(manifest, plan.taps, plan.formulae, casks, storeApps, plan.packages);
    plan.loginItems = manifest.legacyLoginItems;
    return plan;
}

} // namespace restore
