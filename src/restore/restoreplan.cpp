#include "restore/restoreplan.h"

#include "restore/brewfile.h"

namespace restore {

using model::AppRecord;
using model::AppSource;

namespace {

// The names of `names` a Brewfile can take as `kind` and that the user left chosen, in manifest order;
// the others go to `skipped`.
QStringList usableNames(BrewfileKind kind, const QStringList &names, const QSet<QString> &unchosen,
                        QList<SkippedEntry> &skipped) {
    const BrewfileKindRow &row = brewfileKind(kind);
    QStringList usable;
    usable.reserve(names.size());
    for (const QString &name : names) {
        if (auto problem = row.problem(name))
            skipped.append({row.nameKind, name, std::move(*problem)});
        else if (!unchosen.contains(name))
            usable.append(name);
    }
    return usable;
}

} // namespace

RestorePlan RestorePlan::build(const model::Manifest &manifest, const QSet<QString> &selected,
                               const InstalledApps &installed, const HomebrewChoice &homebrew) {
    RestorePlan plan;
    plan.taps = usableNames(BrewfileKind::tap, manifest.brewTaps, homebrew.unchosenTaps, plan.skipped);
    plan.formulae =
        usableNames(BrewfileKind::formula, manifest.brewFormulae, homebrew.unchosenFormulae, plan.skipped);
    plan.otherCasks = usableNames(BrewfileKind::otherCask, restore::otherCasks(manifest),
                                  homebrew.unchosenCasks, plan.skipped);
    BrewfileEntries entries;
    for (const QString &tap : std::as_const(plan.taps))
        entriesOf(entries, BrewfileKind::tap).append({tap, writableRemote(manifest, tap)});
    for (const QString &formula : std::as_const(plan.formulae))
        entriesOf(entries, BrewfileKind::formula).append({formula, {}});
    for (const QString &cask : std::as_const(plan.otherCasks))
        entriesOf(entries, BrewfileKind::otherCask).append({cask, {}});

    plan.willInstall.reserve(manifest.apps.size());
    for (const AppRecord &app : manifest.apps) {
        if (app.source == AppSource::apple)
            continue;
        std::optional<QString> caskProblem;
        if (app.source == AppSource::cask && app.caskToken) {
            caskProblem = brewfileKind(BrewfileKind::appCask).problem(*app.caskToken);
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
        if (app.source == AppSource::cask && app.caskToken && !caskProblem)
            entriesOf(entries, BrewfileKind::appCask).append({*app.caskToken, {}});
        else if (app.source == AppSource::appStore && app.appStoreId)
            entriesOf(entries, BrewfileKind::appStore).append({app.name, QString::number(*app.appStoreId)});
    }
    plan.brewfile = writeBrewfile(manifest, entries);
    plan.loginItems = manifest.legacyLoginItems;
    return plan;
}

} // namespace restore
