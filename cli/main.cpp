#include "commands.h"

#include "platform/englishplurals.h"
#include "platform/userdefaults.h"

#include <QCoreApplication>

#include <functional>

namespace {

struct Command {
    QString name;
    QString summary;
    std::function<int(const QStringList &)> run;
};

const QList<Command> &commands() {
    static const QList<Command> list{
        {QStringLiteral("scan"),
         QCoreApplication::translate("haulwise-cli", "Print this Mac's manifest as JSON"), cli::scan},
        {QStringLiteral("setup"),
         QCoreApplication::translate("haulwise-cli", "Store the Worker URL and token from a setup text"),
         cli::setup},
        {QStringLiteral("status"),
         QCoreApplication::translate("haulwise-cli", "Print the Worker URL and whether sync is set up"),
         cli::status},
        {QStringLiteral("export"),
         QCoreApplication::translate("haulwise-cli", "Upload this Mac's manifest (or a file) to the Worker"),
         cli::exportManifest},
        {QStringLiteral("fetch"),
         QCoreApplication::translate("haulwise-cli", "Print a manifest stored on the Worker as JSON"),
         cli::fetch},
        {QStringLiteral("history"),
         QCoreApplication::translate("haulwise-cli", "List the manifests the Worker keeps, newest first"),
         cli::history},
        {QStringLiteral("plan"),
         QCoreApplication::translate("haulwise-cli",
                                     "Compare a manifest with this Mac; print the plan as JSON"),
         cli::plan},
        {QStringLiteral("brewfile"),
         QCoreApplication::translate("haulwise-cli", "Print the Brewfile for a manifest"), cli::brewfile},
    };
    return list;
}

QString usageText() {
    QString text =
        QCoreApplication::translate("haulwise-cli", "Usage: haulwise-cli COMMAND [OPTIONS]\n\nCommands:\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1  %2\n").arg(command.name.leftJustified(10), command.summary);
    text += QCoreApplication::translate("haulwise-cli",
                                        "\nRun haulwise-cli COMMAND --help for a command's options.\n");
    return text;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    platform::setApplicationIdentity();
    platform::installEnglishPlurals();

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        cli::printError(usageText());
        return cli::usage;
    }
    const QString name = arguments.takeFirst();
    if (name == QLatin1StringView("--help") || name == QLatin1StringView("-h") ||
        name == QLatin1StringView("help")) {
        cli::printOutput(usageText().toUtf8());
        return cli::success;
    }
    for (const Command &command : commands()) {
        if (command.name == name)
            return command.run(arguments);
    }
    cli::printError(QCoreApplication::translate("haulwise-cli", "Unknown command: %1\n\n").arg(name) +
                    usageText());
    return cli::usage;
}
