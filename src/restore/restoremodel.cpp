#include "restore/restoremodel.h"

#include "platform/processrunner.h"
#include "restore/brewfile.h"
#include "restore/filedialogsavepanel.h"
#include "restore/installerscript.h"
#include "restore/textfile.h"
#include "sync/appsettings.h"
#include "sync/manualurlstore.h"
#include "sync/syncclient.h"
#include "tools/brew.h"
#include "tools/systemevents.h"

#include <QClipboard>
#include <QCoroFuture>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QUrl>
#include <QtConcurrent>

namespace restore {

using model::AppRecord;
using model::AppSource;

namespace {

const QString brewfileName = QStringLiteral("Brewfile");
const QString scriptName = QStringLiteral("restore.command");
const QString checkingText = QStringLiteral("Checking…");
const QString previewIntroduction =
    QStringLiteral("This is what Homebrew will install. Homebrew only tracks packages it\n"
                   "installed itself, so apps you added manually show as \"needs install\"\n"
                   "here even if they're already on this Mac. On a clean new Mac this list\n"
                   "is exactly what gets set up. Nothing is installed by this preview.\n");
const QString nothingToInstallText =
    QStringLiteral("All dependencies are already satisfied — nothing to install.");

QProcessEnvironment quietHomebrewEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : tools::brew::quietEnvironment)
        environment.insert(name, QStringLiteral("1"));
    return environment;
}

QString decodeUtf8OrEmpty(const QByteArray &bytes) {
    // Taken unchanged, so a leading byte order mark stays (Qt would drop it).
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

QString number(qsizetype n) {
    return QString::number(n);
}

QString withoutHomebrewText(const RestorePlan &plan, qsizetype formulae) {
    const auto countSource = [&plan](AppSource source) {
        return std::count_if(plan.willInstall.cbegin(), plan.willInstall.cend(),
                             [source](const AppRecord &app) { return app.source == source; });
    };
    return QStringLiteral("Homebrew isn't installed on this Mac yet.\n\n"
                          "\"Install in Terminal\" would:\n"
                          "  1. Install Homebrew (one password prompt)\n"
                          "  2. Install ") +
           number(countSource(AppSource::cask)) +
           QStringLiteral(" app(s) via Homebrew cask\n"
                          "  3. Install ") +
           number(countSource(AppSource::appStore)) +
           QStringLiteral(" app(s) from the Mac App Store\n"
                          "  4. Install ") +
           number(formulae) + QStringLiteral(" command-line tool(s)\n\n") + number(plan.manual.size()) +
           QStringLiteral(" app(s) need a manual download (listed above).\n"
                          "Nothing has been installed — this is only a preview.");
}

std::optional<AppSource> sourceFromInt(int source) {
    if (source < static_cast<int>(AppSource::appStore) || source > static_cast<int>(AppSource::apple))
        return std::nullopt;
    return static_cast<AppSource>(source);
}

} // namespace

RestoreModel::RestoreModel(QObject *parent)
    : RestoreModel(inventory::InventoryEngine(), std::make_unique<FileDialogSavePanel>(),
                   makeTerminalLauncher(), parent) {}

RestoreModel::RestoreModel(inventory::InventoryEngine engine, std::unique_ptr<SavePanel> savePanel,
                           std::unique_ptr<TerminalLauncher> terminalLauncher, QObject *parent)
    : QObject(parent)
    , m_status(QStringLiteral("Load a manifest to begin."))
    , m_engine(std::move(engine))
    , m_savePanel(std::move(savePanel))
    , m_terminalLauncher(std::move(terminalLauncher)) {}

RestoreModel::~RestoreModel() = default;

// --- state ------------------------------------------------------------------------------------------

void RestoreModel::setStatus(const QString &status) {
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

void RestoreModel::setBusy(bool busy) {
    if (m_isBusy == busy)
        return;
    m_isBusy = busy;
    Q_EMIT isBusyChanged();
}

void RestoreModel::setErrorMessage(const std::optional<QString> &message) {
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

void RestoreModel::setSavedBrewfilePath(const std::optional<QString> &path) {
    if (m_savedBrewfilePath == path)
        return;
    m_savedBrewfilePath = path;
    Q_EMIT savedBrewfilePathChanged();
}

void RestoreModel::setLoginStatus(const std::optional<QString> &status) {
    if (m_loginStatus == status)
        return;
    m_loginStatus = status;
    Q_EMIT loginStatusChanged();
}

void RestoreModel::setPreviewText(const std::optional<QString> &text) {
    if (m_previewText == text)
        return;
    m_previewText = text;
    Q_EMIT previewTextChanged();
}

// --- loading and planning ---------------------------------------------------------------------------

QCoro::Task<> RestoreModel::loadFromCloud() {
    const QPointer<RestoreModel> self(this);
    setBusy(true);
    setErrorMessage(std::nullopt);
    setStatus(QStringLiteral("Fetching from Cloud…"));

    syncing::AppSettings *settings = syncing::AppSettings::shared();
    // Right after launch the token may still be on its way from the keychain; a load started then
    // would otherwise report the settings as missing.
    co_await settings->ready();
    syncing::SyncClient client(settings->workerURL(), settings->token());
    syncing::SyncResult<model::Manifest> result = co_await client.download();
    if (self)
        self->adoptDownload(result);
}

void RestoreModel::adoptDownload(const syncing::SyncResult<model::Manifest> &result) {
    if (const auto *manifest = std::get_if<model::Manifest>(&result)) {
        applyManifest(*manifest);
        setStatus(QStringLiteral("Loaded ") + number(manifest->installableApps().size()) +
                  QStringLiteral(" apps from ") + manifest->hostname + u'.');
    } else {
        setErrorMessage(std::get<syncing::SyncError>(result).description());
        setStatus(QStringLiteral("Couldn't load."));
    }
    setBusy(false);
}

void RestoreModel::applyManifest(const model::Manifest &manifest) {
    const bool hadManifest = m_manifest.has_value();
    m_manifest = manifest;

    m_selected.clear();
    for (const AppRecord &app : manifest.apps) {
        if (app.source != AppSource::apple)
            m_selected.insert(app.path);
    }

    m_installedBundleIds.clear();
    m_installedNames.clear();
    m_installedAppPaths.clear();
    for (const AppRecord &app : m_engine.scanApps()) {
        if (app.bundleId)
            m_installedBundleIds.insert(*app.bundleId);
        m_installedNames.insert(app.name);
        // The first application of a name is the one a login item of that name will open.
        if (!m_installedAppPaths.contains(app.name))
            m_installedAppPaths.insert(app.name, app.path);
    }

    m_currentLoginSet = readCurrentLoginItems();
    m_loginSelection = QSet<QString>(manifest.legacyLoginItems.cbegin(), manifest.legacyLoginItems.cend());

    // A link remembered on this Mac beats the one the manifest brought along.
    m_manualURLs.clear();
    const syncing::LinkMap remembered = syncing::ManualURLStore::allURLs();
    for (const AppRecord &app : manifest.appsWithSource(AppSource::manual)) {
        const auto it = remembered.constFind(syncing::ManualURLStore::linkKey(app.bundleId, app.name));
        if (it != remembered.cend())
            m_manualURLs.insert(app.path, *it);
        else if (app.downloadURL)
            m_manualURLs.insert(app.path, *app.downloadURL);
    }

    if (!hadManifest)
        Q_EMIT hasManifestChanged();
    Q_EMIT planChanged();
}

std::optional<RestorePlan> RestoreModel::plan() const {
    if (!m_manifest)
        return std::nullopt;
    return buildPlan(*m_manifest, m_selected, m_installedBundleIds, m_installedNames);
}

RestorePlan RestoreModel::buildPlan(const model::Manifest &manifest, const QSet<QString> &selected,
                                    const QSet<QString> &installedBundleIds,
                                    const QSet<QString> &installedNames) {
    RestorePlan plan;
    // Pointers into the manifest: the Brewfile needs the records only while it is being written.
    QList<const AppRecord *> casks;
    QList<const AppRecord *> storeApps;
    plan.willInstall.reserve(manifest.apps.size());
    for (const AppRecord &app : manifest.apps) {
        if (app.source == AppSource::apple || !selected.contains(app.path))
            continue;
        if ((app.bundleId && installedBundleIds.contains(*app.bundleId)) || installedNames.contains(app.name))
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
    return plan;
}

QList<AppRecord> RestoreModel::appsWithSource(AppSource source) const {
    if (!m_manifest || source == AppSource::apple)
        return {};
    return m_manifest->appsWithSource(source);
}

bool RestoreModel::isSelected(const AppRecord &app) const {
    return m_selected.contains(app.path);
}

void RestoreModel::setSelected(const AppRecord &app, bool on) {
    const qsizetype before = m_selected.size();
    if (on)
        m_selected.insert(app.path);
    else
        m_selected.remove(app.path);
    if (m_selected.size() != before)
        Q_EMIT planChanged();
}

void RestoreModel::selectAll(const QList<AppRecord> &apps) {
    const qsizetype before = m_selected.size();
    for (const AppRecord &app : apps)
        m_selected.insert(app.path);
    if (m_selected.size() != before)
        Q_EMIT planChanged();
}

void RestoreModel::selectNone(const QList<AppRecord> &apps) {
    const qsizetype before = m_selected.size();
    for (const AppRecord &app : apps)
        m_selected.remove(app.path);
    if (m_selected.size() != before)
        Q_EMIT planChanged();
}

QString RestoreModel::runCommand(const QString &executable, const QStringList &arguments) {
    const platform::ProcessOutput result = platform::ProcessRunner::run(
        executable, arguments, platform::ProcessRunner::ErrorOutput::merge, quietHomebrewEnvironment());
    if (!result.started)
        return QStringLiteral("Couldn't run brew: ") + result.startError;
    return decodeUtf8OrEmpty(result.output);
}

QSet<QString> RestoreModel::readCurrentLoginItems() const {
    // Only what osascript prints on standard output is a list of names. Its error stream (System
    // Events refusing this program, say) and a tool that cannot start say nothing about which login
    // items exist, so they must not turn into names.
    const platform::ProcessOutput result = platform::ProcessRunner::run(
        m_engine.fileManager().resolve(tools::systemEvents::osascriptPath),
        tools::systemEvents::listLoginItemsArguments(), platform::ProcessRunner::ErrorOutput::discard,
        quietHomebrewEnvironment());
    const QStringList names = tools::systemEvents::parseLoginItemNames(
        result.started ? decodeUtf8OrEmpty(result.output) : QString());
    return QSet<QString>(names.cbegin(), names.cend());
}

// --- handing the Brewfile on ------------------------------------------------------------------------

void RestoreModel::copyBrewfile() {
    const auto plan = this->plan();
    if (!plan)
        return;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        setErrorMessage(QStringLiteral("The clipboard isn't available, so the Brewfile wasn't copied."));
        return;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(plan->brewfile);
    setStatus(QStringLiteral("Brewfile copied to clipboard."));
}

void RestoreModel::saveBrewfile() {
    const auto plan = this->plan();
    if (!plan)
        return;
    const auto path = m_savePanel->askForPath(QStringLiteral("Save Brewfile"), brewfileName);
    if (!path)
        return;
    if (const auto error = writeUtf8Atomically(*path, plan->brewfile)) {
        setErrorMessage(error);
        return;
    }
    setSavedBrewfilePath(*path);
    setStatus(QStringLiteral("Saved. Run:  brew bundle --file=") + shellQuotedPath(*path));
}

std::optional<QString> RestoreModel::homebrewLocation() const {
    for (const QString &location : tools::brew::locations) {
        if (m_engine.fileManager().isExecutableFile(location))
            return location;
    }
    return std::nullopt;
}

bool RestoreModel::isHomebrewInstalled() const {
    return homebrewLocation().has_value();
}

QString RestoreModel::supportDirectory() {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Haulwise");
    // A folder that cannot be made shows up as the next write's failure, which is reported.
    QDir().mkpath(folder);
    return folder;
}

void RestoreModel::preview() {
    const auto plan = this->plan();
    if (!plan)
        return;
    const QString brewfilePath = supportDirectory() + u'/' + brewfileName;
    if (const auto error = writeUtf8Atomically(brewfilePath, plan->brewfile)) {
        setErrorMessage(error);
        return;
    }
    const auto brew = homebrewLocation();
    if (!brew) {
        setPreviewText(withoutHomebrewText(*plan, m_manifest->brewFormulae.size()));
        return;
    }
    setBusy(true);
    setPreviewText(checkingText);
    checkWithHomebrew(m_engine.fileManager().resolve(*brew), brewfilePath);
}

QCoro::Task<> RestoreModel::checkWithHomebrew(QString brewPath, QString brewfilePath) {
    // The coroutine only waits and hands over: g++ 12 mishandles temporaries that live across a
    // co_await, so the work around it happens in plain functions.
    const QPointer<RestoreModel> self(this);
    QFuture<QString> check = QtConcurrent::run(&homebrewAnswer, std::move(brewPath), std::move(brewfilePath));
    QString answer = co_await check;
    if (self)
        self->showHomebrewAnswer(answer);
}

QString RestoreModel::homebrewAnswer(const QString &brewPath, const QString &brewfilePath) {
    const QString output = runCommand(brewPath, tools::brew::bundleCheckArguments(brewfilePath));
    return output.trimmed().isEmpty() ? nothingToInstallText : output;
}

void RestoreModel::showHomebrewAnswer(const QString &answer) {
    setPreviewText(previewIntroduction + answer);
    setBusy(false);
}

void RestoreModel::closePreview() {
    setPreviewText(std::nullopt);
}

void RestoreModel::installInTerminal() {
    const auto plan = this->plan();
    if (!plan)
        return;
    const QString folder = supportDirectory();
    const QString brewfilePath = folder + u'/' + brewfileName;
    const QString scriptPath = folder + u'/' + scriptName;

    const QUrl installScript = inventory::endpointAddress(
        m_engine.endpoints().homebrewInstallScript, QStringLiteral("/Homebrew/install/HEAD/install.sh"));

    std::optional<QString> error = writeUtf8Atomically(brewfilePath, plan->brewfile);
    if (!error)
        error = writeUtf8Atomically(
            scriptPath, installerScript(brewfilePath, installScript.toString(QUrl::FullyEncoded)));
    if (!error)
        error = makeExecutable(scriptPath);
    if (!error)
        error = m_terminalLauncher->open(scriptPath);
    if (error) {
        setErrorMessage(error);
        return;
    }
    setStatus(isHomebrewInstalled() ? QStringLiteral("Running brew bundle in Terminal…")
                                    : QStringLiteral("Installing Homebrew, then your apps, in Terminal…"));
}

// --- login items and manual downloads ---------------------------------------------------------------

bool RestoreModel::isLoginItemSelected(const QString &name) const {
    return m_loginSelection.contains(name);
}

void RestoreModel::setLoginItemSelected(const QString &name, bool on) {
    const qsizetype before = m_loginSelection.size();
    if (on)
        m_loginSelection.insert(name);
    else
        m_loginSelection.remove(name);
    if (m_loginSelection.size() != before)
        Q_EMIT planChanged();
}

LoginItemState RestoreModel::loginItemState(const QString &name) const {
    if (m_currentLoginSet.contains(name))
        return LoginItemState::alreadySet;
    if (m_installedAppPaths.contains(name))
        return LoginItemState::willAdd;
    return LoginItemState::needsApp;
}

QString RestoreModel::loginItemStateText(const QString &name) const {
    return toText(loginItemState(name));
}

void RestoreModel::applyLoginItems() {
    qsizetype added = 0;
    qsizetype alreadySet = 0;
    qsizetype missing = 0;
    const QString osascript = m_engine.fileManager().resolve(tools::systemEvents::osascriptPath);
    const QStringList names = m_manifest ? m_manifest->legacyLoginItems : QStringList();
    for (const QString &name : names) {
        if (!m_loginSelection.contains(name))
            continue;
        if (m_currentLoginSet.contains(name)) {
            ++alreadySet;
        } else if (const auto it = m_installedAppPaths.constFind(name); it != m_installedAppPaths.cend()) {
            // Whether System Events took it shows in the list read afterwards, not in this output.
            runCommand(osascript, tools::systemEvents::makeLoginItemArguments(*it, name));
            ++added;
        } else {
            ++missing;
        }
    }
    m_currentLoginSet = readCurrentLoginItems();
    Q_EMIT planChanged();
    setLoginStatus(QStringLiteral("Added ") + number(added) + QStringLiteral(" · already set ") +
                   number(alreadySet) + QStringLiteral(" · app not installed yet ") + number(missing));
}

QString RestoreModel::manualURL(const AppRecord &app) const {
    return m_manualURLs.value(app.path);
}

void RestoreModel::setManualURL(const AppRecord &app, const QString &text) {
    // The field keeps what was typed; the store keeps it trimmed (or forgets it when blank).
    const auto it = m_manualURLs.constFind(app.path);
    const bool changed = it == m_manualURLs.cend() || *it != text;
    m_manualURLs.insert(app.path, text);
    syncing::ManualURLStore::setURL(text, app.bundleId, app.name);
    if (changed)
        Q_EMIT planChanged();
}

void RestoreModel::findDownload(const AppRecord &app) const {
    // Everything but the unreserved characters is escaped, so a "+" or "&" in a name stays part of
    // the phrase and a space travels as %20.
    const QByteArray phrase = QUrl::toPercentEncoding(app.name + QStringLiteral(" mac app download"));
    const QUrl search = inventory::endpointAddress(m_engine.endpoints().webSearch,
                                                   QStringLiteral("/?q=") + QString::fromLatin1(phrase));
    if (search.isValid())
        QDesktopServices::openUrl(search);
}

void RestoreModel::openDownload(const QString &link) const {
    const QString trimmed = link.trimmed();
    if (trimmed.isEmpty())
        return;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid())
        return;
    if (!url.scheme().isEmpty()) {
        QDesktopServices::openUrl(url);
        return;
    }
    const QUrl secure(QStringLiteral("https://") + trimmed, QUrl::StrictMode);
    QDesktopServices::openUrl(secure.isValid() ? secure : url);
}

// --- rows by path -----------------------------------------------------------------------------------

std::optional<AppRecord> RestoreModel::appWithPath(const QString &path) const {
    if (!m_manifest)
        return std::nullopt;
    for (const AppRecord &app : m_manifest->apps) {
        if (app.path == path)
            return app;
    }
    return std::nullopt;
}

bool RestoreModel::isSelectedPath(const QString &path) const {
    return m_selected.contains(path);
}

void RestoreModel::setSelectedPath(const QString &path, bool on) {
    if (const auto app = appWithPath(path); app && app->source != AppSource::apple)
        setSelected(*app, on);
}

void RestoreModel::selectAllSource(int source) {
    if (const auto which = sourceFromInt(source))
        selectAll(appsWithSource(*which));
}

void RestoreModel::selectNoneSource(int source) {
    if (const auto which = sourceFromInt(source))
        selectNone(appsWithSource(*which));
}

QString RestoreModel::manualURLForPath(const QString &path) const {
    return m_manualURLs.value(path);
}

void RestoreModel::setManualURLForPath(const QString &path, const QString &text) {
    if (const auto app = appWithPath(path))
        setManualURL(*app, text);
}

void RestoreModel::findDownloadForPath(const QString &path) const {
    if (const auto app = appWithPath(path))
        findDownload(*app);
}

void RestoreModel::startLoad() {
    loadFromCloud();
}

} // namespace restore
