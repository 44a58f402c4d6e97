#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <chrono>

namespace platform {

// How long a tool may run and how much of what it prints is kept. A tool waiting on a lock or on an
// answer that never comes would otherwise hold its caller, and the thread it runs on, forever.
struct ProcessLimits {
    std::chrono::milliseconds deadline{30000};
    qint64 maxOutputBytes = 16 * 1024 * 1024;

    friend bool operator==(const ProcessLimits &, const ProcessLimits &) = default;
};

// What became of a tool.
struct ProcessOutput {
    enum class End {
        finished,   // it ran to its end; exitCode says how
        notStarted, // error: the system's description
        stopped,    // killed: past its deadline, past the output cap, or the program is quitting;
                    // error says which, naming the tool and the wait
    };
    End end = End::notStarted;
    QString error;
    QByteArray output; // standard output, or both streams when they were merged
    // Standard error when kept apart (its first kilobytes: enough for the reason a tool gives).
    QByteArray errors;
    // The tool's exit status when it finished; a crash counts as failing.
    int exitCode = 0;
    bool crashed = false;

    bool succeeded() const { return end == End::finished && exitCode == 0 && !crashed; }

    bool started() const { return end != End::notStarted; }
};

// Runs a tool by absolute path with an argument list, never through a shell, and waits for it within
// its limits. Every stream the tool writes is drained while it
// runs, so a tool that floods standard error cannot block on a full pipe. A tool that is stopped is
// killed together with whatever it started itself.
class ProcessRunner {
public:
    enum class ErrorOutput { discard, merge, keep };

    static ProcessOutput
    run(const QString &executable, const QStringList &arguments, ErrorOutput errorOutput,
        const ProcessLimits &limits,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    // While set, running tools are stopped within a fraction of a second and none is started. The
    // program sets it as it quits, so the thread pool that runs the tools can end at once.
    static void setShuttingDown(bool shuttingDown);
    static bool isShuttingDown();
};

} // namespace platform
