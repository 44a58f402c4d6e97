#include "commands.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include <unistd.h>

namespace cli {

std::optional<ExitStatus> parseArguments(QCommandLineParser &parser, const QString &command,
                                         const QStringList &arguments, qsizetype minPositional,
                                         qsizetype maxPositional) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    QStringList withProgram = arguments;
    withProgram.prepend(QStringLiteral("haulwise-cli"));
    const QString helpText = namedHelpText(parser, QStringLiteral("haulwise-cli ") + command);

    QString problem;
    if (!parser.parse(withProgram)) {
        problem = parser.errorText();
    } else if (parser.isSet(help)) {
        printOutput(helpText.toUtf8());
        return success;
    } else {
        const qsizetype count = parser.positionalArguments().size();
        if (count < minPositional)
            problem = QCoreApplication::translate("haulwise-cli", "Missing argument.");
        else if (count > maxPositional)
            problem = QCoreApplication::translate("haulwise-cli", "Unexpected argument: %1")
                          .arg(parser.positionalArguments().at(maxPositional));
    }
    if (problem.isEmpty())
        return std::nullopt;
    printError(problem + u'\n' + helpText);
    return usage;
}

QString namedHelpText(const QCommandLineParser &parser, const QString &name) {
    // Qt names the program by the path it was started with (which may hold spaces).
    QString helpText = parser.helpText();
    const QString qtUsage = QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0);
    if (helpText.startsWith(qtUsage))
        helpText.replace(0, qtUsage.size(), QStringLiteral("Usage: ") + name);
    return helpText;
}

platform::Result<QByteArray> readInput(const QString &path) {
    QFile file(path);
    const bool opened = path == u'-' ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened)
        return platform::fail(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return platform::fail(file.errorString());
    return bytes;
}

TerminalProgress::TerminalProgress()
    : m_terminal(isatty(fileno(stderr)) == 1)
    , m_shown(std::make_shared<bool>(false)) {}

TerminalProgress::~TerminalProgress() {
    if (*m_shown)
        std::fputs("\r\033[K", stderr);
}

inventory::ProgressHandler TerminalProgress::handler() const {
    if (!m_terminal)
        return {};
    return [shown = m_shown](const QString &line) {
        // Back to the start of the line, clear it, and write the new one without ending it.
        const QByteArray bytes = "\r\033[K" + line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        *shown = true;
    };
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
