#include "ui/restorelistmodel.h"

#include "restore/brewfile.h"
#include "restore/restoremodel.h"

namespace ui {

using model::AppRecord;
using model::AppSource;

namespace {

QString noteFor(const AppRecord &app) {
    if (app.caskToken)
        return *app.caskToken;
    if (restore::hasAppStoreId(app))
        return RestoreListModel::tr("id %1").arg(*app.appStoreId);
    return {};
}

} // namespace

RestoreListModel::RestoreListModel(QObject *parent)
    : QAbstractListModel(parent) {}

RestoreListModel::~RestoreListModel() = default;

void RestoreListModel::setRestore(restore::RestoreModel *restore) {
    if (m_restore == restore)
        return;
    if (m_restore)
        disconnect(m_restore, nullptr, this, nullptr);
    m_restore = restore;
    if (m_restore) {
        connect(m_restore, &restore::RestoreModel::planChanged, this, &RestoreListModel::update);
        connect(m_restore, &restore::RestoreModel::hasManifestChanged, this, &RestoreListModel::update);
    }
    Q_EMIT restoreChanged();
    update();
}

int RestoreListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant RestoreListModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case KindRole:
        return QVariant::fromValue(row.kind);
    case SectionRole:
        return QVariant::fromValue(row.section);
    case Qt::DisplayRole:
    case LabelRole:
        return row.label;
    case NoteRole:
        return row.note;
    case PathRole:
        return row.path;
    case SourceRole:
        return row.source;
    case CheckedRole:
        return row.checked;
    case InstalledRole:
        return row.installed;
    case LinkRole:
        return row.link;
    case LoginStateRole:
        return row.loginState;
    case ThirdPartyRole:
        return row.thirdParty;
    case FirstRole:
        return row.first;
    case LastRole:
        return row.last;
    case AppRole:
        return row.app;
    default:
        return {};
    }
}

QHash<int, QByteArray> RestoreListModel::roleNames() const {
    return {
        {KindRole, "kind"},
        {SectionRole, "section"},
        {LabelRole, "label"},
        {NoteRole, "note"},
        {PathRole, "path"},
        {SourceRole, "source"},
        {CheckedRole, "checked"},
        {InstalledRole, "installed"},
        {LinkRole, "link"},
        {LoginStateRole, "loginState"},
        {FirstRole, "first"},
        {LastRole, "last"},
        {ThirdPartyRole, "thirdParty"},
        {AppRole, "app"},
    };
}

QList<RestoreListModel::Row> RestoreListModel::buildRows(const restore::RestorePlan &plan) const {
    QList<Row> rows;
    const restore::RestoreModel &restore = *m_restore;
    const model::Manifest &manifest = *restore.manifest();

    const restore::LoginItems &loginItems = *restore.loginItems();
    const restore::ManualDownloads &downloads = *restore.downloads();
    const auto addSection = [&](Section section, int source, const QString &title, qsizetype count,
                                const QString &footer, const auto &addItems) {
        if (count == 0)
            return;
        rows.append({.kind = Kind::Header,
                     .section = section,
                     .label = tr("%1 (%2)", "section title, count").arg(title, QString::number(count)),
                     .source = source});
        const qsizetype firstItem = rows.size();
        addItems();
        rows[firstItem].first = true;
        rows.last().last = true;
        rows.append({.kind = Kind::Footer, .section = section, .label = footer, .source = source});
    };
    const auto addApps = [&](Section section, AppSource source, const QString &title, const QString &footer) {
        const qsizetype count = restore.appsWithSource(source).size();
        addSection(section, static_cast<int>(source), title, count, footer, [&] {
            for (qsizetype position = 0; position < manifest.apps.size(); ++position) {
                const AppRecord &app = manifest.apps.at(position);
                if (app.source != source)
                    continue;
                rows.append({.kind = source == AppSource::manual ? Kind::Manual : Kind::App,
                             .section = section,
                             .label = app.name,
                             .note = noteFor(app),
                             .path = app.path,
                             .app = static_cast<int>(position),
                             .source = static_cast<int>(source),
                             .checked = restore.isAppSelected(static_cast<int>(position)),
                             .installed = restore.installed().has(app),
                             .link = downloads.link(app.path),
                             .thirdParty =
                                 app.caskToken && restore::isThirdPartyTap(restore::tapOf(*app.caskToken))});
            }
        });
    };

    addApps(Section::CaskApps, AppSource::cask, tr("Homebrew casks"),
            tr("These install automatically via brew."));
    addApps(Section::StoreApps, AppSource::appStore, tr("Mac App Store"),
            tr("Installed with mas (sign in to the App Store first)."));
    addApps(Section::ManualApps, AppSource::manual, tr("Manual downloads"),
            tr("No automated installer. Use “Find” to locate each one, then paste its download link "
               "— it's remembered and travels to your other Mac."));

    // Taps, formulae and other casks as the manifest lists them, less what a Brewfile can't take
    // (those are listed as left out) and the taps that come with Homebrew.
    const auto addPackages = [&](Section section, restore::BrewfileKind brewfileKind,
                                 const QStringList &names, const QSet<QString> &unchosen,
                                 const QString &title, const QString &footer) {
        const restore::BrewfileKindRow &row = restore::brewfileKind(brewfileKind);
        const restore::HomebrewKind kind = row.nameKind;
        QStringList shown;
        for (const QString &name : names) {
            if (!row.problem(name) &&
                !(kind == restore::HomebrewKind::tap && restore::builtInTaps.contains(name)))
                shown.append(name);
        }
        addSection(section, -1, title, shown.size(), footer, [&] {
            for (const QString &name : std::as_const(shown)) {
                const QString tap = kind == restore::HomebrewKind::tap ? name : restore::tapOf(name);
                const bool qualified = kind != restore::HomebrewKind::tap && !tap.isEmpty();
                rows.append({.kind = Kind::Package,
                             .section = section,
                             .label = qualified ? name.sliced(tap.size() + 1) : name,
                             .note = qualified ? tap : QString(),
                             .path = name,
                             .checked = !unchosen.contains(name),
                             .thirdParty = restore::isThirdPartyTap(tap)});
            }
        });
    };
    const restore::HomebrewChoice &homebrew = restore.homebrewChoice();
    addPackages(Section::Taps, restore::BrewfileKind::tap, manifest.brewTaps, homebrew.unchosenTaps,
                tr("Homebrew taps"),
                tr("Extra package sources the casks and tools below may come from. Third-party "
                   "taps are maintained outside Homebrew."));
    addPackages(Section::Formulae, restore::BrewfileKind::formula, manifest.brewFormulae,
                homebrew.unchosenFormulae, tr("Command-line tools"),
                tr("Homebrew formulae; brew installs them with the casks."));
    addPackages(Section::OtherCasks, restore::BrewfileKind::otherCask, restore::otherCasks(manifest),
                homebrew.unchosenCasks, tr("Other Homebrew casks"),
                tr("Fonts, command-line tools and drivers that no app above stands for; brew "
                   "installs them with the rest."));

    // The other kinds, from their registries: chosen like the taps. A font no cask installs is listed
    // under its casks, to be copied by hand.
    const auto addOtherKind = [&](Section section, restore::BrewfileKind kind, const QString &title,
                                  const QString &footer, const QStringList &byHand = {}) {
        const restore::BrewfileKindRow &row = restore::brewfileKind(kind);
        QStringList shown;
        for (const QString &name : restore::packageNames(manifest, kind)) {
            if (!row.problem(name))
                shown.append(name);
        }
        const QSet<QString> &unchosen = restore::ofKind(homebrew.unchosenPackages, kind);
        const int source = static_cast<int>(kind);
        addSection(section, source, title, shown.size() + byHand.size(), footer, [&] {
            for (const QString &name : std::as_const(shown)) {
                const QString tap = row.thirdParty ? QString() : restore::tapOf(name);
                rows.append({.kind = Kind::Package,
                             .section = section,
                             .label = tap.isEmpty() ? name : name.sliced(tap.size() + 1),
                             .note = tap,
                             .path = name,
                             .source = source,
                             .checked = !unchosen.contains(name),
                             .thirdParty = row.thirdParty || restore::isThirdPartyTap(tap)});
            }
            for (const QString &file : byHand) {
                rows.append({.kind = Kind::ByHand,
                             .section = section,
                             .label = file,
                             .note = tr("copy by hand"),
                             .path = file,
                             .source = source});
            }
        });
    };
    using restore::BrewfileKind;
    addOtherKind(Section::Extensions, BrewfileKind::extension, tr("Editor extensions"),
                 tr("Installed into VS Code, or whichever of its relatives this Mac has, from the "
                    "editor's marketplace."));
    addOtherKind(Section::NpmPackages, BrewfileKind::npm, tr("npm packages"),
                 tr("Installed globally with npm from the npm registry; Homebrew's node comes first "
                    "when no chosen formula brings it."));
    addOtherKind(Section::RustCrates, BrewfileKind::crate, tr("Rust crates"),
                 tr("Built with cargo install from crates.io; Homebrew's rust comes first when no "
                    "chosen formula brings it. Crates from git or a folder are left out."));
    addOtherKind(Section::PythonTools, BrewfileKind::pythonTool, tr("Python tools"),
                 tr("Installed with uv tool install from PyPI; Homebrew's uv comes first when no "
                    "chosen formula brings it."));
    addOtherKind(Section::Fonts, BrewfileKind::fontCask, tr("Fonts"),
                 tr("Fonts a Homebrew cask provides install with the rest. Font files never leave "
                    "the old Mac: copy the others over yourself."),
                 plan.fontsByHand);

    addSection(Section::LoginItems, -1, tr("Launch at login"), loginItems.names().size(),
               tr("Re-adds these to your Login Items after the apps are installed. Skips any "
                  "already set. macOS will ask permission to control System Events the first time."),
               [&] {
                   for (const QString &name : loginItems.names()) {
                       rows.append({.kind = Kind::Login,
                                    .section = Section::LoginItems,
                                    .label = name,
                                    .checked = loginItems.isSelected(name),
                                    .loginState = static_cast<int>(loginItems.state(name))});
                   }
               });

    addSection(Section::LeftOut, -1, tr("Left out"), plan.skipped.size(),
               tr("The manifest names these in a way Homebrew would read as something else, or "
                  "Homebrew has retired them, so they are not installed. An app among them is a "
                  "manual download."),
               [&] {
                   for (const restore::SkippedEntry &entry : plan.skipped) {
                       rows.append({.kind = Kind::Skipped,
                                    .section = Section::LeftOut,
                                    .label = restore::kindWord(entry.kind) + u' ' +
                                             restore::rubyStringLiteral(entry.name),
                                    .note = entry.reason,
                                    .path = entry.name});
                   }
               });
    return rows;
}

void RestoreListModel::update() {
    const std::optional<restore::RestorePlan> plan = m_restore ? m_restore->plan() : std::nullopt;
    QList<Row> rows = plan ? buildRows(*plan) : QList<Row>();

    bool sameShape = rows.size() == m_rows.size();
    for (qsizetype i = 0; sameShape && i < rows.size(); ++i)
        sameShape = rows.at(i).sameSlot(m_rows.at(i));

    if (!sameShape) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    } else {
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows.at(i) == m_rows.at(i))
                continue;
            m_rows[i] = rows.at(i);
            const QModelIndex changed = index(static_cast<int>(i));
            Q_EMIT dataChanged(changed, changed);
        }
    }

    int willInstall = 0;
    int alreadyInstalled = 0;
    int manual = 0;
    if (plan) {
        willInstall = static_cast<int>(plan->willInstall.size());
        alreadyInstalled = static_cast<int>(plan->alreadyInstalled.size());
        manual = static_cast<int>(plan->manual.size());
    }
    if (willInstall != m_willInstall || alreadyInstalled != m_alreadyInstalled || manual != m_manual) {
        m_willInstall = willInstall;
        m_alreadyInstalled = alreadyInstalled;
        m_manual = manual;
        Q_EMIT countsChanged();
    }
}

} // namespace ui
