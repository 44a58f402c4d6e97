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
    if (app.appStoreId)
        return QStringLiteral("id ") + QString::number(*app.appStoreId);
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
    case kindRole:
        return QVariant::fromValue(row.kind);
    case sectionRole:
        return QVariant::fromValue(row.section);
    case Qt::DisplayRole:
    case labelRole:
        return row.label;
    case noteRole:
        return row.note;
    case pathRole:
        return row.path;
    case sourceRole:
        return row.source;
    case checkedRole:
        return row.checked;
    case installedRole:
        return row.installed;
    case linkRole:
        return row.link;
    case loginStateRole:
        return row.loginState;
    case thirdPartyRole:
        return row.thirdParty;
    case firstRole:
        return row.first;
    case lastRole:
        return row.last;
    default:
        return {};
    }
}

QHash<int, QByteArray> RestoreListModel::roleNames() const {
    return {
        {kindRole, "kind"},
        {sectionRole, "section"},
        {labelRole, "label"},
        {noteRole, "note"},
        {pathRole, "path"},
        {sourceRole, "source"},
        {checkedRole, "checked"},
        {installedRole, "installed"},
        {linkRole, "link"},
        {loginStateRole, "loginState"},
        {firstRole, "first"},
        {lastRole, "last"},
        {thirdPartyRole, "thirdParty"},
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
                     .label = title + QStringLiteral(" (") + QString::number(count) + u')',
                     .source = source});
        const qsizetype firstItem = rows.size();
        addItems();
        rows[firstItem].first = true;
        rows.last().last = true;
        rows.append({.kind = Kind::Footer, .section = section, .label = footer, .source = source});
    };
    const auto addApps = [&](Section section, AppSource source, const QString &title, const QString &footer) {
        const QList<AppRecord> apps = restore.appsWithSource(source);
        addSection(section, static_cast<int>(source), title, apps.size(), footer, [&] {
            for (const AppRecord &app : apps) {
                rows.append({.kind = source == AppSource::manual ? Kind::Manual : Kind::App,
                             .section = section,
                             .label = app.name,
                             .note = noteFor(app),
                             .path = app.path,
                             .source = static_cast<int>(source),
                             .checked = restore.isSelected(app.path),
                             .installed = restore.installed().has(app),
                             .link = downloads.link(app.path),
                             .thirdParty =
                                 app.caskToken && restore::isThirdPartyTap(restore::tapOf(*app.caskToken))});
            }
        });
    };

    addApps(Section::CaskApps, AppSource::cask, QStringLiteral("Homebrew casks"),
            QStringLiteral("These install automatically via brew."));
    addApps(Section::StoreApps, AppSource::appStore, QStringLiteral("Mac App Store"),
            QStringLiteral("Installed with mas (sign in to the App Store first)."));
    addApps(
        Section::ManualApps, AppSource::manual, QStringLiteral("Manual downloads"),
        QStringLiteral("No automated installer. Use “Find” to locate each one, then paste its download link "
                       "— it's remembered and travels to your other Mac."));

    // Taps and formulae as the manifest lists them, less what Homebrew would misread (those are listed
    // as left out) and the taps that come with Homebrew.
    const auto addPackages = [&](Section section, restore::HomebrewKind kind, const QStringList &names,
                                 const QSet<QString> &unchosen, const QString &title, const QString &footer) {
        QStringList shown;
        for (const QString &name : names) {
            if (!restore::homebrewNameProblem(kind, name) &&
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
    addPackages(Section::Taps, restore::HomebrewKind::tap, manifest.brewTaps, homebrew.unchosenTaps,
                QStringLiteral("Homebrew taps"),
                QStringLiteral("Extra package sources the casks and tools below may come from. Third-party "
                               "taps are maintained outside Homebrew."));
    addPackages(Section::Formulae, restore::HomebrewKind::formula, manifest.brewFormulae,
                homebrew.unchosenFormulae, QStringLiteral("Command-line tools"),
                QStringLiteral("Homebrew formulae; brew installs them with the casks."));

    // The other kinds, from their registries: chosen like the taps. A font no cask installs is listed
    // under its casks, to be copied by hand.
    const auto addOtherKind = [&](Section section, restore::PackageKind kind, const QString &title,
                                  const QString &footer, const QStringList &byHand = {}) {
        const restore::PackageKindRow &row = restore::packageKind(kind);
        QStringList shown;
        for (const QString &name : row.listed(manifest)) {
            if (!row.problem(name))
                shown.append(name);
        }
        const QSet<QString> &unchosen = restore::ofKind(restore.homebrewChoice().unchosenPackages, kind);
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
                             .note = QStringLiteral("copy by hand"),
                             .path = file,
                             .source = source});
            }
        });
    };
    using restore::PackageKind;
    addOtherKind(
        Section::Extensions, PackageKind::extension, QStringLiteral("Editor extensions"),
        QStringLiteral("Installed into VS Code, or whichever of its relatives this Mac has, from the "
                       "editor's marketplace."));
    addOtherKind(
        Section::NpmPackages, PackageKind::npm, QStringLiteral("npm packages"),
        QStringLiteral("Installed globally with npm from the npm registry; Homebrew's node comes first "
                       "when no chosen formula brings it."));
    addOtherKind(
        Section::RustCrates, PackageKind::crate, QStringLiteral("Rust crates"),
        QStringLiteral("Built with cargo install from crates.io; Homebrew's rust comes first when no "
                       "chosen formula brings it. Crates from git or a folder are left out."));
    addOtherKind(Section::PythonTools, PackageKind::pythonTool, QStringLiteral("Python tools"),
                 QStringLiteral("Installed with uv tool install from PyPI; Homebrew's uv comes first when no "
                                "chosen formula brings it."));
    addOtherKind(
        Section::Fonts, PackageKind::fontCask, QStringLiteral("Fonts"),
        QStringLiteral("Fonts a Homebrew cask provides install with the rest. Font files never leave "
                       "the old Mac: copy the others over yourself."),
        plan.fontsByHand);

    addSection(
        Section::LoginItems, -1, QStringLiteral("Launch at login"), loginItems.names().size(),
        QStringLiteral("Re-adds these to your Login Items after the apps are installed. Skips any "
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

    addSection(Section::LeftOut, -1, QStringLiteral("Left out"), plan.skipped.size(),
               QStringLiteral("The manifest names these in a way Homebrew would read as something else, so "
                              "they are not installed. An app among them is a manual download."),
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
