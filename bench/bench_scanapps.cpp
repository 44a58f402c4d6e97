// scanApps over a fake Mac of 1,000 bundles, against merely reading the same 1,000 Info.plist files,
// measured side by side in one run. Then the whole offline scan of that Mac for a home that also holds
// 300 editor extensions, 200 global npm packages and 500 fonts, against the same scan for a home
// without them. Prints the medians and ratios; exits with status 1 when a ratio is above its goal.
//   bench_scanapps [REPETITIONS]

#include "benchsupport.h"
#include "inventory/inventoryengine.h"
#include "platform/userdefaults.h"
#include "support/fakemac.h"
#include "sync/manualurlstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using bench::fail;
using bench::interleaved;
using bench::median;
using bench::writeFile;

constexpr int bundleCount = 1000;
constexpr double goal = 3.0;
constexpr int extensionCount = 300;
constexpr int npmCount = 200;
constexpr int fontCount = 500;
constexpr double extrasGoal = 1.2;

// About what a real application declares: identity, versions, a feed, document types, URL schemes
// and a handful of flags, some 2 KB in XML.
QVariantMap infoFor(int i) {
    const QString n = QString::number(i);
    QVariantMap info;
    info.insert(QStringLiteral("CFBundleIdentifier"),
                i % 50 == 0 ? QStringLiteral("com.apple.app") + n : QStringLiteral("com.example.app") + n);
    info.insert(QStringLiteral("CFBundleName"), QStringLiteral("App ") + n);
    info.insert(QStringLiteral("CFBundleDisplayName"), QStringLiteral("App ") + n);
    info.insert(QStringLiteral("CFBundleExecutable"), QStringLiteral("App") + n);
    info.insert(QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL"));
    info.insert(QStringLiteral("CFBundleShortVersionString"), QStringLiteral("%1.%2").arg(i % 7).arg(i % 13));
    info.insert(QStringLiteral("CFBundleVersion"), QString::number(1000 + i));
    info.insert(QStringLiteral("CFBundleInfoDictionaryVersion"), QStringLiteral("6.0"));
    info.insert(QStringLiteral("CFBundleDevelopmentRegion"), QStringLiteral("en"));
    info.insert(QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon"));
    info.insert(QStringLiteral("LSMinimumSystemVersion"), QStringLiteral("11.0"));
    info.insert(QStringLiteral("LSApplicationCategoryType"),
                QStringLiteral("public.app-category.productivity"));
    info.insert(QStringLiteral("NSHighResolutionCapable"), true);
    info.insert(QStringLiteral("NSPrincipalClass"), QStringLiteral("NSApplication"));
    info.insert(QStringLiteral("NSHumanReadableCopyright"), QStringLiteral("Copyright \u00a9 2024 Example"));
    info.insert(QStringLiteral("NSAppleEventsUsageDescription"),
                QStringLiteral("App %1 needs to control other applications to do its work.").arg(n));
    if (i % 4 == 0)
        info.insert(QStringLiteral("LSUIElement"), i % 8 == 0 ? QVariant(true) : QVariant(1));
    if (i % 3 == 0)
        info.insert(QStringLiteral("SUFeedURL"),
                    QStringLiteral("https://example.com/app%1/appcast.xml").arg(n));
    QVariantList documentTypes;
    for (int d = 0; d < 3; ++d) {
        documentTypes.append(QVariantMap{
            {QStringLiteral("CFBundleTypeName"), QStringLiteral("Document %1").arg(d)},
            {QStringLiteral("CFBundleTypeRole"), QStringLiteral("Editor")},
            {QStringLiteral("LSHandlerRank"), QStringLiteral("Default")},
            {QStringLiteral("LSItemContentTypes"),
             QVariantList{QStringLiteral("com.example.doc%1").arg(d), QStringLiteral("public.data")}}});
    }
    info.insert(QStringLiteral("CFBundleDocumentTypes"), documentTypes);
    info.insert(QStringLiteral("CFBundleURLTypes"),
                QVariantList{QVariantMap{
                    {QStringLiteral("CFBundleURLName"), QStringLiteral("com.example.app") + n},
                    {QStringLiteral("CFBundleURLSchemes"), QVariantList{QStringLiteral("app") + n}}}});
    return info;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    // Settings in a scratch folder, holding a few remembered links as a real Mac would.
    const bench::ScratchSettings settings;
    QTemporaryDir macDir;
    if (!macDir.isValid())
        fail(QStringLiteral("no temporary folder"));
    for (int i = 0; i < 20; ++i) {
        const auto stored =
            syncing::ManualURLStore::setURL(QStringLiteral("https://example.com/download/%1").arg(i * 37),
                                            QStringLiteral("com.example.app%1").arg(i * 37), QString());
        if (!stored)
            fail(stored.message());
    }

    // 1,000 bundles over the three user-visible folders, half with binary Info.plists.
    const QString root = macDir.path();
    const QString home = QStringLiteral("/Users/me");
    const QStringList folders{QStringLiteral("/Applications"), QStringLiteral("/Applications/Utilities"),
                              home + QStringLiteral("/Applications")};
    QStringList plistFiles;
    for (int i = 0; i < bundleCount; ++i) {
        const QString bundle = root + folders.at(i % 10 == 0 ? 1 : (i % 10 == 1 ? 2 : 0)) +
                               QStringLiteral("/App %1.app").arg(i, 4, 10, QLatin1Char('0'));
        const QString plist = bundle + QStringLiteral("/Contents/Info.plist");
        writeFile(plist, FakeMac::encodePlist(infoFor(i), i % 2 ? FakeMac::PlistFormat::binary
                                                                : FakeMac::PlistFormat::xml));
        if (i % 10 == 5)
            writeFile(bundle + QStringLiteral("/Contents/_MASReceipt/receipt"), QByteArrayLiteral("receipt"));
        plistFiles.append(plist);
    }

    // A second home that shares the first one's applications and adds the other kinds: extensions
    // with their registry, npm packages (a tenth scoped) under the prefix its .npmrc names, fonts.
    const QString extrasHome = QStringLiteral("/Users/extras");
    if (!QDir().mkpath(root + extrasHome) ||
        !QFile::link(root + home + QStringLiteral("/Applications"),
                     root + extrasHome + QStringLiteral("/Applications")))
        fail(QStringLiteral("cannot make the second home"));
    QByteArray registry = "[";
    for (int i = 0; i < extensionCount; ++i) {
        const QString id = QStringLiteral("publisher%1.extension-%1").arg(i);
        writeFile(root + extrasHome +
                      QStringLiteral("/.vscode/extensions/%1-1.%2.0/package.json").arg(id).arg(i),
                  QByteArrayLiteral("{}"));
        registry += (i ? "," : "") +
                    QStringLiteral(
                        R"({"identifier":{"id":"%1","uuid":"%2"},"version":"1.%3.0",)"
                        R"("relativeLocation":"%1-1.%3.0","metadata":{"installedTimestamp":1700000000000}})")
                        .arg(id, QUuid::createUuid().toString(QUuid::WithoutBraces))
                        .arg(i)
                        .toUtf8();
    }
    writeFile(root + extrasHome + QStringLiteral("/.vscode/extensions/extensions.json"), registry + "]");
    writeFile(root + extrasHome + QStringLiteral("/.npmrc"), QByteArrayLiteral("prefix=~/.npm-global\n"));
    for (int i = 0; i < npmCount; ++i) {
        const QString name =
            i % 10 == 0 ? QStringLiteral("@scope%1/package%1").arg(i) : QStringLiteral("package%1").arg(i);
        writeFile(root + extrasHome +
                      QStringLiteral("/.npm-global/lib/node_modules/%1/package.json").arg(name),
                  QByteArrayLiteral("{}"));
    }
    for (int i = 0; i < fontCount; ++i)
        writeFile(root + extrasHome +
                      QStringLiteral("/Library/Fonts/Font%1-%2.%3")
                          .arg(i / 8)
                          .arg(i % 8)
                          .arg(i % 3 ? QStringLiteral("ttf") : QStringLiteral("otf")),
                  QByteArrayLiteral("font"));

    const inventory::InventoryEngine engine(platform::FileManager(root, home));
    const inventory::InventoryEngine extrasEngine(platform::FileManager(root, extrasHome));
    qint64 sink = 0;
    const auto readPlists = [&] {
        for (const QString &path : plistFiles) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                fail(QStringLiteral("cannot read ") + path);
            sink += file.readAll().size();
        }
    };
    const auto scan = [&] {
        const QList<model::AppRecord> apps = engine.scanApps();
        if (apps.size() != bundleCount)
            fail(QStringLiteral("scanApps found %1 bundles").arg(apps.size()));
        sink += apps.size();
    };
    const auto scanWhole = [&](const inventory::InventoryEngine &scanned, bool extras) {
        const model::Manifest manifest = scanned.scanOffline();
        if (manifest.apps.size() != bundleCount ||
            (extras && (manifest.vscodeExtensions.size() != extensionCount ||
                        manifest.npmPackages.size() != npmCount || manifest.fonts.size() != fontCount)))
            fail(QStringLiteral("the offline scan found %1 bundles, %2 extensions, %3 npm packages, %4 fonts")
                     .arg(manifest.apps.size())
                     .arg(manifest.vscodeExtensions.size())
                     .arg(manifest.npmPackages.size())
                     .arg(manifest.fonts.size()));
        sink += manifest.apps.size() + manifest.fonts.size();
    };
    const auto [readTimes, scanTimes] = interleaved(repetitions, readPlists, scan);
    const auto [plainTimes, extrasTimes] = interleaved(
        repetitions, [&] { scanWhole(engine, false); }, [&] { scanWhole(extrasEngine, true); });

    const double readMedian = median(readTimes);
    const double scanMedian = median(scanTimes);
    const double ratio = scanMedian / readMedian;
    std::printf("bench_scanapps: %d bundles (half binary Info.plists), %d repetitions, interleaved\n",
                bundleCount, repetitions);
    std::printf("  read the Info.plist files: %8.2f ms (median)\n", readMedian);
    std::printf("  scanApps:                  %8.2f ms (median)\n", scanMedian);
    std::printf("  ratio:                     %8.2fx (goal: at most %.0fx)\n", ratio, goal);
    const double plainMedian = median(plainTimes);
    const double extrasMedian = median(extrasTimes);
    const double extrasRatio = extrasMedian / plainMedian;
    std::printf("  offline scan:              %8.2f ms (median)\n", plainMedian);
    std::printf("  the same, %d extensions, %d npm packages, %d fonts in the home: %8.2f ms (median)\n",
                extensionCount, npmCount, fontCount, extrasMedian);
    std::printf("  ratio:                     %8.2fx (goal: at most %.1fx)\n", extrasRatio, extrasGoal);
    if (sink == 0)
        return 2;
    return ratio <= goal && extrasRatio <= extrasGoal ? 0 : 1;
}
