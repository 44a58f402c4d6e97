#include "commands.h"

#include "inventory/inventoryengine.h"
#include "model/manifestjson.h"

namespace cli {

int scan(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints this Mac's manifest as compact JSON."));
    addMacOptions(parser);
    if (const auto stop = parseArguments(parser, QStringLiteral("scan"), arguments, 0, 0))
        return *stop;

    const inventory::InventoryEngine engine(macFrom(parser));
    printOutput(model::encodeManifest(engine.scanOffline()) + '\n');
    return success;
}

} // namespace cli
