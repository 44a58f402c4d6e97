#include "platform/linuxterminallauncher.h"

#include "platform/shellquote.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

const QList<LinuxTerminalLauncher::Terminal> &LinuxTerminalLauncher::knownTerminals() {
    static const QList<Terminal> terminals{
        {QStringLiteral("x-terminal-emulator"), {QStringLiteral("-e")}},
        {QStringLiteral("gnome-terminal"), {QStringLiteral("--")}},
        {QStringLiteral("konsole"), {QStringLiteral("-e")}},
        {QStringLiteral("xfce4-terminal"), {QStringLiteral("-x")}},
        {QStringLiteral("xterm"), {QStringLiteral("-e")}},
    };
    return terminals;
}

QStringList LinuxTerminalLauncher::scriptCommand(const QString &scriptPath) {
    // The path travels as an argument of its own, never inside the command text.
    return {QStringLiteral("bash"), QStringLiteral("-c"),
            QStringLiteral("bash \"$1\"; echo; read -r -p \"Press Return to close this window. \" _"),
            QStringLiteral("restore.command"), scriptPath};
}

Result<void> LinuxTerminalLauncher::open(const QString &scriptPath) {
    const QString folder = QFileInfo(scriptPath).absolutePath();
    for (const Terminal &terminal : knownTerminals()) {
        const QString program = QStandardPaths::findExecutable(terminal.program);
        if (program.isEmpty())
            continue;
        if (QProcess::startDetached(program, terminal.commandOption + scriptCommand(scriptPath), folder))
            return {};
    }
    return fail(QCoreApplication::translate(
                    "platform::TerminalLauncher",
                    "No terminal program was found to run the installer. Run it yourself: bash %1")
                    .arg(shellQuotedPath(scriptPath)));
}

std::unique_ptr<TerminalLauncher> makeTerminalLauncher() {
    return std::make_unique<LinuxTerminalLauncher>();
}

} // namespace platform
