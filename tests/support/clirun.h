#pragma once

#include "platform/logging.h"
#include "support/testfiles.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What one run of haulwise-cli (or another built program) left behind; an exit code of -1 means it crashed or
// never finished.
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// How to start it besides its arguments. The child inherits this process's environment (the
// settings folder of TestSettings, the private session bus) except the variables `environment`
// replaces.
struct CliOptions {
    // Which of the built programs to run.
    QString program = QStringLiteral("haulwise-cli");
    QByteArray input = {};
    QString workingDirectory = {};
    QList<QPair<QString, QString>> environment = {};
};

// Runs haulwise-cli (or `options.program`) as a user would, with `options.input` on its standard input. Local
// servers answer from threads of their own, so blocking here on the child is fine.
inline CliRun runCli(const QStringList &arguments, const CliOptions &options = {}) {
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : options.environment)
        variables.insert(name, value);
    process.setProcessEnvironment(variables);
    if (!options.workingDirectory.isEmpty())
        process.setWorkingDirectory(options.workingDirectory);
    process.start(QStringLiteral(HAULWISE_BIN_DIR "/") + options.program, arguments);
    CliRun run;
    if (!process.waitForStarted()) {
        qCWarning(platform::lcHaulwise) << options.program << "did not start:" << process.errorString();
        return run;
    }
    process.write(options.input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        qCWarning(platform::lcHaulwise) << options.program << "did not finish";
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

inline CliRun runCli(const QStringList &arguments, const QByteArray &input,
                     const QList<QPair<QString, QString>> &environment = {}) {
    return runCli(arguments, CliOptions{.input = input, .environment = environment});
}
