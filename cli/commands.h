#pragma once

#include "inventory/endpoints.h"
#include "platform/filemanager.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

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

// --root DIR and --home PATH: which Mac to look at.
void addMacOptions(QCommandLineParser &parser);
platform::FileManager macFrom(const QCommandLineParser &parser);

// --catalogue-url URL and --lookup-url URL: which hosts an online scan asks. `helpPrefix` starts
// their help texts. The options given, by name; the endpoints with those hosts, or absent after
// printing why one is not a service address.
void addServiceOptions(QCommandLineParser &parser, const QString &helpPrefix);
QStringList serviceOptionsGiven(const QCommandLineParser &parser);
std::optional<inventory::Endpoints> endpointsFrom(const QCommandLineParser &parser);

void printError(const QString &message);
// Writes bytes to standard output as they are and flushes.
void printOutput(const QByteArray &bytes);

} // namespace cli
