#include "inventory/scanoptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace inventory::scanOptions {

namespace {

const QString rootOption = QStringLiteral("root");
const QString homeOption = QStringLiteral("home");
const QString trustRootToolsOption = QStringLiteral("trust-root-tools");
const QString catalogueURLOption = QStringLiteral("catalogue-url");
const QString lookupURLOption = QStringLiteral("lookup-url");
const QString restoreRootOption = QStringLiteral("restore-root");
const QString installURLOption = QStringLiteral("install-url");

// Replaces one service host with the one given on the command line.
platform::Result<void> takeHost(const QCommandLineParser &parser, const QString &option, QUrl &host) {
    if (!parser.isSet(option))
        return {};
    const auto parsed = parseEndpointHost(parser.value(option));
    if (!parsed)
        return platform::fail(QStringLiteral("--%1: ").arg(option) + parsed.message());
    host = *parsed;
    return {};
}

} // namespace

void addMac(QCommandLineParser &parser) {
    parser.addOption(
        {rootOption,
         QCoreApplication::translate("inventory::scanOptions",
                                     "Look at the Mac whose file system is under DIR (default /)."),
         QStringLiteral("DIR")});
    parser.addOption(
        {homeOption,
         QCoreApplication::translate("inventory::scanOptions",
                                     "The home folder as seen on that Mac (default: the current user's)."),
         QStringLiteral("PATH")});
    parser.addOption(
        {trustRootToolsOption,
         QCoreApplication::translate("inventory::scanOptions",
                                     "Run the programs under the root: they answer for that Mac. Only for "
                                     "sample Macs and tests; another Mac's disk is read, never run.")});
}

platform::FileManager mac(const QCommandLineParser &parser) {
    const QString root = parser.isSet(rootOption) ? QFileInfo(parser.value(rootOption)).absoluteFilePath()
                                                  : QStringLiteral("/");
    const QString home = parser.isSet(homeOption) ? parser.value(homeOption) : QDir::homePath();
    return platform::FileManager(root, home, parser.isSet(trustRootToolsOption));
}

void addServices(QCommandLineParser &parser, const QString &helpPrefix) {
    parser.addOption(
        {catalogueURLOption,
         helpPrefix + QCoreApplication::translate("inventory::scanOptions",
                                                  "the cask catalogue's host (scheme, host, optional port)."),
         QStringLiteral("URL")});
    parser.addOption(
        {lookupURLOption,
         helpPrefix + QStringLiteral("the App Store lookup's host (scheme, host, optional port)."),
         QStringLiteral("URL")});
}

QStringList servicesGiven(const QCommandLineParser &parser) {
    QStringList given;
    for (const QString &option : {catalogueURLOption, lookupURLOption}) {
        if (parser.isSet(option))
            given.append(option);
    }
    return given;
}

platform::Result<Endpoints> endpoints(const QCommandLineParser &parser) {
    Endpoints endpoints = Endpoints::defaults();
    if (auto taken = takeHost(parser, catalogueURLOption, endpoints.caskCatalogue); !taken)
        return taken.failure();
    if (auto taken = takeHost(parser, lookupURLOption, endpoints.appStoreLookup); !taken)
        return taken.failure();
    return endpoints;
}

platform::Result<InventoryEngine> engine(const QCommandLineParser &parser) {
    auto services = endpoints(parser);
    if (!services)
        return services.failure();
    return InventoryEngine(mac(parser), std::move(services).value());
}

void addRestore(QCommandLineParser &parser) {
    parser.addOption({restoreRootOption,
                      QCoreApplication::translate("inventory::scanOptions",
                                                  "Restore onto the Mac whose file system is under DIR, with "
                                                  "the same home folder (default: the Mac that is scanned)."),
                      QStringLiteral("DIR")});
    parser.addOption({installURLOption,
                      QCoreApplication::translate("inventory::scanOptions",
                                                  "For restores: the host of Homebrew's install script "
                                                  "(scheme, host, optional port)."),
                      QStringLiteral("URL")});
}

platform::Result<InventoryEngine> restoreEngine(const QCommandLineParser &parser) {
    auto services = endpoints(parser);
    if (!services)
        return services.failure();
    if (auto taken = takeHost(parser, installURLOption, services->homebrewInstallScript); !taken)
        return taken.failure();
    platform::FileManager files = mac(parser);
    if (parser.isSet(restoreRootOption))
        files = platform::FileManager(QFileInfo(parser.value(restoreRootOption)).absoluteFilePath(),
                                      files.homeDirectory(), parser.isSet(trustRootToolsOption));
    return InventoryEngine(std::move(files), std::move(services).value());
}

} // namespace inventory::scanOptions
