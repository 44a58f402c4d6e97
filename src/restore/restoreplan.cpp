#include "restore/restoreplan.h"

#include "restore/brewfile.h"
#include "restore/fontcasks.h"

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

RestorePlan RestorePlan::build(const model::Manifest &manifest, const QSet<qsizetype> &selected,
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
    for (qsizetype position = 0; position < manifest.apps.size(); ++position) {
        const AppRecord &app = manifest.apps.at(position);
        if (app.source == AppSource::apple)
            continue;
        std::optional<QString> caskProblem;
        if (app.source == AppSource::cask && app.caskToken) {
            caskProblem = brewfileKind(BrewfileKind::appCask).problem(*app.caskToken);
            if (caskProblem)
                plan.skipped.append({HomebrewKind::cask, *app.caskToken, *caskProblem});
        }
        if (!selected.contains(position))
            continue;
        // Without a token a cask names nothing to install, and the store numbers its apps from 1.
        const bool byCask = app.source == AppSource::cask && app.caskToken && !caskProblem;
        const bool byStore = app.source == AppSource::appStore && hasAppStoreId(app);
        if (installed.has(app))
            plan.alreadyInstalled.append(app);
        else if (byCask || byStore)
            plan.willInstall.append(app);
        else
            plan.manual.append(app);

        // Applications already here stay in the Brewfile: Homebrew skips what is present.
        if (byCask)
            entriesOf(entries, BrewfileKind::appCask).append({*app.caskToken, {}});
        else if (byStore)
            entriesOf(entries, BrewfileKind::appStore).append({app.name, QString::number(*app.appStoreId)});
    }
    for (const BrewfileKind kind : packageKinds) {
        ofKind(plan.packages, kind) = usableNames(kind, packageNames(manifest, kind),
                                                  ofKind(homebrew.unchosenPackages, kind), plan.skipped);
        for (const QString &name : std::as_const(ofKind(plan.packages, kind)))
            entriesOf(entries, kind).append({name, {}});
    }
    plan.fontsByHand = restore::fontsByHand(manifest);
    plan.brewfile = writeBrewfile(manifest, entries);
    plan.loginItems = manifest.legacyLoginItems;
    return plan;
}

} // namespace restore
