#include "commands.h"

#include "inventory/onlinescan.h"
#include "model/manifestjson.h"

#include <QCoreApplication>
#include <QCoroTask>

namespace cli {

namespace {

const QString onlineOption = QStringLiteral("online");

} // namespace

int scan(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("haulwise-cli", "Prints this Mac's manifest as compact JSON."));
    inventory::scanOptions::addMac(parser);
    parser.addOption(
        {onlineOption, QCoreApplication::translate(
                           "haulwise-cli", "Match applications to Homebrew casks and App Store ids.")});
    inventory::scanOptions::addServices(parser,
                                        QCoreApplication::translate("haulwise-cli", "With --online: "));
    if (const auto stop = parseArguments(parser, QStringLiteral("scan"), arguments, 0, 0))
        return *stop;

    const bool online = parser.isSet(onlineOption);
    for (const QString &option : inventory::scanOptions::servicesGiven(parser)) {
        if (!online) {
            printError(QCoreApplication::translate("haulwise-cli", "--%1 has effect only with --online.")
                           .arg(option));
            return usage;
        }
    }
    const auto engine = inventory::scanOptions::engine(parser);
    if (!engine) {
        printError(engine.message());
        return usage;
    }

    platform::Result<model::Manifest> manifest;
    {
        const TerminalProgress progress;
        // waitFor runs an event loop, so the requests proceed while this waits.
        manifest = QCoro::waitFor(inventory::scan(*engine, online, progress.handler()));
    }
    if (!manifest) {
        printError(manifest.message());
        return failure;
    }
    printOutput(model::encodeManifest(*manifest) + '\n');
    return success;
}

} // namespace cli
