// The commands that talk to the user's Worker: setup and status of the connection, export and fetch
// of the manifest. They use the same settings and keychain item as the menu-bar program.

#include "commands.h"

#include "inventory/inventoryengine.h"
#include "model/manifestjson.h"
#include "platform/utf8.h"
#include "sync/appsettings.h"
#include "sync/syncclient.h"

#include <QFile>

#include <QCoroTask>

#include <cstdio>
#include <variant>

namespace cli {

namespace {

using syncing::AppSettings;
using syncing::SyncClient;
using syncing::SyncError;

const QString manifestOption = QStringLiteral("manifest");
const QString setupHeading = QStringLiteral("Haulwise setup");
const QString setupURLPrefix = QStringLiteral("Worker URL: ");
const QString setupTokenPrefix = QStringLiteral("Bearer token: ");
const QString manifestPath = QStringLiteral("/manifest");

struct Setup {
    QString workerURL;
    QString token;
};

bool isBlank(const QString &line) {
    return line.trimmed().isEmpty();
}

// The text that "Copy setup for new Mac" puts on the pasteboard: three lines, values untrimmed. A
// paste may bring blank lines around it and Windows line ends; neither is part of a value.
std::variant<Setup, QString> parseSetup(const QString &text) {
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    while (!lines.isEmpty() && isBlank(lines.first()))
        lines.removeFirst();
    while (!lines.isEmpty() && isBlank(lines.last()))
        lines.removeLast();
    if (lines.isEmpty())
        return QStringLiteral("No setup text came in. Paste the text that \"Copy setup for new Mac\" copies "
                              "in Haulwise's settings, then end the input (Ctrl-D).");
    if (lines.size() != 3 || lines[0] != setupHeading || !lines[1].startsWith(setupURLPrefix) ||
        !lines[2].startsWith(setupTokenPrefix))
        return QStringLiteral("That is not a Haulwise setup text. It has three lines: \"Haulwise setup\", "
                              "\"Worker URL: \" and the URL, \"Bearer token: \" and the token.");
    Setup setup{lines[1].mid(setupURLPrefix.size()), lines[2].mid(setupTokenPrefix.size())};
    if (!AppSettings::isConfigured(setup.workerURL, QStringLiteral("-")))
        return QStringLiteral("The setup text has no Worker URL.");
    if (setup.token.isEmpty())
        return QStringLiteral("The setup text has no token.");
    return setup;
}

// The shared settings once the token has come from the keychain.
AppSettings *loadedSettings() {
    AppSettings *settings = AppSettings::shared();
    QCoro::waitFor(settings->ready());
    return settings;
}

SyncClient clientFrom(const AppSettings &settings) {
    return SyncClient(settings.workerURL(), settings.token());
}

int fail(const SyncError &error, const AppSettings &settings) {
    QString message = error.description();
    // "Set your token" misleads when the token is there but the keychain would not give it out.
    if (error.kind == SyncError::Kind::notConfigured && !settings.keychainError().isEmpty())
        message += u'\n' + settings.keychainError();
    printError(message);
    return failure;
}

// The problem with the settings that would stop any request, before a long scan is started.
std::optional<SyncError> settingsProblem(const SyncClient &client) {
    if (client.baseURL().isEmpty() || client.token().isEmpty())
        return SyncError::notConfigured();
    const auto url = client.endpoint(manifestPath);
    if (const auto *error = std::get_if<SyncError>(&url))
        return *error;
    return std::nullopt;
}

// The bytes of a file, or of standard input for "-".
std::optional<QByteArray> readInput(const QString &path, QString *error) {
    QFile file(path);
    const bool opened = path == u'-' ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

} // namespace

int setup(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads the text of \"Copy setup for new Mac\" from standard input and stores the "
                       "Worker URL and token it holds, as the settings window would."));
    if (const auto stop = parseArguments(parser, QStringLiteral("setup"), arguments, 0, 0))
        return *stop;

    QString readError;
    const std::optional<QByteArray> input = readInput(QStringLiteral("-"), &readError);
    if (!input) {
        printError(QStringLiteral("Couldn't read standard input: ") + readError);
        return failure;
    }
    const std::optional<QString> text = platform::decodeUtf8(*input);
    if (!text) {
        printError(QStringLiteral("The setup text is not UTF-8 text."));
        return failure;
    }
    const std::variant<Setup, QString> parsed = parseSetup(*text);
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        printError(*problem);
        return failure;
    }
    const Setup &values = std::get<Setup>(parsed);
    // Storing a URL that no request could be made from would only fail later, further from the cause.
    if (const auto problem = settingsProblem(SyncClient(values.workerURL, values.token))) {
        printError(problem->description());
        return failure;
    }

    AppSettings *settings = loadedSettings();
    settings->setWorkerURL(values.workerURL);
    settings->setToken(values.token);
    // The process ends right after this; the keychain write must have landed by then.
    QCoro::waitFor(settings->saved());
    if (!settings->keychainError().isEmpty()) {
        printError(settings->keychainError());
        return failure;
    }
    printOutput(QStringLiteral("Stored the Worker URL and the token.\n").toUtf8());
    return success;
}

int status(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the Worker URL and whether export and fetch have what they need. Never "
                       "prints the token."));
    if (const auto stop = parseArguments(parser, QStringLiteral("status"), arguments, 0, 0))
        return *stop;

    const AppSettings *settings = loadedSettings();
    const QString url = settings->workerURL();
    QString text =
        QStringLiteral("Worker URL: ") + (url.isEmpty() ? QStringLiteral("(not set)") : url) + u'\n';
    text +=
        QStringLiteral("Token: ") +
        (settings->token().isEmpty() ? QStringLiteral("(not set)") : QStringLiteral("set, in the keychain")) +
        u'\n';
    text += QStringLiteral("Configured: ") +
            (settings->isConfigured() ? QStringLiteral("yes") : QStringLiteral("no")) + u'\n';
    printOutput(text.toUtf8());
    if (!settings->keychainError().isEmpty()) {
        printError(settings->keychainError());
        return failure;
    }
    return success;
}

int exportManifest(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Uploads a manifest to the Worker and prints the time the Worker stored it. Without "
        "--manifest, this Mac is scanned first, with casks and App Store ids matched online."));
    parser.addOption(
        {manifestOption,
         QStringLiteral("Upload the manifest in FILE (\"-\": standard input) instead of scanning."),
         QStringLiteral("FILE")});
    addMacOptions(parser);
    addServiceOptions(parser, QStringLiteral("For the scan: "));
    if (const auto stop = parseArguments(parser, QStringLiteral("export"), arguments, 0, 0))
        return *stop;
    if (parser.isSet(manifestOption)) {
        for (const QString &option :
             QStringList{QStringLiteral("root"), QStringLiteral("home")} + serviceOptionsGiven(parser)) {
            if (parser.isSet(option)) {
                printError(
                    QStringLiteral("--%1 has no effect with --manifest, which uploads without scanning.")
                        .arg(option));
                return usage;
            }
        }
    }
    const std::optional<inventory::Endpoints> endpoints = endpointsFrom(parser);
    if (!endpoints)
        return usage;

    std::optional<model::Manifest> manifest;
    if (parser.isSet(manifestOption)) {
        const QString path = parser.value(manifestOption);
        QString problem;
        const std::optional<QByteArray> bytes = readInput(path, &problem);
        if (!bytes) {
            printError(QStringLiteral("Couldn't read %1: %2").arg(path, problem));
            return failure;
        }
        manifest = model::decodeManifest(*bytes, &problem);
        if (!manifest) {
            printError(QStringLiteral("%1 is not a Haulwise manifest: %2").arg(path, problem));
            return failure;
        }
    }

    const AppSettings *settings = loadedSettings();
    const SyncClient client = clientFrom(*settings);
    if (const auto problem = settingsProblem(client))
        return fail(*problem, *settings);
    if (!manifest)
        manifest = QCoro::waitFor(inventory::InventoryEngine(macFrom(parser), *endpoints).scan(true));

    const syncing::SyncResult<QString> stored = QCoro::waitFor(client.upload(*manifest));
    if (const auto *error = std::get_if<SyncError>(&stored))
        return fail(*error, *settings);
    printOutput((std::get<QString>(stored) + u'\n').toUtf8());
    return success;
}

int fetch(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Downloads the manifest stored on the Worker and prints it as compact JSON."));
    if (const auto stop = parseArguments(parser, QStringLiteral("fetch"), arguments, 0, 0))
        return *stop;

    const AppSettings *settings = loadedSettings();
    const syncing::SyncResult<model::Manifest> fetched = QCoro::waitFor(clientFrom(*settings).download());
    if (const auto *error = std::get_if<SyncError>(&fetched))
        return fail(*error, *settings);
    printOutput(model::encodeManifest(std::get<model::Manifest>(fetched)) + '\n');
    return success;
}

} // namespace cli
