// An online scan of a fake Mac of 500 applications (300 of them in the catalogue, 40 from the App
// Store with ids that a stand-in Spotlight knows, a Homebrew with a Caskroom) against a local server
// serving a generated catalogue of the real one's size, measured side by side in one run with merely
// downloading and parsing that catalogue from the same server. Prints both medians and their ratio;
// exits with status 1 when the ratio is above the goal.
//   bench_onlinescan [REPETITIONS]

#include "benchsupport.h"
#include "generatedcatalogue.h"
#include "inventory/onlinescan.h"
#include "platform/userdefaults.h"
#include "support/fakemac.h"
#include "support/localhttpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QCoroTask>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

using bench::fail;
using bench::interleaved;
using bench::median;
using bench::writeFile;

constexpr int appCount = 500;
constexpr int inCatalogue = 300;
constexpr int fromTheStore = 40;
constexpr double goal = 1.5;

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    const bench::ScratchSettings settings;
    QTemporaryDir macDir;
    if (!macDir.isValid())
        fail(QStringLiteral("no temporary folder"));

    const std::string generated = bench::Generator().catalogue();
    const QByteArray catalogue(generated.data(), static_cast<qsizetype>(generated.size()));
    QStringList catalogueNames = inventory::CaskCatalogue::parse(catalogue).appNames().keys();
    catalogueNames.sort();
    if (catalogueNames.size() < inCatalogue)
        fail(QStringLiteral("the generated catalogue is too small"));

    // The Mac: 300 applications the catalogue lists, 40 from the App Store, the rest installed by hand.
    const QString root = macDir.path();
    const QString home = QStringLiteral("/Users/me");
    for (int i = 0; i < appCount; ++i) {
        const bool store = i >= inCatalogue && i < inCatalogue + fromTheStore;
        const QString name = i < inCatalogue
                                 ? catalogueNames.at(i * (catalogueNames.size() / inCatalogue)).chopped(4)
                             : store ? QStringLiteral("Store %1").arg(i)
                                     : QStringLiteral("Own %1").arg(i);
        const QString bundle = root + QStringLiteral("/Applications/") + name + QStringLiteral(".app");
        const QVariantMap info{
            {QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.app%1").arg(i)},
            {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.%1").arg(i)}};
        writeFile(
            bundle + QStringLiteral("/Contents/Info.plist"),
            FakeMac::encodePlist(info, i % 2 ? FakeMac::PlistFormat::binary : FakeMac::PlistFormat::xml));
        if (store)
            writeFile(bundle + QStringLiteral("/Contents/_MASReceipt/receipt"), QByteArrayLiteral("receipt"));
    }
    writeFile(root + QStringLiteral("/usr/bin/mdls"),
              "#!/bin/sh\ncase $4 in \"/Applications/Store \"*) echo 1234567 ;; *) echo '(null)' ;; esac\n",
              true);
    writeFile(root + QStringLiteral("/opt/homebrew/bin/brew"), "#!/bin/sh\nexit 0\n", true);
    for (int i = 0; i < 20; ++i)
        QDir().mkpath(root + QStringLiteral("/opt/homebrew/Caskroom/cask-%1").arg(i * 7));

    std::atomic<int> lookups = 0;
    LocalHttpServer server([&](const LocalHttpServer::Request &request) {
        if (request.target == "/api/cask.json")
            return LocalHttpServer::json(catalogue);
        ++lookups;
        return LocalHttpServer::json(R"({"resultCount":0,"results":[]})");
    });
    inventory::Endpoints endpoints;
    endpoints.caskCatalogue = server.url();
    endpoints.appStoreLookup = server.url();
    // Its stand-in mdls answers for the store ids, as the real one does on the Mac itself.
    const inventory::InventoryEngine engine(platform::FileManager(root, home, true), endpoints);

    qint64 sink = 0;
    const auto download = [&] {
        const inventory::CaskCatalogue casks = QCoro::waitFor(inventory::loadCaskCatalogue(endpoints));
        if (casks.isEmpty())
            fail(QStringLiteral("the catalogue did not arrive"));
        sink += casks.casks().size();
    };
    const auto scan = [&] {
        const model::Manifest manifest = QCoro::waitFor(inventory::scan(engine, true)).value();
        const auto count = [&](auto test) {
            return std::count_if(manifest.apps.cbegin(), manifest.apps.cend(), test);
        };
        const auto casks = count([](const model::AppRecord &record) { return record.caskToken.has_value(); });
        const auto ids = count([](const model::AppRecord &record) { return record.appStoreId.has_value(); });
        if (manifest.apps.size() != appCount || casks != inCatalogue || ids != fromTheStore)
            fail(QStringLiteral("the scan found %1 applications, %2 casks, %3 store ids")
                     .arg(manifest.apps.size())
                     .arg(casks)
                     .arg(ids));
        sink += manifest.apps.size();
    };
    // What the scan reads of this Mac itself, one step after another; the scan overlaps it with the
    // download, so on an idle machine it hides behind it.
    const auto readMac = [&] {
        const QList<model::AppRecord> apps = engine.scanApps();
        for (const model::AppRecord &record : apps) {
            if (record.source == model::AppSource::appStore)
                sink += engine.spotlightAppStoreId(record.path).value_or(0);
        }
        sink += engine.installedCasks().size() + engine.readManifestWithoutApps().brewFormulae.size();
    };
    const auto [downloadTimes, scanTimes, macTimes] = interleaved(repetitions, download, scan, readMac);
    if (lookups != 0)
        fail(QStringLiteral("the scan asked the lookup service %1 times").arg(lookups.load()));

    const double downloadMedian = median(downloadTimes);
    const double scanMedian = median(scanTimes);
    const double ratio = scanMedian / downloadMedian;
    std::printf("bench_onlinescan: %d applications (%d in the catalogue, %d App Store ids from Spotlight), "
                "%.1f MB catalogue, %d repetitions, interleaved\n",
                appCount, inCatalogue, fromTheStore, static_cast<double>(catalogue.size()) / (1 << 20),
                repetitions);
    std::printf("  download + parse the catalogue: %8.2f ms (median)\n", downloadMedian);
    std::printf("  online scan:                    %8.2f ms (median)\n", scanMedian);
    std::printf("  (this Mac alone, step by step:  %8.2f ms)\n", median(macTimes));
    std::printf("  ratio:                          %8.2fx (goal: at most %.1fx)\n", ratio, goal);
    if (sink == 0)
        return 2;
    return ratio <= goal ? 0 : 1;
}
