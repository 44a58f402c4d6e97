// Haulwise, the menu-bar program: a status item with the panel, and the restore and settings windows.
// It does nothing at start but put the status item up. Its options are the scan options of
// haulwise-cli: which Mac to look at (a mounted disk, a sample Mac) and which services to ask. Without
// them it looks at the Mac it runs on.

#include "commands.h"
#include "inventory/scanoptions.h"
#include "platform/englishplurals.h"
#include "platform/processrunner.h"
#include "platform/userdefaults.h"
#include "sync/secretstore.h"
#include "ui/appshell.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char *argv[]) {
    // Made first, so that it takes the toolkit's own options (-platform, -style) out of the arguments.
    QApplication app(argc, argv);
    platform::setApplicationIdentity();
    platform::installEnglishPlurals();

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise", "Moves a Mac's software set-up to another Mac, from the menu bar. Without options "
                    "it looks at the Mac it runs on."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    inventory::scanOptions::addMac(parser);
    inventory::scanOptions::addServices(parser, QCoreApplication::translate("haulwise", "For scans: "));
    inventory::scanOptions::addRestore(parser);
    const QString helpText = cli::namedHelpText(parser, QStringLiteral("haulwise"));

    QString problem;
    platform::Result<inventory::InventoryEngine> engine;
    platform::Result<inventory::InventoryEngine> restoreEngine;
    if (!parser.parse(QCoreApplication::arguments())) {
        problem = parser.errorText();
    } else if (parser.isSet(help)) {
        cli::printOutput(helpText.toUtf8());
        return cli::success;
    } else if (!parser.positionalArguments().isEmpty()) {
        problem = QCoreApplication::translate("haulwise", "Unexpected argument: %1")
                      .arg(parser.positionalArguments().constFirst());
    } else if (engine = inventory::scanOptions::engine(parser); !engine) {
        problem = engine.message();
    } else if (restoreEngine = inventory::scanOptions::restoreEngine(parser); !restoreEngine) {
        problem = restoreEngine.message();
    }
    if (!problem.isEmpty()) {
        cli::printError(problem + u'\n' + helpText);
        return cli::usage;
    }

    // A tool still running then (a scan's brew, a preview) is stopped, or the thread pool it runs on
    // would hold the program open until the tool's deadline.
    QObject::connect(&app, &QCoreApplication::aboutToQuit,
                     [] { platform::ProcessRunner::setShuttingDown(true); });

    ui::AppShell::prepareApplication();
    ui::AppShell::Options options;
    options.secrets = syncing::makeSecretStore();
    options.engine = std::move(engine).value();
    options.restoreEngine = std::move(restoreEngine).value();
    ui::AppShell shell(std::move(options));
    shell.start();
    return QApplication::exec();
}
