#include "restore/restoremodel.h"

#include "restore/brewfile.h"

#include "sync/appsettings.h"
#include "sync/syncclient.h"

#include <QCoroFuture>
#include <QDateTime>
#include <QPointer>
#include <QtConcurrent>

#include <climits>

namespace restore {

using model::AppRecord;
using model::AppSource;

// This Mac as a load finds it.
struct RestoreModel::ThisMac {
    InstalledApps apps;
    QSet<QString> loginItems;
};

RestoreModel::RestoreModel(inventory::InventoryEngine engine, syncing::AppSettings &settings,
                           std::unique_ptr<platform::SavePanel> savePanel,
                           std::unique_ptr<platform::TerminalLauncher> terminalLauncher, QObject *parent)
    : QObject(parent)
    , m_engine(std::move(engine))
    , m_settings(&settings) {
    m_brewfile = new BrewfileHandoff(
        m_engine, [this] { return plan(); }, std::move(savePanel), std::move(terminalLauncher), this);
    m_loginItems = new LoginItems(m_engine, this);
    m_downloads = new ManualDownloads(m_engine.endpoints(), this);

    // Every action clears the last failure as it starts; its outcome then takes the status line.
    const auto clearError = [this] { setError(std::nullopt); };
    connect(m_brewfile, &BrewfileHandoff::started, this, clearError);
    connect(m_loginItems, &LoginItems::started, this, clearError);
    connect(m_downloads, &ManualDownloads::started, this, clearError);
    connect(m_brewfile, &BrewfileHandoff::finished, this, &RestoreModel::setStatus);
    const auto fail = [this](const QString &status, const QString &message) {
        setError(message);
        setStatus(status);
    };
    connect(m_brewfile, &BrewfileHandoff::failed, this, fail);
    connect(m_downloads, &ManualDownloads::refused, this, fail);
    connect(m_brewfile, &BrewfileHandoff::isCheckingChanged, this, &RestoreModel::updateBusy);
    connect(m_loginItems, &LoginItems::isApplyingChanged, this, &RestoreModel::updateBusy);
    connect(m_loginItems, &LoginItems::changed, this, &RestoreModel::planChanged);
    connect(m_downloads, &ManualDownloads::linkChanged, this, &RestoreModel::planChanged);
}

RestoreModel::~RestoreModel() = default;

void RestoreModel::setStatus(const QString &status) {
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

void RestoreModel::setError(const std::optional<QString> &message) {
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

void RestoreModel::setLoading(int delta) {
    m_loading += delta;
    updateBusy();
}

void RestoreModel::updateBusy() {
    const bool busy = m_loading > 0 || m_brewfile->isChecking() || m_loginItems->isApplying();
    if (m_isBusy == busy)
        return;
    m_isBusy = busy;
    Q_EMIT isBusyChanged();
}

void RestoreModel::startLoad() {
    loadFromCloud();
}

void RestoreModel::startLoadVersion(const QString &id) {
    loadVersion(id);
}

void RestoreModel::refreshVersions() {
    // Quietly: the list only feeds the menu, and a Worker that can't answer now says so on load.
    [](QPointer<RestoreModel> self, QPointer<syncing::AppSettings> settings) -> QCoro::Task<> {
        if (!settings)
            co_return;
        co_await settings->ready();
        if (!settings)
            co_return;
        const syncing::SyncClient client(settings->workerURL(), settings->token());
        syncing::SyncResult<QList<syncing::StoredVersion>> listed = co_await client.versions();
        if (self && listed)
            self->setVersions(std::move(listed).value());
    }(this, m_settings);
}

namespace {

// A Worker from before it kept versions has no list to give: it doesn't know the path, or (behind
// something that answers every path alike) answers with what isn't a list.
bool keepsOnlyOne(const syncing::SyncError &error) {
    return (error.kind == syncing::SyncError::Kind::http && error.statusCode == 404) ||
           error.kind == syncing::SyncError::Kind::decode;
}

// "3 days ago", for a time the Worker wrote; empty when it can't be read.
QString agoText(const QString &storedAt) {
    const QDateTime then = QDateTime::fromString(storedAt, Qt::ISODateWithMs);
    if (!then.isValid())
        return {};
    const qint64 seconds = std::max<qint64>(0, then.secsTo(QDateTime::currentDateTimeUtc()));
    if (seconds < 60)
        return RestoreModel::tr("just now");
    if (seconds < 3600)
        return RestoreModel::tr("%n minute(s) ago", nullptr, static_cast<int>(seconds / 60));
    if (seconds < 86400)
        return RestoreModel::tr("%n hour(s) ago", nullptr, static_cast<int>(seconds / 3600));
    return RestoreModel::tr("%n day(s) ago", nullptr,
                            static_cast<int>(std::min<qint64>(seconds / 86400, INT_MAX)));
}

} // namespace

QCoro::Task<syncing::SyncClient> RestoreModel::beginLoad() {
    setLoading(+1);
    setError(std::nullopt);
    setStatus(tr("Fetching from Cloud…"));
    const QPointer<syncing::AppSettings> settings = m_settings;
    // Right after launch the token may still be on its way from the keychain; a load started then
    // would otherwise report the settings as missing.
    if (settings)
        co_await settings->ready();
    co_return settings ? syncing::SyncClient(settings->workerURL(), settings->token())
                       : syncing::SyncClient(QString(), QString());
}

QCoro::Task<> RestoreModel::loadFromCloud() {
    const QPointer<RestoreModel> self(this);
    const syncing::SyncClient client = co_await beginLoad();
    if (!self)
        co_return;
    syncing::SyncResult<QList<syncing::StoredVersion>> listed = co_await client.versions();
    if (!self)
        co_return;
    std::optional<QString> id;
    if (listed) {
        // This Mac's name, as its exports carry it: read from its disk (under a root, the root's), off
        // this thread.
        QFuture<QString> named = QtConcurrent::run(&inventory::InventoryEngine::hostname, m_engine);
        const QString own = co_await named;
        if (!self)
            co_return;
        self->setVersions(std::move(listed).value());
        if (const auto chosen = self->defaultVersion(own))
            id = chosen->id;
    } else if (keepsOnlyOne(listed.failure())) {
        self->setVersions({});
    } else {
        self->failLoad(listed.message());
        co_return;
    }
    co_await self->fetchAndAdopt(client, id);
}

QCoro::Task<> RestoreModel::loadVersion(QString id) {
    const QPointer<RestoreModel> self(this);
    const syncing::SyncClient client = co_await beginLoad();
    if (!self)
        co_return;
    co_await self->fetchAndAdopt(client, std::move(id));
}

QCoro::Task<> RestoreModel::fetchAndAdopt(syncing::SyncClient client, std::optional<QString> id) {
    const QPointer<RestoreModel> self(this);
    syncing::SyncResult<model::Manifest> result = syncing::SyncError::badURL();
    if (id)
        result = co_await client.download(*id);
    else
        result = co_await client.download();
    if (!self)
        co_return;
    if (!result) {
        self->failLoad(result.message());
        co_return;
    }
    const int apps = static_cast<int>(result->installableApps().size());
    QString loaded = tr("Loaded %n apps from %1.", nullptr, apps).arg(result->hostname);
    const auto version = std::find_if(m_versions.cbegin(), m_versions.cend(),
                                      [&id](const syncing::StoredVersion &v) { return id && v.id == *id; });
    if (version != m_versions.cend()) {
        if (const QString ago = agoText(version->storedAt); !ago.isEmpty())
            loaded = tr("Loaded %n apps from %1, exported %2.", nullptr, apps).arg(result->hostname, ago);
    }
    co_await self->applyManifest(std::move(result).value());
    if (!self)
        co_return;
    self->setStatus(loaded);
    self->setLoading(-1);
}

void RestoreModel::failLoad(const QString &message) {
    setError(message);
    setStatus(tr("Couldn't load."));
    setLoading(-1);
}

void RestoreModel::setVersions(QList<syncing::StoredVersion> versions) {
    if (m_versions == versions)
        return;
    m_versions = std::move(versions);
    Q_EMIT versionsChanged();
}

std::optional<syncing::StoredVersion> RestoreModel::defaultVersion(const QString &own) const {
    if (m_versions.isEmpty())
        return std::nullopt;
    for (const syncing::StoredVersion &version : m_versions) {
        if (version.hostname != own)
            return version;
    }
    return m_versions.constFirst();
}

RestoreModel::ThisMac RestoreModel::lookAtThisMac(const inventory::InventoryEngine &engine) {
    const QStringList loginItems = engine.readOwnLoginItems().value_or(QStringList());
    return {InstalledApps::fromScan(engine.scanApps()),
            QSet<QString>(loginItems.cbegin(), loginItems.cend())};
}

QCoro::Task<> RestoreModel::applyManifest(model::Manifest manifest) {
    // The coroutine only waits and hands over: g++ 12 mishandles temporaries that live across a
    // co_await, so the work around it happens in plain functions.
    const QPointer<RestoreModel> self(this);
    setLoading(+1);
    QFuture<ThisMac> look = QtConcurrent::run(&RestoreModel::lookAtThisMac, m_engine);
    ThisMac mac = co_await look;
    if (!self)
        co_return;
    self->adopt(std::move(manifest), std::move(mac));
    self->setLoading(-1);
}

void RestoreModel::adopt(model::Manifest manifest, ThisMac mac) {
    const bool hadManifest = m_manifest.has_value();
    m_manifest = std::move(manifest);
    m_selected.clear();
    for (qsizetype position = 0; position < m_manifest->apps.size(); ++position) {
        if (m_manifest->apps.at(position).source != AppSource::apple)
            m_selected.insert(position);
    }
    m_homebrew = {};
    m_installed = std::move(mac.apps);
    // Quietly: the one planChanged below covers them.
    {
        const QSignalBlocker loginSignals(m_loginItems);
        m_loginItems->reset(m_manifest->legacyLoginItems, mac.loginItems, m_installed.pathsByName);
    }
    m_downloads->reset(m_manifest->appsWithSource(AppSource::manual));

    if (!hadManifest)
        Q_EMIT hasManifestChanged();
    Q_EMIT planChanged();
}

std::optional<RestorePlan> RestoreModel::plan() const {
    if (!m_manifest)
        return std::nullopt;
    return RestorePlan::build(*m_manifest, m_selected, m_installed, m_homebrew);
}

QList<AppRecord> RestoreModel::appsWithSource(AppSource source) const {
    if (!m_manifest || source == AppSource::apple)
        return {};
    return m_manifest->appsWithSource(source);
}

bool RestoreModel::isAppSelected(int position) const {
    return m_selected.contains(position);
}

void RestoreModel::setAppSelected(int position, bool on) {
    if (!m_manifest || position < 0 || position >= m_manifest->apps.size() ||
        m_manifest->apps.at(position).source == AppSource::apple)
        return;
    const qsizetype before = m_selected.size();
    if (on)
        m_selected.insert(position);
    else
        m_selected.remove(position);
    if (m_selected.size() != before)
        Q_EMIT planChanged();
}

int RestoreModel::positionOf(const QString &path) const {
    int found = -1;
    for (qsizetype position = 0; m_manifest && position < m_manifest->apps.size(); ++position) {
        if (m_manifest->apps.at(position).path != path)
            continue;
        if (found >= 0)
            return -1;
        found = static_cast<int>(position);
    }
    return found;
}

bool RestoreModel::isSelected(const QString &path) const {
    return isAppSelected(positionOf(path));
}

void RestoreModel::setSelected(const QString &path, bool on) {
    setAppSelected(positionOf(path), on);
}

void RestoreModel::selectAll(AppSource source) {
    const qsizetype before = m_selected.size();
    for (qsizetype position = 0; m_manifest && position < m_manifest->apps.size(); ++position) {
        if (source != AppSource::apple && m_manifest->apps.at(position).source == source)
            m_selected.insert(position);
    }
    if (m_selected.size() != before)
        Q_EMIT planChanged();
}

void RestoreModel::selectNone(AppSource source) {
    const qsizetype before = m_selected.size();
    for (qsizetype position = 0; m_manifest && position < m_manifest->apps.size(); ++position) {
        if (m_manifest->apps.at(position).source == source)
            m_selected.remove(position);
    }
    if (m_selected.size() != before)
        Q_EMIT planChanged();
}

void RestoreModel::setUnchosen(QSet<QString> &unchosen, const QStringList &listed, const QString &name,
                               bool on) {
    if (!listed.contains(name) || unchosen.contains(name) == !on)
        return;
    if (on)
        unchosen.remove(name);
    else
        unchosen.insert(name);
    Q_EMIT planChanged();
}

void RestoreModel::setAllUnchosen(QSet<QString> &unchosen, const QStringList &listed, bool on) {
    QSet<QString> wanted = on ? QSet<QString>() : QSet<QString>(listed.cbegin(), listed.cend());
    if (unchosen == wanted)
        return;
    unchosen = std::move(wanted);
    Q_EMIT planChanged();
}

void RestoreModel::setTapChosen(const QString &tap, bool on) {
    if (m_manifest)
        setUnchosen(m_homebrew.unchosenTaps, m_manifest->brewTaps, tap, on);
}

void RestoreModel::setFormulaChosen(const QString &formula, bool on) {
    if (m_manifest)
        setUnchosen(m_homebrew.unchosenFormulae, m_manifest->brewFormulae, formula, on);
}

void RestoreModel::chooseAllTaps(bool on) {
    if (m_manifest)
        setAllUnchosen(m_homebrew.unchosenTaps, m_manifest->brewTaps, on);
}

void RestoreModel::chooseAllFormulae(bool on) {
    if (m_manifest)
        setAllUnchosen(m_homebrew.unchosenFormulae, m_manifest->brewFormulae, on);
}

void RestoreModel::setCaskChosen(const QString &cask, bool on) {
    if (m_manifest)
        setUnchosen(m_homebrew.unchosenCasks, otherCasks(*m_manifest), cask, on);
}

void RestoreModel::chooseAllCasks(bool on) {
    if (m_manifest)
        setAllUnchosen(m_homebrew.unchosenCasks, otherCasks(*m_manifest), on);
}

namespace {

std::optional<BrewfileKind> packageKindOf(int kind) {
    for (const BrewfileKind packageKind : packageKinds) {
        if (static_cast<int>(packageKind) == kind)
            return packageKind;
    }
    return std::nullopt;
}

} // namespace

void RestoreModel::setPackageChosen(int kind, const QString &name, bool on) {
    if (const auto which = packageKindOf(kind); m_manifest && which)
        setUnchosen(ofKind(m_homebrew.unchosenPackages, *which), packageNames(*m_manifest, *which), name, on);
}

void RestoreModel::chooseAllPackages(int kind, bool on) {
    if (const auto which = packageKindOf(kind); m_manifest && which)
        setAllUnchosen(ofKind(m_homebrew.unchosenPackages, *which), packageNames(*m_manifest, *which), on);
}

} // namespace restore
