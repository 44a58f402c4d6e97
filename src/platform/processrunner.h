#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace platform {

// What a finished tool left behind.
struct ProcessOutput {
    bool started = false;
    QString startError; // the system's description when the tool could not start
    QByteArray output;  // standard output, or both streams when they were merged
};

// Runs a tool by absolute path with an argument list, never through a shell, and waits for it. Its
// exit status is never looked at. Every stream the tool writes is drained while it runs, so a tool
// that floods standard error cannot block on a full pipe.
class ProcessRunner {
public:
    enum class ErrorOutput { discard, merge };

    static ProcessOutput
    run(const QString &executable, const QStringList &arguments, ErrorOutput errorOutput,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

} // namespace platform
