// Reading the cask catalogue: a generated catalogue of the real one's shape and size (about 7,500
// casks, about 16 MB), measured side by side in one run:
//   - simdjson's bare validating parse of the bytes (a fresh parser each time, as a one-off reader has
//     it, and a warm parser that is reused),
//   - CaskCatalogue::parse (the same parse, then every application name with all its casks, and the
//     package casks' evidence),
//   - that, and then choosing the cask for every application of the catalogue, as a scan of a Mac
//     holding them all would (with a few of them installed by Homebrew),
//   - QJsonDocument::fromJson of the same bytes.
// Prints medians, ratios to the bare parse with a fresh parser, and the peak memory each one adds
// (measured in a child process of its own, so no reader inherits another's heap). The goal compares
// like with like: CaskCatalogue::parse makes one parser per catalogue, so its yardstick is a parse with a
// fresh parser, which pays for first touching simdjson's buffers (about three times the input). The warm
// row shows what that first touch costs. Exits with status 1 when reading the catalogue and choosing
// for every application takes more than twice the fresh bare parse.
//   bench_catalogue [REPETITIONS]

#include "generatedcatalogue.h"
#include "inventory/caskcatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr double goal = 2.0;
const char *const childOption = "--peak-memory-of";

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "bench_catalogue: %s\n", what);
    std::exit(2);
}

// Peak resident memory and current resident memory of this process, in kB.
qint64 statusKb(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool bareParse(const QByteArray &bytes) {
    simdjson::dom::parser parser;
    return parser.parse(bytes.constData(), static_cast<size_t>(bytes.size())).error() == simdjson::SUCCESS;
}

// The child: reads the file, then reports how far one reader raises the peak above what was resident.
int measurePeak(const QString &kind, const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("child cannot read the catalogue");
    const QByteArray bytes = file.readAll();
    const qint64 before = statusKb("VmRSS");
    qsizetype size = 0;
    if (kind == u"bare") {
        size = bareParse(bytes) ? 1 : 0;
    } else if (kind == u"map") {
        size = inventory::CaskCatalogue::parse(bytes).casks().size();
    } else {
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        size = document.isArray() ? 1 : 0;
    }
    std::printf("%lld %lld\n", static_cast<long long>(statusKb("VmHWM") - before),
                static_cast<long long>(size));
    return 0;
}

double peakMb(const QString &kind, const QString &path) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1StringView(childOption), kind, path});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        fail("the memory child failed");
    return static_cast<double>(child.readAllStandardOutput().split(' ').value(0).toLongLong()) / 1024.0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments.at(1) == QLatin1StringView(childOption))
        return measurePeak(arguments.at(2), arguments.at(3));
    const int repetitions = arguments.size() > 1 ? std::max(3, arguments.at(1).toInt()) : 15;

    const std::string generated = bench::Generator().catalogue();
    const QByteArray bytes(generated.data(), static_cast<qsizetype>(generated.size()));
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("cask.json"));
    QFile file(path);
    if (!scratch.isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail("cannot write the generated catalogue");
    file.close();

    const inventory::CaskCatalogue catalogue = inventory::CaskCatalogue::parse(bytes);
    const QHash<QString, QStringList> names = catalogue.appNames();
    if (names.isEmpty() || !bareParse(bytes) || !QJsonDocument::fromJson(bytes).isArray())
        fail("the generated catalogue does not read back");
    // The applications of a Mac that has them all, and a Homebrew that installed one cask in fifty:
    // those the catalogue lists by name, those that package casks uninstall, and as many again under
    // a name of their own that only their bundle identifiers give away.
    QList<std::pair<QString, std::optional<QString>>> apps;
    inventory::InstalledCasks installed;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        apps.append({it.key().chopped(4), std::nullopt});
        if (apps.size() % 50 == 0)
            installed.insert(it.value().constLast());
    }
    const QStringList packageNames = catalogue.packageAppNames().keys();
    for (const QString &name : packageNames)
        apps.append({name.chopped(4), std::nullopt});
    const QStringList bundleIds = catalogue.packageBundleIds().keys();
    for (qsizetype i = 0; i < packageNames.size() && i < bundleIds.size(); ++i)
        apps.append({QStringLiteral("Renamed %1").arg(i), bundleIds.at(i)});
    qsizetype competing = 0;
    for (const QStringList &tokens : names)
        competing += tokens.size() > 1 ? 1 : 0;
    std::printf("catalogue: %d casks, %.1f MB, %lld application names (%lld with several casks), %lld more "
                "apps found by package evidence; %d repetitions, medians\n",
                bench::caskCount, static_cast<double>(bytes.size()) / (1 << 20),
                static_cast<long long>(names.size()), static_cast<long long>(competing),
                static_cast<long long>(apps.size() - names.size()), repetitions);

    std::vector<double> bareFresh, bareWarm, mapped, chosen, qt;
    simdjson::dom::parser warm;
    for (int i = 0; i < repetitions; ++i) {
        // Interleaved, so drifts of the machine fall on every reader alike.
        QElapsedTimer timer;
        timer.start();
        if (!bareParse(bytes))
            fail("bare parse failed");
        bareFresh.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        if (warm.parse(bytes.constData(), static_cast<size_t>(bytes.size())).error() != simdjson::SUCCESS)
            fail("warm parse failed");
        bareWarm.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        {
            const inventory::CaskCatalogue result = inventory::CaskCatalogue::parse(bytes);
            mapped.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (result.casks().size() != catalogue.casks().size())
                fail("the catalogue changed between runs");
        }

        timer.restart();
        {
            const inventory::CaskCatalogue result = inventory::CaskCatalogue::parse(bytes);
            qsizetype matched = 0;
            for (const auto &[name, bundleId] : apps)
                matched += result.caskFor(name, bundleId, installed) ? 1 : 0;
            chosen.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (matched != apps.size())
                fail("an application did not find its cask");
        }

        timer.restart();
        {
            const QJsonDocument document = QJsonDocument::fromJson(bytes);
            qt.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (!document.isArray())
                fail("QJsonDocument failed");
        }
    }

    const double fresh = median(bareFresh);
    const double rows[] = {fresh, median(bareWarm), median(mapped), median(chosen), median(qt)};
    const char *const labels[] = {"simdjson parse (fresh parser)", "simdjson parse (warm parser)",
                                  "CaskCatalogue::parse", "parse + choose for every app",
                                  "QJsonDocument::fromJson"};
    const char *const kinds[] = {"bare", nullptr, "map", nullptr, "qjson"};
    std::printf("%-34s %10s %8s %12s\n", "reader", "median", "ratio", "peak added");
    for (int i = 0; i < 5; ++i) {
        std::printf("%-34s %8.2f ms %7.2fx", labels[i], rows[i], rows[i] / fresh);
        if (kinds[i])
            std::printf(" %9.1f MB\n", peakMb(QLatin1StringView(kinds[i]), path));
        else
            std::printf(" %12s\n", "-");
    }
    const double ratio = rows[3] / fresh;
    std::printf("parse + choose against the warm parse: %.2fx\n", rows[3] / rows[1]);
    std::printf("goal: parse + choose at most %.1fx the fresh bare parse: %.2fx, %s\n", goal, ratio,
                ratio <= goal ? "met" : "NOT met");
    return ratio <= goal ? 0 : 1;
}
