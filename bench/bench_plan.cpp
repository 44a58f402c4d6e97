// The restore window rebuilds the plan, Brewfile included, on every redraw. This builds it for
// manifests of 500 and 5,000 applications, all chosen, measured side by side in one run, and prints
// both medians and their ratio. Times are processor time of this process (a busy machine delays a
// run but does not make it cost more); wall-clock medians are printed beside them. Linear growth
// gives a ratio near 10; the sorts and caches that the larger set no longer fits add some. Exits with
// status 1 when 5,000 applications take more than half a frame (8 ms) or grow clearly worse than
// linearly.
//   bench_plan [REPETITIONS]

#include "restore/restoreplan.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

using model::AppRecord;
using model::AppSource;

constexpr double frameBudgetMs = 16.0;
constexpr double goalMs = frameBudgetMs / 2;
constexpr double worstGrowth = 20.0; // for ten times the applications

// A manifest shaped like a well-used Mac: mostly casks and App Store apps, some manual downloads,
// the built-in apps, a formula for every tenth app, a few taps; names with and without accents.
struct Workload {
    model::Manifest manifest;
    QSet<qsizetype> selected;
    restore::InstalledApps installed;
};

Workload makeWorkload(int appCount) {
    Workload w;
    w.manifest.generatedAt = QStringLiteral("2026-12-07T10:00:00Z");
    w.manifest.hostname = QStringLiteral("old-mac");
    w.manifest.macosVersion = QStringLiteral("15.1");
    for (int i = 0; i < appCount; ++i) {
        // Scrambled so the sorts have real work to do.
        const int key = static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % 100000u);
        AppRecord app;
        app.name =
            (i % 7 == 0 ? QStringLiteral("Ünïcode App ") : QStringLiteral("App ")) + QString::number(key);
        app.path = QStringLiteral("/Applications/") + app.name + QStringLiteral(".app");
        app.bundleId = QStringLiteral("com.example.app") + QString::number(i);
        switch (i % 10) {
        case 0:
            app.source = AppSource::apple;
            break;
        case 1:
        case 2:
            app.source = AppSource::manual;
            break;
        case 3:
        case 4:
        case 5:
            app.source = AppSource::appStore;
            if (i % 20 != 3)
                app.appStoreId = 400000000 + key;
            break;
        default:
            app.source = AppSource::cask;
            app.caskToken = QStringLiteral("app-") + QString::number(key);
        }
        if (i % 3 == 0)
            w.installed.bundleIds.insert(*app.bundleId);
        if (i % 11 == 0)
            w.installed.names.insert(app.name);
        if (app.source != AppSource::apple)
            w.selected.insert(w.manifest.apps.size());
        w.manifest.apps.append(app);
        if (i % 10 == 0)
            w.manifest.brewFormulae.append(QStringLiteral("formula-") + QString::number(key));
    }
    w.manifest.brewTaps = {QStringLiteral("homebrew/core"), QStringLiteral("homebrew/cask"),
                           QStringLiteral("acme/tools"), QStringLiteral("acme/fonts")};
    return w;
}

struct Times {
    double cpuMs;
    double wallMs;
};

Times timeOnce(const Workload &w, qsizetype *sink) {
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpuStart = std::clock();
    const restore::RestorePlan plan = restore::RestorePlan::build(w.manifest, w.selected, w.installed);
    const std::clock_t cpuEnd = std::clock();
    const double wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    *sink += plan.brewfile.size() + plan.willInstall.size();
    return {1000.0 * static_cast<double>(cpuEnd - cpuStart) / CLOCKS_PER_SEC, wallMs};
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 41;

    const Workload small = makeWorkload(500);
    const Workload large = makeWorkload(5000);
    qsizetype sink = 0;
    timeOnce(small, &sink); // warm up
    timeOnce(large, &sink);
    QList<double> smallCpu;
    QList<double> largeCpu;
    QList<double> smallWall;
    QList<double> largeWall;
    for (int i = 0; i < repetitions; ++i) {
        const Times s = timeOnce(small, &sink);
        const Times l = timeOnce(large, &sink);
        smallCpu.append(s.cpuMs);
        largeCpu.append(l.cpuMs);
        smallWall.append(s.wallMs);
        largeWall.append(l.wallMs);
    }
    const double smallMs = median(smallCpu);
    const double largeMs = median(largeCpu);
    const double growth = largeMs / smallMs;
    std::printf("plan with Brewfile, all chosen (median of %d; processor time, wall clock in brackets)\n",
                repetitions);
    std::printf("  500 apps:   %8.3f ms  (%.3f ms)\n", smallMs, median(smallWall));
    std::printf("  5,000 apps: %8.3f ms  (%.3f ms)  %.1f%% of a 16 ms frame\n", largeMs, median(largeWall),
                100.0 * largeMs / frameBudgetMs);
    std::printf("  growth for 10x the apps: %.2fx (linear: 10x; at most %.0fx allowed)\n", growth,
                worstGrowth);
    std::printf("  (checksum %lld)\n", static_cast<long long>(sink));
    const bool ok = largeMs < goalMs && growth <= worstGrowth;
    if (!ok)
        std::printf("bench_plan: goal missed (5,000 apps under %.0f ms, growth at most %.0fx)\n", goalMs,
                    worstGrowth);
    return ok ? 0 : 1;
}
