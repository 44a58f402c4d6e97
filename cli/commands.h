#pragma once

#include "inventory/onlinescan.h"
#include "inventory/scanoptions.h"
#include "platform/result.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Each subcommand of haulwise-cli takes its own arguments (without the program and command names) and
// returns the exit status. Subcommands run inside a QCoreApplication, so they may await network work.
namespace cli {

enum ExitStatus { success = 0, failure = 1, usage = 2 };

int scan(const QStringList &arguments);
int setup(const QStringList &arguments);
int status(const QStringList &arguments);
int exportManifest(const QStringList &arguments); // "export"
int fetch(const QStringList &arguments);
int history(const QStringList &arguments);
int plan(const QStringList &arguments);
int brewfile(const QStringList &arguments);

// --- shared by the subcommands --------------------------------------------------------------------

// Parses `arguments` for `command`. Gives the status to exit with when the command must not go on:
// success after printing --help, usage after printing the problem and the usage to standard error
// (unknown options, a missing option value, a positional count outside [minPositional, maxPositional]).
std::optional<ExitStatus> parseArguments(QCommandLineParser &parser, const QString &command,
                                         const QStringList &arguments, qsizetype minPositional,
                                         qsizetype maxPositional);

// The parser's help text with its usage line naming the program as the user knows it (`name`, with
// the command if any) instead of by the path it was started with.
QString namedHelpText(const QCommandLineParser &parser, const QString &name);

// The bytes of a file, or of standard input for "-"; the failure is the system's own words.
platform::Result<QByteArray> readInput(const QString &path);

// Shows what a long scan is doing on standard error, each line replacing the one before, and wipes
// the last when it goes. Shows nothing when standard error is not a terminal, so logs and pipes
// stay clean.
class TerminalProgress {
public:
    TerminalProgress();
    ~TerminalProgress();
    Q_DISABLE_COPY_MOVE(TerminalProgress)

    // For the scan; empty when nothing is shown.
    inventory::ProgressHandler handler() const;

private:
    bool m_terminal;
    std::shared_ptr<bool> m_shown;
};

void printError(const QString &message);
// Writes bytes to standard output as they are and flushes.
void printOutput(const QByteArray &bytes);

} // namespace cli
