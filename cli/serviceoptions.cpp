#include "commands.h"

namespace cli {

namespace {

const QString catalogueURLOption = QStringLiteral("catalogue-url");
const QString lookupURLOption = QStringLiteral("lookup-url");

// Replaces one service host with the one given on the command line. False after printing the problem.
bool takeHost(const QCommandLineParser &parser, const QString &option, QUrl &host) {
    if (!parser.isSet(option))
        return true;
    const QString text = parser.value(option);
    const auto parsed = inventory::parseEndpointHost(text);
    if (!parsed) {
        printError(QStringLiteral("--%1: ").arg(option) + parsed.message());
        return false;
    }
    host = *parsed;
    return true;
}

} // namespace

void addServiceOptions(QCommandLineParser &parser, const QString &helpPrefix) {
    parser.addOption({catalogueURLOption,
                      helpPrefix + QStringLiteral("the cask catalogue's host (scheme, host, optional port)."),
                      QStringLiteral("URL")});
    parser.addOption(
        {lookupURLOption,
         helpPrefix + QStringLiteral("the App Store lookup's host (scheme, host, optional port)."),
         QStringLiteral("URL")});
}

QStringList serviceOptionsGiven(const QCommandLineParser &parser) {
    QStringList given;
    for (const QString &option : {catalogueURLOption, lookupURLOption}) {
        if (parser.isSet(option))
            given.append(option);
    }
    return given;
}

std::optional<inventory::Endpoints> endpointsFrom(const QCommandLineParser &parser) {
    inventory::Endpoints endpoints = inventory::Endpoints::defaults();
    if (!takeHost(parser, catalogueURLOption, endpoints.caskCatalogue) ||
        !takeHost(parser, lookupURLOption, endpoints.appStoreLookup))
        return std::nullopt;
    return endpoints;
}

} // namespace cli
