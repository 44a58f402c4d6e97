#include "inventory/inventoryengine.h"

#include "inventory/homebrewcasks.h"
#include "inventory/homebrewrecords.h"

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
#include <QFileInfo>
#include <QSet>
#include <QSysInfo>

#include <algorithm>

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

std::optional<QVariantMap> InventoryEngine::readInfoPlist(const QString &bundlePath) const {
    return readDictionary(bundlePath + QStringLiteral("/Contents/Info.plist"));
}

QString InventoryEngine::hostname() const {
    if (m_fm.hasRoot()) {
        const auto name = nestedText(readDictionary(networkPreferencesPath),
                                     {QStringLiteral("System"), QStringLiteral("Network"),
                                      QStringLiteral("HostNames"), QStringLiteral("LocalHostName")});
        if (name)
            return *name + QStringLiteral(".local");
    }
    return QSysInfo::machineHostName();
}

QString InventoryEngine::macosVersion() const {
    if (m_fm.hasRoot()) {
        const auto plist = readDictionary(systemVersionPath);
        if (const auto version = nestedText(plist, {QStringLiteral("ProductVersion")})) {
            const auto build = nestedText(plist, {QStringLiteral("ProductBuildVersion")});
            return QStringLiteral("Version ") + *version +
                   (build ? QStringLiteral(" (Build %1)").arg(*build) : QString());
        }
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
        QStringLiteral("CFBundleVersion"), QStringLiteral("LSUIElement"), QStringLiteral("SUFeedURL")};
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
            const auto bytes =
                m_fm.regularFileContents(path + QStringLiteral("/Contents/Info.plist"), maxInfoPlistBytes);
            const QVariantMap plist =
                (bytes ? platform::parsePropertyListEntries(*bytes, infoKeys) : std::nullopt)
                    .value_or(QVariantMap());
            app.bundleId = textValue(plist, QStringLiteral("CFBundleIdentifier"));
            app.version = textValue(plist, QStringLiteral("CFBundleShortVersionString"));
            if (!app.version)
                app.version = textValue(plist, QStringLiteral("CFBundleVersion"));
            app.isMenuBarApp = menuBarFlag(plist.value(QStringLiteral("LSUIElement")));

            if ((app.bundleId && app.bundleId->startsWith(QStringLiteral("com.apple."))) || folder.isSystem)
                app.source = AppSource::apple;
            else if (m_fm.fileExists(path + QStringLiteral("/Contents/_MASReceipt/receipt")))
                app.source = AppSource::appStore;
            else
                app.source = AppSource::manual;

            const auto link = links.constFind(syncing::ManualURLStore::linkKey(app.bundleId, app.name));
            app.downloadURL = link != links.cend() ? *link : textValue(plist, QStringLiteral("SUFeedURL"));
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

platform::Result<QString> InventoryEngine::runTool(const QString &executable,
                                                   const QStringList &arguments) const {
    return runTool(executable, arguments, m_toolLimits.forTool(executable));
}

platform::Result<QString> InventoryEngine::runTool(const QString &executable, const QStringList &arguments,
                                                   const platform::ProcessLimits &limits) const {
    const platform::ProcessOutput result = platform::ProcessRunner::run(
        m_fm.resolve(executable), arguments, platform::ProcessRunner::ErrorOutput::discard, limits);
    if (!result.started())
        return platform::fail(QCoreApplication::translate("inventory::InventoryEngine", "Couldn't run %1: %2")
                                  .arg(executable, result.error));
    if (result.end == platform::ProcessOutput::End::stopped) {
        // The scan goes on without what this tool would have said; the log keeps why.
        qCWarning(platform::lcHaulwise, "%s", qUtf8Printable(result.error));
        return platform::fail(result.error);
    }
    // The output is taken unchanged, so a leading byte order mark stays.
    platform::Result<QString> text = platform::decodeUtf8(result.output, platform::Bom::keep);
    if (!text)
        return platform::fail(QCoreApplication::translate("inventory::InventoryEngine",
                                                          "%1 printed something that is not UTF-8 text.")
                                  .arg(executable));
    return text;
}

std::optional<QString> InventoryEngine::brewPath() const {
    // Only a Homebrew that can run counts, on the old Mac as on the new one.
    for (const QString &location : tools::brew::locations) {
        if (m_fm.isExecutableFile(location))
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

QStringList InventoryEngine::readLegacyLoginItems() const {
    const auto output =
        runTool(tools::systemEvents::osascriptPath, tools::systemEvents::listLoginItemsArguments());
    return tools::systemEvents::parseLoginItemNames(output.value_or(QString()));
}

QList<model::BackgroundItem> InventoryEngine::readBackgroundItems() const {
    const auto output = runTool(tools::sfltool::path, tools::sfltool::dumpArguments());
    return tools::sfltool::parseBackgroundItems(output.value_or(QString()));
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
    manifest.legacyLoginItems = readLegacyLoginItems();
    manifest.backgroundItems = readBackgroundItems();
    homebrew::HomebrewRecords brew = homebrew::readHomebrewRecords(m_fm);
    manifest.brewFormulae = std::move(brew.formulae);
    manifest.brewTaps = std::move(brew.taps);
    manifest.brewCasks = std::move(brew.casks);
    manifest.brewTapRemotes = std::move(brew.tapRemotes);
    manifest.schemaVersion = 1;
    return manifest;
}

model::Manifest InventoryEngine::scanOffline() const {
    return assembleManifest(scanApps());
}

} // namespace inventory
