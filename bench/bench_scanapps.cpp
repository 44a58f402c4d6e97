// scanApps over a fake Mac of 1,000 bundles, against merely reading the same 1,000 Info.plist files,
// measured side by side in one run. Prints both medians and their ratio; exits with status 1 when the
// ratio is above the goal.
//   bench_scanapps [REPETITIONS]

#include "benchsupport.h"
#include "inventory/inventoryengine.h"
#include "platform/userdefaults.h"
#include "support/fakemac.h"
#include "sync/manualurlstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using bench::fail;
using bench::median;
using bench::writeFile;

constexpr int bundleCount = 1000;
constexpr double goal = 3.0;

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

    const inventory::InventoryEngine engine(platform::FileManager(root, home));
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
    const auto timed = [](const auto &work) {
        QElapsedTimer timer;
        timer.start();
        work();
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    };

    // One warm-up of each, then alternate so both see the same machine conditions.
    readPlists();
    scan();
    QList<double> readTimes;
    QList<double> scanTimes;
    for (int r = 0; r < repetitions; ++r) {
        readTimes.append(timed(readPlists));
        scanTimes.append(timed(scan));
    }

    const double readMedian = median(readTimes);
    const double scanMedian = median(scanTimes);
    const double ratio = scanMedian / readMedian;
    std::printf("bench_scanapps: %d bundles (half binary Info.plists), %d repetitions, interleaved\n",
                bundleCount, repetitions);
    std::printf("  read the Info.plist files: %8.2f ms (median)\n", readMedian);
    std::printf("  scanApps:                  %8.2f ms (median)\n", scanMedian);
    std::printf("  ratio:                     %8.2fx (goal: at most %.0fx)\n", ratio, goal);
    if (sink == 0)
        return 2;
    return ratio <= goal ? 0 : 1;
}
