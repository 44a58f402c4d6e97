// The commands that talk to the user's Worker: setup and status of the connection, export and fetch
// of the manifest. They use the same settings and keychain item as the menu-bar program.

#include "commands.h"

#include "inventory/onlinescan.h"
#include "model/manifestjson.h"
#include "platform/utf8.h"
#include "restore/brewfile.h"
#include "sync/appsettings.h"
#include "sync/secretstore.h"
#include "sync/setuptext.h"
#include "sync/syncclient.h"

#include <QCoreApplication>
#include <QFile>

#include <QCoroTask>

#include <cstdio>

namespace cli {

namespace {

using restore::escapedControls;
using syncing::AppSettings;
using syncing::SyncClient;
using syncing::SyncError;

const QString manifestOption = QStringLiteral("manifest");

// The settings of the program, once the token has come from the keychain. Made on first use and kept
// until the process ends, as each command uses them to its end.
AppSettings *loadedSettings() {
    static AppSettings *const settings = new AppSettings(syncing::makeSecretStore());
    QCoro::waitFor(settings->ready());
    return settings;
}

SyncClient clientFrom(const AppSettings &settings, const platform::TransferLimits &limits) {
    return SyncClient(settings.workerURL(), settings.token(), limits);
}

int fail(const SyncError &error, const AppSettings &settings) {
    QString message = error.description();
    // "Set your token" misleads when the token is there but the keychain would not give it out.
    if (error.kind == SyncError::Kind::notConfigured && !settings.keychainError().isEmpty())
        message += u'\n' + settings.keychainError();
    printError(message);
    return failure;
}

} // namespace

int setup(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli", "Reads the text of \"Copy setup for new Mac\" from standard input and stores the "
                        "Worker URL and token it holds, as the settings window would."));
    if (const auto stop = parseArguments(parser, QStringLiteral("setup"), arguments, 0, 0))
        return *stop;

    const platform::Result<QByteArray> input = readInput(QStringLiteral("-"));
    if (!input) {
        printError(QCoreApplication::translate("haulwise-cli", "Couldn't read standard input: ") +
                   input.message());
        return failure;
    }
    const platform::Result<QString> text = platform::decodeUtf8(*input);
    if (!text) {
        printError(QCoreApplication::translate("haulwise-cli", "The setup text is not UTF-8 text."));
        return failure;
    }
    const platform::Result<syncing::SetupText> values = syncing::SetupText::parse(*text);
    if (!values) {
        printError(values.message());
        return failure;
    }
    // Storing a URL that no request could be made from would only fail later, further from the cause.
    if (const auto url = SyncClient(values->workerURL, values->token).manifestURL(); !url) {
        printError(url.message());
        return failure;
    }

    AppSettings *settings = loadedSettings();
    settings->setWorkerURL(values->workerURL);
    settings->setToken(values->token);
    // The process ends right after this; the keychain write must have landed by then.
    QCoro::waitFor(settings->saved());
    if (!settings->keychainError().isEmpty()) {
        printError(settings->keychainError());
        return failure;
    }
    printOutput(
        QCoreApplication::translate("haulwise-cli", "Stored the Worker URL and the token.\n").toUtf8());
    return success;
}

int status(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli", "Prints the Worker URL and whether export and fetch have what they need. Never "
                        "prints the token."));
    if (const auto stop = parseArguments(parser, QStringLiteral("status"), arguments, 0, 0))
        return *stop;

    const AppSettings *settings = loadedSettings();
    const QString url = settings->workerURL();
    QString text =
        QCoreApplication::translate("haulwise-cli", "Worker URL: ") +
        (url.isEmpty() ? QCoreApplication::translate("haulwise-cli", "(not set)") : escapedControls(url)) +
        u'\n';
    text +=
        QCoreApplication::translate("haulwise-cli", "Token: ") +
        (settings->token().isEmpty() ? QCoreApplication::translate("haulwise-cli", "(not set)")
                                     : QCoreApplication::translate("haulwise-cli", "set, in the keychain")) +
        u'\n';
    text += QCoreApplication::translate("haulwise-cli", "Configured: ") +
            (settings->isConfigured() ? QCoreApplication::translate("haulwise-cli", "yes")
                                      : QCoreApplication::translate("haulwise-cli", "no")) +
            u'\n';
    printOutput(text.toUtf8());
    if (!settings->keychainError().isEmpty()) {
        printError(settings->keychainError());
        return failure;
    }
    return success;
}

int exportManifest(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli",
        "Uploads a manifest to the Worker and prints the time the Worker stored it. Without "
        "--manifest, this Mac is scanned first, with casks and App Store ids matched online."));
    parser.addOption(
        {manifestOption,
         QCoreApplication::translate(
             "haulwise-cli", "Upload the manifest in FILE (\"-\": standard input) instead of scanning."),
         QStringLiteral("FILE")});
    inventory::scanOptions::addMac(parser);
    inventory::scanOptions::addServices(parser,
                                        QCoreApplication::translate("haulwise-cli", "For the scan: "));
    if (const auto stop = parseArguments(parser, QStringLiteral("export"), arguments, 0, 0))
        return *stop;
    if (parser.isSet(manifestOption)) {
        for (const QString &option : QStringList{QStringLiteral("root"), QStringLiteral("home")} +
                                         inventory::scanOptions::servicesGiven(parser)) {
            if (parser.isSet(option)) {
                printError(
                    QCoreApplication::translate(
                        "haulwise-cli", "--%1 has no effect with --manifest, which uploads without scanning.")
                        .arg(option));
                return usage;
            }
        }
    }
    const auto engine = inventory::scanOptions::engine(parser);
    if (!engine) {
        printError(engine.message());
        return usage;
    }

    std::optional<model::Manifest> manifest;
    if (parser.isSet(manifestOption)) {
        const QString path = parser.value(manifestOption);
        const platform::Result<QByteArray> bytes = readInput(path);
        if (!bytes) {
            printError(QCoreApplication::translate("haulwise-cli", "Couldn't read %1: %2")
                           .arg(path, bytes.message()));
            return failure;
        }
        platform::Result<model::Manifest> decoded = model::decodeManifest(*bytes);
        if (!decoded) {
            printError(QCoreApplication::translate("haulwise-cli", "%1 is not a Haulwise manifest: %2")
                           .arg(path, decoded.message()));
            return failure;
        }
        manifest = std::move(decoded).value();
    }

    const AppSettings *settings = loadedSettings();
    const SyncClient client = clientFrom(*settings, engine->endpoints().workerLimits);
    // Checked before the scan, which takes long and could not be uploaded anyway.
    if (const auto url = client.manifestURL(); !url)
        return fail(url.failure(), *settings);
    if (!manifest) {
        platform::Result<model::Manifest> scanned;
        {
            // Wiped before anything else is printed.
            const TerminalProgress progress;
            scanned = QCoro::waitFor(inventory::scan(*engine, true, progress.handler()));
        }
        if (!scanned) {
            printError(scanned.message());
            return failure;
        }
        manifest = std::move(scanned).value();
    }

    const syncing::SyncResult<QString> stored = QCoro::waitFor(client.upload(*manifest));
    if (!stored)
        return fail(stored.failure(), *settings);
    // The Worker's text, shown as text: it could hold what a terminal would obey.
    printOutput((escapedControls(*stored) + u'\n').toUtf8());
    return success;
}

int fetch(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli",
        "Downloads the newest manifest stored on the Worker, or the one with --id, and prints "
        "it as compact JSON."));
    const QString idOption = QStringLiteral("id");
    parser.addOption(
        {idOption,
         QCoreApplication::translate("haulwise-cli", "Fetch the stored manifest with this id (see history)."),
         QStringLiteral("ID")});
    if (const auto stop = parseArguments(parser, QStringLiteral("fetch"), arguments, 0, 0))
        return *stop;

    const AppSettings *settings = loadedSettings();
    const SyncClient client = clientFrom(*settings, SyncClient::defaultLimits);
    const syncing::SyncResult<model::Manifest> fetched =
        parser.isSet(idOption) ? QCoro::waitFor(client.download(parser.value(idOption)))
                               : QCoro::waitFor(client.download());
    if (!fetched)
        return fail(fetched.failure(), *settings);
    printOutput(model::encodeManifest(*fetched) + '\n');
    return success;
}

} // namespace cli

namespace cli {

int history(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli", "Lists the manifests the Worker keeps, newest first: id, time stored, Mac, apps."));
    if (const auto stop = parseArguments(parser, QStringLiteral("history"), arguments, 0, 0))
        return *stop;

    const AppSettings *settings = loadedSettings();
    const syncing::SyncResult<QList<syncing::StoredVersion>> listed =
        QCoro::waitFor(clientFrom(*settings, SyncClient::defaultLimits).versions());
    if (!listed)
        return fail(listed.failure(), *settings);
    QByteArray lines;
    for (const syncing::StoredVersion &version : *listed) {
        // Tabs between the fields, so a host name with spaces stays one field for scripts. Every field
        // comes from the Worker or another Mac's disk: its own tabs, line breaks and escape sequences
        // are printed spelt out, never obeyed.
        lines += escapedControls(version.id).toUtf8() + '\t' + escapedControls(version.storedAt).toUtf8() +
                 '\t' + escapedControls(version.hostname.value_or(QStringLiteral("-"))).toUtf8() + '\t' +
                 (version.apps ? QByteArray::number(*version.apps) : QByteArray("-")) + '\n';
    }
    printOutput(lines);
    return success;
}

} // namespace cli
