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

} // namespace inventory::scanOptions
