#include "commands.h"

#include "inventory/onlinescan.h"
#include "model/manifestjson.h"

#include <QCoroTask>

namespace cli {

namespace {

const QString onlineOption = QStringLiteral("online");

} // namespace

int scan(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints this Mac's manifest as compact JSON."));
    addMacOptions(parser);
    parser.addOption(
        {onlineOption, QStringLiteral("Match applications to Homebrew casks and App Store ids.")});
    addServiceOptions(parser, QStringLiteral("With --online: "));
    if (const auto stop = parseArguments(parser, QStringLiteral("scan"), arguments, 0, 0))
        return *stop;

    const bool online = parser.isSet(onlineOption);
    for (const QString &option : serviceOptionsGiven(parser)) {
        if (!online) {
            printError(QStringLiteral("--%1 has effect only with --online.").arg(option));
            return usage;
        }
    }
    const std::optional<inventory::Endpoints> endpoints = endpointsFrom(parser);
    if (!endpoints)
        return usage;

    const inventory::InventoryEngine engine(macFrom(parser), *endpoints);
    // waitFor runs an event loop, so the requests proceed while this waits.
    const platform::Result<model::Manifest> manifest = QCoro::waitFor(inventory::scan(engine, online));
    if (!manifest) {
        printError(manifest.message());
        return failure;
    }
    printOutput(model::encodeManifest(*manifest) + '\n');
    return success;
}

} // namespace cli
