#include "platform/processrunner.h"

#include <QProcess>

namespace platform {

ProcessOutput ProcessRunner::run(const QString &executable, const QStringList &arguments,
                                 ErrorOutput errorOutput, const QProcessEnvironment &environment) {
    QProcess process;
    process.setProgram(executable);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (errorOutput == ErrorOutput::merge)
        process.setProcessChannelMode(QProcess::MergedChannels);
    else
        process.setStandardErrorFile(QProcess::nullDevice());

    process.start(QIODevice::ReadOnly);
    ProcessOutput result;
    if (!process.waitForStarted(-1)) {
        result.startError = process.errorString();
        return result;
    }
    result.started = true;
    // waitForFinished keeps reading standard output as it arrives, so the pipe never fills up.
    process.waitForFinished(-1);
    result.output = process.readAllStandardOutput();
    return result;
}

} // namespace platform
