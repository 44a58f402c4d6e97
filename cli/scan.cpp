#include "commands.h"

#include "inventory/inventoryengine.h"
#include "model/manifestjson.h"

#include <QCoroTask>

namespace cli {

namespace {

const QString onlineOption = QStringLiteral("online");
const QString catalogueURLOption = QStringLiteral("catalogue-url");
const QString lookupURLOption = QStringLiteral("lookup-url");

// Replaces one service host with the one given on the command line. False after printing the problem.
bool takeHost(const QCommandLineParser &parser, const QString &option, QUrl &host) {
    if (!parser.isSet(option))
        return true;
    const QString text = parser.value(option);
    const auto parsed = inventory::parseEndpointHost(text);
    if (!parsed) {
        printError(QStringLiteral("--%1: \"%2\" is not a service address; expected http:// or https://, a "
                                  "host and an optional port, such as http://127.0.0.1:8080")
                       .arg(option, text));
        return false;
    }
    host = *parsed;
    return true;
}

} // namespace

int scan(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints this Mac's manifest as compact JSON."));
    addMacOptions(parser);
    parser.addOption(
        {onlineOption, QStringLiteral("Match applications to Homebrew casks and App Store ids.")});
    parser.addOption(
        {catalogueURLOption,
         QStringLiteral("With --online: the cask catalogue's host (scheme, host, optional port)."),
         QStringLiteral("URL")});
    parser.addOption(
        {lookupURLOption,
         QStringLiteral("With --online: the App Store lookup's host (scheme, host, optional port)."),
         QStringLiteral("URL")});
    if (const auto stop = parseArguments(parser, QStringLiteral("scan"), arguments, 0, 0))
        return *stop;

    const bool online = parser.isSet(onlineOption);
    for (const QString &option : {catalogueURLOption, lookupURLOption}) {
        if (!online && parser.isSet(option)) {
            printError(QStringLiteral("--%1 has effect only with --online.").arg(option));
            return usage;
        }
    }
    inventory::Endpoints endpoints = inventory::Endpoints::defaults();
    if (!takeHost(parser, catalogueURLOption, endpoints.caskCatalogue) ||
        !takeHost(parser, lookupURLOption, endpoints.appStoreLookup))
        return usage;

    const inventory::InventoryEngine engine(macFrom(parser), endpoints);
    // waitFor runs an event loop, so the requests proceed while this waits.
    printOutput(model::encodeManifest(QCoro::waitFor(engine.scan(online))) + '\n');
    return success;
}

} // namespace cli
