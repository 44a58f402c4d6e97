#pragma once

#include "inventory/endpoints.h"
#include "inventory/inventoryengine.h"
#include "platform/filemanager.h"
#include "platform/result.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The options with which both programs are told which Mac to look at and which services an online
// scan asks: --root DIR, --home PATH, --catalogue-url URL and --lookup-url URL. Each program adds them
// to its own parser, so its other options, help and usage message stay its own.
namespace inventory::scanOptions {

// --root DIR, --home PATH and --trust-root-tools.
void addMac(QCommandLineParser &parser);
// The Mac they name: "/" and the current user's home when not given. A relative root is taken from
// the working folder.
platform::FileManager mac(const QCommandLineParser &parser);

// --catalogue-url URL and --lookup-url URL; `helpPrefix` starts their help texts.
void addServices(QCommandLineParser &parser, const QString &helpPrefix);
// Those of the two that were given, by name without the dashes.
QStringList servicesGiven(const QCommandLineParser &parser);
// The default endpoints with the hosts given; fails, naming the option, when one is not a service
// address.
[[nodiscard]] platform::Result<Endpoints> endpoints(const QCommandLineParser &parser);

// The engine for the Mac and the services of all four options.
[[nodiscard]] platform::Result<InventoryEngine> engine(const QCommandLineParser &parser);

// --restore-root DIR and --install-url URL, for the program whose restore window can restore onto
// another Mac than the one it scans (an old Mac's export loaded on a new one, both sample Macs).
void addRestore(QCommandLineParser &parser);
// What the restore looks at and hands to Terminal: the Mac under --restore-root with the same home
// folder (the scanned Mac when not given), the services of engine(), and the install script's host
// from --install-url. Fails, naming the option, when that is not a service address.
[[nodiscard]] platform::Result<InventoryEngine> restoreEngine(const QCommandLineParser &parser);

} // namespace inventory::scanOptions
