// How long the program takes from process start to the first frame of its panel, and how much memory
// it holds once idle, each beside a minimal Qt Quick window measured the same way in the same run.
// Runs the two in turn, several times each, as separate processes (the program's own start-up code,
// the same that app/main.cpp runs), and prints the medians and their ratios. Exits with status 1 when
// the start-up ratio is above the goal.
//   bench_startup [RUNS]
// It uses the platform given by QT_QPA_PLATFORM (offscreen when none is set), and settings in a
// temporary folder, so it never touches the user's own.

#include "platform/userdefaults.h"
#include "sync/secretstore.h"
#include "ui/appshell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickView>
#include <QQuickWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr double goal = 1.5;
constexpr int idleMilliseconds = 1500;

using Clock = std::chrono::steady_clock;

qint64 nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Resident memory of this process in KiB; 0 where the system does not say.
qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Once the window has shown its first frame: report when, wait until the process has settled, report
// the memory it holds, and end.
void reportFirstFrame(QQuickWindow *window) {
    auto reported = std::make_shared<bool>(false);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [reported] {
        if (*reported)
            return;
        *reported = true;
        std::printf("first-frame %lld\n", static_cast<long long>(nowNanoseconds()));
        std::fflush(stdout);
        QTimer::singleShot(idleMilliseconds, [] {
            std::printf("resident-kib %lld\n", static_cast<long long>(residentKiB()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    });
}

int runProgram(int argc, char *argv[]) {
    QApplication app(argc, argv);
    platform::setApplicationIdentity();
    ui::AppShell::prepareApplication();
    // As the program itself starts: this Mac, and the machine's own secret store.
    ui::AppShell::Options options;
    options.secrets = syncing::makeSecretStore();
    ui::AppShell shell(std::move(options));
    shell.start();
    // Where the desktop has a status area the panel waits for a click; open it as that click would.
    if (!shell.panel())
        shell.showPanel();
    reportFirstFrame(shell.panel());
    return QApplication::exec();
}

int runMinimal(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    QQmlEngine engine;
    QQuickView view(&engine, nullptr);
    QQmlComponent component(&engine);
    component.setData("import QtQuick\n"
                      "Rectangle { width: 340; height: 300; color: \"white\"\n"
                      "    Text { anchors.centerIn: parent; text: \"Hello\" } }\n",
                      QUrl());
    view.setContent(QUrl(), &component, component.create());
    view.show();
    reportFirstFrame(&view);
    return QGuiApplication::exec();
}

struct Sample {
    double startMilliseconds = 0;
    qint64 residentKiB = 0;
};

std::optional<Sample> measure(const QString &mode, const QProcessEnvironment &environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 started = nowNanoseconds();
    process.start(QCoreApplication::applicationFilePath(), {mode});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    Sample sample;
    bool framed = false;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("first-frame ")) {
            sample.startMilliseconds = double(line.mid(12).toLongLong() - started) / 1e6;
            framed = true;
        } else if (line.startsWith("resident-kib ")) {
            sample.residentKiB = line.mid(13).toLongLong();
        }
    }
    if (!framed)
        return std::nullopt;
    return sample;
}

template <class T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

int runBenchmark(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 9;

    QTemporaryDir settingsHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settingsHome.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), settingsHome.path());

    std::vector<double> programStart, minimalStart;
    std::vector<qint64> programMemory, minimalMemory;
    // One warm-up of each, so neither pays alone for a cold disk cache.
    for (int i = -1; i < runs; ++i) {
        const auto program = measure(QStringLiteral("--program"), environment);
        const auto minimal = measure(QStringLiteral("--minimal"), environment);
        if (!program || !minimal) {
            std::fprintf(stderr, "bench_startup: a %s run did not show its first frame\n",
                         program ? "minimal window" : "program");
            return 2;
        }
        if (i < 0)
            continue;
        programStart.push_back(program->startMilliseconds);
        minimalStart.push_back(minimal->startMilliseconds);
        programMemory.push_back(program->residentKiB);
        minimalMemory.push_back(minimal->residentKiB);
    }

    const double program = median(programStart);
    const double minimal = median(minimalStart);
    const double startRatio = program / minimal;
    std::printf("start to first frame (median of %d): panel %.1f ms, minimal Qt Quick window %.1f ms, "
                "ratio %.2f (goal <= %.1f)\n",
                runs, program, minimal, startRatio, goal);
    const qint64 programKiB = median(programMemory);
    const qint64 minimalKiB = median(minimalMemory);
    if (programKiB > 0 && minimalKiB > 0) {
        std::printf("resident memory once idle (median): program %.1f MiB, minimal Qt Quick window %.1f MiB, "
                    "ratio %.2f\n",
                    programKiB / 1024.0, minimalKiB / 1024.0, double(programKiB) / double(minimalKiB));
    } else {
        std::printf("resident memory: not reported by this system\n");
    }
    return startRatio <= goal ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[]) {
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "--program")
        return runProgram(argc, argv);
    if (mode == "--minimal")
        return runMinimal(argc, argv);
    return runBenchmark(argc, argv);
}
