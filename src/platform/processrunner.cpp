#include "platform/processrunner.h"

#include "platform/network.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <atomic>

#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<bool> shuttingDown{false};

// How often a waiting run looks at the quitting flag: short enough that quitting feels immediate.
constexpr int pollMilliseconds = 50;

} // namespace

void ProcessRunner::setShuttingDown(bool value) {
    shuttingDown.store(value);
}

bool ProcessRunner::isShuttingDown() {
    return shuttingDown.load();
}

ProcessOutput ProcessRunner::run(const QString &executable, const QStringList &arguments,
                                 ErrorOutput errorOutput, const ProcessLimits &limits,
                                 const QProcessEnvironment &environment) {
    const QString tool = QFileInfo(executable).fileName();
    ProcessOutput result;
    if (isShuttingDown()) {
        result.error = QCoreApplication::translate("platform::processrunner", "Haulwise is quitting.");
        return result;
    }

    QProcess process;
    process.setProgram(executable);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (errorOutput == ErrorOutput::merge)
        process.setProcessChannelMode(QProcess::MergedChannels);
    else
        process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so that stopping it also stops what it started (a script's children
    // would otherwise live on, holding the pipe open).
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    const QDeadlineTimer deadline(limits.deadline);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.error = process.errorString();
        return result;
    }
    result.end = ProcessOutput::End::finished;
    const qint64 pid = process.processId();
    const auto stop = [&](QString why) {
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process.kill();
        process.waitForFinished(-1);
        result.end = ProcessOutput::End::stopped;
        result.error = std::move(why);
    };

    while (true) {
        // Read as it arrives, so what is kept never grows much past the cap.
        result.output += process.read(limits.maxOutputBytes + 1 - result.output.size());
        if (result.output.size() > limits.maxOutputBytes) {
            stop(QCoreApplication::translate("platform::processrunner",
                                             "%1 printed more than %2 and was stopped.")
                     .arg(tool, describeSize(limits.maxOutputBytes)));
            break;
        }
        if (process.state() == QProcess::NotRunning && process.bytesAvailable() == 0)
            break;
        if (isShuttingDown()) {
            stop(QCoreApplication::translate("platform::processrunner",
                                             "%1 was stopped because Haulwise is quitting.")
                     .arg(tool));
            break;
        }
        if (deadline.hasExpired()) {
            stop(QCoreApplication::translate("platform::processrunner",
                                             "%1 didn't finish within %2 and was stopped.")
                     .arg(tool, describeDuration(limits.deadline)));
            break;
        }
        const int slice = static_cast<int>(std::min<qint64>(pollMilliseconds, deadline.remainingTime()));
        // Returns as soon as something arrives. False before the slice is over means the tool closed
        // its output: nothing more can pile up, and the rest of the wait is for its exit.
        QElapsedTimer waited;
        waited.start();
        if (!process.waitForReadyRead(slice) && process.state() != QProcess::NotRunning &&
            waited.elapsed() < slice / 2)
            process.waitForFinished(slice);
    }
    result.output.truncate(std::min<qint64>(result.output.size(), limits.maxOutputBytes));
    if (result.end == ProcessOutput::End::stopped)
        result.output.clear();
    return result;
}

} // namespace platform
