#include "inventory/inventoryengine.h"

#include "inventory/cargocrates.h"
#include "inventory/editorextensions.h"
#include "inventory/fonts.h"
#include "inventory/homebrewcasks.h"
#include "inventory/homebrewrecords.h"
#include "inventory/npmpackages.h"
#include "inventory/uvtools.h"

#include "model/textorder.h"
#include "platform/logging.h"
#include "platform/processrunner.h"
#include "platform/propertylist.h"
#include "platform/utf8.h"
#include "sync/manualurlstore.h"
#include "tools/brew.h"
#include "tools/mdls.h"
#include "tools/sfltool.h"
#include "tools/systemevents.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSysInfo>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace inventory {

using model::AppRecord;
using model::AppSource;

namespace {

struct AppFolder {
    QString path;
    bool isSystem;
};

const QString appSuffix = QStringLiteral(".app");
const QString networkPreferencesPath =
    QStringLiteral("/Library/Preferences/SystemConfiguration/preferences.plist");
const QString systemVersionPath = QStringLiteral("/System/Library/CoreServices/SystemVersion.plist");
QString readOnlyOnTheMac() {
    return QCoreApplication::translate("inventory::InventoryEngine",
                                       "Read only on the Mac itself, not from its disk.");
}

platform::Result<QStringList> loginItemNames(const platform::Result<QString> &output) {
    if (!output)
        return output.failure();
    auto names = tools::systemEvents::parseLoginItemNames(*output);
    if (!names)
        return platform::fail(QCoreApplication::translate(
            "inventory::InventoryEngine", "osascript answered in a form Haulwise can't read."));
    return std::move(*names);
}

std::optional<QString> textValue(const QVariantMap &plist, const QString &key) {
    const QVariant value = plist.value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

// The non-empty text reached through nested dictionaries by `keys`.
std::optional<QString> nestedText(const std::optional<QVariantMap> &plist, const QStringList &keys) {
    if (!plist || keys.isEmpty())
        return std::nullopt;
    QVariantMap level = *plist;
    for (qsizetype i = 0; i + 1 < keys.size(); ++i) {
        const QVariant inner = level.value(keys.at(i));
        if (inner.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
        level = inner.toMap();
    }
    const auto text = textValue(level, keys.constLast());
    if (!text || text->isEmpty())
        return std::nullopt;
    return text;
}

// A property-list boolean, or the number 0 or 1 that older bundles use; the text "1" too.
bool menuBarFlag(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
        return value.toLongLong() == 1;
    case QMetaType::Double:
        return value.toDouble() == 1.0;
    case QMetaType::QString:
        return value.toString() == u'1';
    default:
        return false;
    }
}

} // namespace

platform::ProcessLimits ToolLimits::forTool(const QString &path) const {
    const bool isBrew = QFileInfo(path).fileName() == u"brew";
    return {isBrew ? brew : other, maxOutputBytes};
}

InventoryEngine::InventoryEngine(platform::FileManager fm, Endpoints endpoints, ToolLimits toolLimits)
    : m_fm(std::move(fm))
    , m_endpoints(std::move(endpoints))
    , m_toolLimits(toolLimits) {}

std::optional<QVariantMap> InventoryEngine::readDictionary(const QString &macPath) const {
    // Only a regular file of a sane size: a link to /dev/zero or a named pipe would never end.
    const auto bytes = m_fm.regularFileContents(macPath, maxInfoPlistBytes);
    if (!bytes)
        return std::nullopt;
    const auto plist = platform::parsePropertyList(*bytes);
    if (!plist || plist->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return plist->toMap();
}

std::optional<QString> InventoryEngine::wrappedBundle(const QString &bundlePath) const {
    if (!m_fm.fileExists(bundlePath + QStringLiteral("/WrappedBundle")) ||
        m_fm.fileExists(bundlePath + QStringLiteral("/Contents/Info.plist")))
        return std::nullopt;
    // Found by listing rather than by following the link, which could lead anywhere.
    const QString wrapper = bundlePath + QStringLiteral("/Wrapper");
    for (const QString &entry : m_fm.contentsOfDirectory(wrapper).value_or(QStringList())) {
        if (entry.endsWith(appSuffix))
            return wrapper + u'/' + entry;
    }
    return std::nullopt;
}

std::optional<qint64> InventoryEngine::wrappedStoreId(const QString &bundlePath) const {
    const auto metadata = readDictionary(bundlePath + QStringLiteral("/Wrapper/iTunesMetadata.plist"));
    if (!metadata)
        return std::nullopt;
    const QVariant id = metadata->value(QStringLiteral("itemId"));
    if (id.typeId() != QMetaType::LongLong || id.toLongLong() <= 0)
        return std::nullopt;
    return id.toLongLong();
}

std::optional<QVariantMap> InventoryEngine::readInfoPlist(const QString &bundlePath) const {
    return readDictionary(bundlePath + QStringLiteral("/Contents/Info.plist"));
}

QString InventoryEngine::hostname() const {
    // The Mac's own settings first, also for this machine: the name the network hands out may be
    // "localhost", and the sync service keeps versions by name.
    const auto preferences = readDictionary(networkPreferencesPath);
    if (const auto name =
            nestedText(preferences, {QStringLiteral("System"), QStringLiteral("Network"),
                                     QStringLiteral("HostNames"), QStringLiteral("LocalHostName")}))
        return *name + QStringLiteral(".local");
    if (const auto name = nestedText(preferences, {QStringLiteral("System"), QStringLiteral("System"),
                                                   QStringLiteral("ComputerName")}))
        return *name;
    const QString system = QSysInfo::machineHostName();
    if (system.isEmpty() || system.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
        system.startsWith(QStringLiteral("localhost."), Qt::CaseInsensitive))
        return QStringLiteral("Mac");
    return system;
}

QString InventoryEngine::macosVersion() const {
    const auto plist = readDictionary(systemVersionPath);
    if (const auto version = nestedText(plist, {QStringLiteral("ProductVersion")})) {
        const auto build = nestedText(plist, {QStringLiteral("ProductBuildVersion")});
        return QStringLiteral("Version ") + *version +
               (build ? QStringLiteral(" (Build %1)").arg(*build) : QString());
    }
    return QSysInfo::prettyProductName();
}

QList<AppRecord> InventoryEngine::scanApps() const {
    const AppFolder folders[] = {
        {QStringLiteral("/Applications"), false},
        {QStringLiteral("/Applications/Utilities"), false},
        {m_fm.homeDirectory() + QStringLiteral("/Applications"), false},
        {QStringLiteral("/System/Applications"), true},
    };

    // Only the entries the records are made of are converted; and the remembered links are read
    // once per scan rather than once per bundle, since each read goes through the settings file.
    static const QStringList infoKeys{
        QStringLiteral("CFBundleIdentifier"), QStringLiteral("CFBundleShortVersionString"),
        QStringLiteral("CFBundleVersion"),    QStringLiteral("LSUIElement"),
        QStringLiteral("SUFeedURL"),          QStringLiteral("CFBundleDisplayName")};
    const syncing::LinkMap links = syncing::ManualURLStore::allURLs();

    QList<AppRecord> apps;
    QSet<QString> taken;
    for (const AppFolder &folder : folders) {
        const auto entries = m_fm.contentsOfDirectory(folder.path);
        if (!entries)
            continue;
        for (const QString &entry : *entries) {
            if (!entry.endsWith(appSuffix))
                continue;
            const QString path = folder.path + u'/' + entry;
            if (taken.contains(path))
                continue;
            taken.insert(path);

            AppRecord app;
            app.name = entry.chopped(appSuffix.size());
            app.path = path;
            // An iPhone or iPad app on Apple silicon keeps its real bundle, with a flat Info.plist,
            // under Wrapper/; the outer bundle has no Info.plist of its own.
            const auto wrapped = wrappedBundle(path);
            const QString infoPath = wrapped ? *wrapped + QStringLiteral("/Info.plist")
                                             : path + QStringLiteral("/Contents/Info.plist");
            const auto bytes = m_fm.regularFileContents(infoPath, maxInfoPlistBytes);
            const QVariantMap plist =
                (bytes ? platform::parsePropertyListEntries(*bytes, infoKeys) : std::nullopt)
                    .value_or(QVariantMap());
            app.bundleId = textValue(plist, QStringLiteral("CFBundleIdentifier"));
            app.version = textValue(plist, QStringLiteral("CFBundleShortVersionString"));
            if (!app.version)
                app.version = textValue(plist, QStringLiteral("CFBundleVersion"));
            app.isMenuBarApp = menuBarFlag(plist.value(QStringLiteral("LSUIElement")));

            if (wrapped) {
                if (const auto name = textValue(plist, QStringLiteral("CFBundleDisplayName"));
                    name && !name->isEmpty())
                    app.name = *name;
                // The App Store cannot be asked to install these from the command line, so they stay
                // downloads by hand, from their store page when its id is known.
                app.source = AppSource::manual;
                app.appStoreId = wrappedStoreId(path);
            } else if (folder.isSystem) {
                app.source = AppSource::apple;
            } else if (m_fm.fileExists(path + QStringLiteral("/Contents/_MASReceipt/receipt"))) {
                // Apple's own store apps (Xcode, Keynote…) live here too and come back from the store.
                app.source = AppSource::appStore;
            } else if (app.bundleId && app.bundleId->startsWith(QStringLiteral("com.apple."))) {
                app.source = AppSource::apple;
            } else {
                app.source = AppSource::manual;
            }

            const auto link = links.constFind(syncing::ManualURLStore::linkKey(app.bundleId, app.name));
            app.downloadURL = link != links.cend() ? *link : textValue(plist, QStringLiteral("SUFeedURL"));
            if (link == links.cend() && wrapped && app.appStoreId)
                app.downloadURL = QStringLiteral("https://apps.apple.com/app/id%1").arg(*app.appStoreId);
            apps.append(std::move(app));
        }
    }

    // Sort by precomputed keys; stable, so equal names keep folder order, then listing order.
    QList<std::pair<model::TextOrderKey, qsizetype>> order;
    order.reserve(apps.size());
    for (qsizetype i = 0; i < apps.size(); ++i)
        order.append({model::caseInsensitiveOrderKey(apps.at(i).name), i});
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<AppRecord> sorted;
    sorted.reserve(apps.size());
    for (const auto &entry : order)
        sorted.append(std::move(apps[entry.second]));
    return sorted;
}

namespace {

platform::Result<QString> runToolAt(const QString &local, const QString &executable,
                                    const QStringList &arguments, const platform::ProcessLimits &limits,
                                    InventoryEngine::ExitStatus exitStatus) {
    const QString tool = QFileInfo(executable).fileName();
    const platform::ProcessOutput result =
        platform::ProcessRunner::run(local, arguments, platform::ProcessRunner::ErrorOutput::keep, limits);
    if (!result.started()) {
        if (!QFileInfo::exists(local))
            return platform::fail(QCoreApplication::translate("inventory::InventoryEngine",
                                                              "Couldn't run %1: it isn't on this Mac.")
                                      .arg(executable));
        return platform::fail(QCoreApplication::translate("inventory::InventoryEngine", "Couldn't run %1: %2")
                                  .arg(executable, result.error));
    }
    if (result.end == platform::ProcessOutput::End::stopped) {
        // The scan goes on without what this tool would have said; the log keeps why.
        qCWarning(platform::lcHaulwise, "%s", qUtf8Printable(result.error));
        return platform::fail(result.error);
    }
    if (exitStatus == InventoryEngine::ExitStatus::ignored) {
        // Some tools print what they have and then fail for a part that does not matter here.
    } else if (result.crashed)
        return platform::fail(
            QCoreApplication::translate("inventory::InventoryEngine", "%1 was killed before it finished.")
                .arg(tool));
    else if (result.exitCode != 0) {
        const QString errors = QString::fromUtf8(result.errors);
        if (const auto refusal = tools::systemEvents::refusalReason(errors))
            return platform::fail(*refusal);
        const QString said = errors.trimmed().section(u'\n', 0, 0).trimmed();
        return platform::fail(
            said.isEmpty()
                ? QCoreApplication::translate("inventory::InventoryEngine", "%1 failed (exit status %2).")
                      .arg(tool)
                      .arg(result.exitCode)
                : QCoreApplication::translate("inventory::InventoryEngine", "%1 failed: %2").arg(tool, said));
    }
    // The output is taken unchanged, so a leading byte order mark stays.
    platform::Result<QString> text = platform::decodeUtf8(result.output, platform::Bom::keep);
    if (!text)
        return platform::fail(QCoreApplication::translate("inventory::InventoryEngine",
                                                          "%1 printed something that is not UTF-8 text.")
                                  .arg(executable));
    return text;
}

} // namespace

platform::Result<QString> InventoryEngine::runTool(const QString &executable, const QStringList &arguments,
                                                   ExitStatus exitStatus) const {
    return runTool(executable, arguments, m_toolLimits.forTool(executable), exitStatus);
}

platform::Result<QString> InventoryEngine::runTool(const QString &executable, const QStringList &arguments,
                                                   const platform::ProcessLimits &limits,
                                                   ExitStatus exitStatus) const {
    const auto local = m_fm.toolOfThatMac(executable);
    if (!local)
        return platform::fail(readOnlyOnTheMac());
    return runToolAt(*local, executable, arguments, limits, exitStatus);
}

platform::Result<QString> InventoryEngine::runToolOfThisMac(const QString &executable,
                                                            const QStringList &arguments) const {
    return runToolAt(m_fm.toolOfThisMac(executable), executable, arguments, m_toolLimits.forTool(executable),
                     ExitStatus::counts);
}

std::optional<QString> InventoryEngine::brewPath() const {
    // Only a Homebrew that can run counts, on the old Mac as on the new one.
    for (const QString &location : tools::brew::locations) {
        if (m_fm.isExecutableFile(location))
            return location;
    }
    return std::nullopt;
}

std::optional<QString> InventoryEngine::ownBrewPath() const {
    if (!m_fm.hasRoot() || m_fm.trustsRootTools()) {
        const auto brew = brewPath();
        return brew ? std::optional(m_fm.resolve(*brew)) : std::nullopt;
    }
    for (const QString &location : tools::brew::locations) {
        if (platform::FileManager().isExecutableFile(location))
            return location;
    }
    return std::nullopt;
}

QSet<QString> InventoryEngine::installedCasks() const {
    QSet<QString> tokens;
    for (const QString &prefix : homebrew::prefixes) {
        for (const QString &token : homebrew::readCaskTokens(m_fm, prefix))
            tokens.insert(token);
    }
    return tokens;
}

std::optional<qint64>
InventoryEngine::spotlightAppStoreId(const QString &bundlePath,
                                     std::optional<std::chrono::milliseconds> within) const {
    platform::ProcessLimits limits = m_toolLimits.forTool(tools::mdls::path);
    if (within)
        limits.deadline = std::min(limits.deadline, *within);
    const auto output = runTool(tools::mdls::path, tools::mdls::appStoreIdArguments(bundlePath), limits);
    return output ? tools::mdls::parseAppStoreId(*output) : std::nullopt;
}

platform::Result<QStringList> InventoryEngine::readLegacyLoginItems() const {
    return loginItemNames(runTool(tools::systemEvents::osascriptPath,
                                  tools::systemEvents::listLoginItemsArguments(), ExitStatus::counts));
}

platform::Result<QStringList> InventoryEngine::readOwnLoginItems() const {
    return loginItemNames(
        runToolOfThisMac(tools::systemEvents::osascriptPath, tools::systemEvents::listLoginItemsArguments()));
}

qint64 InventoryEngine::userIdOfTheMac() const {
    // The owner of the home folder: on this machine the user running the scan, on a sample Mac the
    // user its records were written for.
    struct stat st;
    if (::stat(QFile::encodeName(m_fm.resolve(m_fm.homeDirectory())).constData(), &st) == 0)
        return st.st_uid;
    return ::getuid();
}

platform::Result<QList<model::BackgroundItem>> InventoryEngine::readBackgroundItems() const {
    const auto output = runTool(tools::sfltool::path, tools::sfltool::dumpArguments(), ExitStatus::counts);
    if (!output)
        return output.failure();
    return tools::sfltool::parseBackgroundItems(*output, userIdOfTheMac());
}

model::Manifest InventoryEngine::assembleManifest(QList<AppRecord> apps) const {
    return completeManifest(readManifestWithoutApps(), std::move(apps));
}

model::Manifest InventoryEngine::completeManifest(model::Manifest manifest, QList<AppRecord> apps) {
    manifest.apps = std::move(apps);
    manifest.generatedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    return manifest;
}

model::Manifest InventoryEngine::readManifestWithoutApps() const {
    model::Manifest manifest;
    manifest.hostname = hostname();
    manifest.macosVersion = macosVersion();
    if (auto loginItems = readLegacyLoginItems())
        manifest.legacyLoginItems = std::move(*loginItems);
    else
        manifest.unread.insert(QStringLiteral("legacyLoginItems"), loginItems.message());
    if (auto backgroundItems = readBackgroundItems())
        manifest.backgroundItems = std::move(*backgroundItems);
    else
        manifest.unread.insert(QStringLiteral("backgroundItems"), backgroundItems.message());
    homebrew::HomebrewRecords brew = homebrew::readHomebrewRecords(m_fm);
    manifest.brewFormulae = std::move(brew.formulae);
    manifest.brewTaps = std::move(brew.taps);
    manifest.brewCasks = std::move(brew.casks);
    manifest.brewTapRemotes = std::move(brew.tapRemotes);
    manifest.vscodeExtensions = editorExtensions::read(m_fm);
    manifest.npmPackages = npmPackages::read(m_fm);
    manifest.cargoCrates = cargoCrates::read(m_fm);
    manifest.uvTools = uvTools::read(m_fm);
    manifest.fonts = fonts::read(m_fm);
    manifest.schemaVersion = 1;
    return manifest;
}

model::Manifest InventoryEngine::scanOffline() const {
    return assembleManifest(scanApps());
}

} // namespace inventory
