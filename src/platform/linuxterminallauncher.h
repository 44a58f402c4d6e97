#pragma once

#include "platform/terminallauncher.h"

#include <QList>
#include <QStringList>

namespace platform {

// Runs the script with bash in a terminal emulator found on the PATH: the system's chosen one
// (x-terminal-emulator) first, then the well-known ones. The window stays open after the script ends
// until the user presses Return, so its last lines (or its failure) can be read.
class LinuxTerminalLauncher final : public TerminalLauncher {
public:
    struct Terminal {
        QString program;
        QStringList commandOption; // what precedes the command and its arguments
    };
    static const QList<Terminal> &knownTerminals();

    // What the terminal is asked to run for `scriptPath`.
    static QStringList scriptCommand(const QString &scriptPath);

    Result<void> open(const QString &scriptPath) override;
};

} // namespace platform
