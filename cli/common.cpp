#include "commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace cli {

namespace {

const QString rootOption = QStringLiteral("root");
const QString homeOption = QStringLiteral("home");

} // namespace

std::optional<ExitStatus> parseArguments(QCommandLineParser &parser, const QString &command,
                                         const QStringList &arguments, qsizetype minPositional,
                                         qsizetype maxPositional) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    QStringList withProgram = arguments;
    withProgram.prepend(QStringLiteral("haulwise-cli"));
    // Qt names the binary by the path it was started with (which may hold spaces); name the command
    // instead.
    QString helpText = parser.helpText();
    const QString qtUsage = QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0);
    if (helpText.startsWith(qtUsage))
        helpText.replace(0, qtUsage.size(), QStringLiteral("Usage: haulwise-cli ") + command);

    QString problem;
    if (!parser.parse(withProgram)) {
        problem = parser.errorText();
    } else if (parser.isSet(help)) {
        printOutput(helpText.toUtf8());
        return success;
    } else {
        const qsizetype count = parser.positionalArguments().size();
        if (count < minPositional)
            problem = QStringLiteral("Missing argument.");
        else if (count > maxPositional)
            problem =
                QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().at(maxPositional));
    }
    if (problem.isEmpty())
        return std::nullopt;
    printError(problem + u'\n' + helpText);
    return usage;
}

void addMacOptions(QCommandLineParser &parser) {
    parser.addOption({rootOption,
                      QStringLiteral("Look at the Mac whose file system is under DIR (default /)."),
                      QStringLiteral("DIR")});
    parser.addOption({homeOption,
                      QStringLiteral("The home folder as seen on that Mac (default: the current user's)."),
                      QStringLiteral("PATH")});
}

platform::FileManager macFrom(const QCommandLineParser &parser) {
    const QString root = parser.isSet(rootOption) ? QFileInfo(parser.value(rootOption)).absoluteFilePath()
                                                  : QStringLiteral("/");
    const QString home = parser.isSet(homeOption) ? parser.value(homeOption) : QDir::homePath();
    return platform::FileManager(root, home);
}

void printError(const QString &message) {
    QByteArray bytes = message.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void printOutput(const QByteArray &bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace cli
