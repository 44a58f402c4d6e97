#include "commands.h"

#include "inventory/endpoints.h"
#include "restore/installerscript.h"
#include "restore/restoreplan.h"
#include "restore/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace cli {

namespace {

// A folder of its own for this run under the user's cache folder, kept afterwards so the script can
// be run again by hand; gives nothing (having said why) when it cannot be made.
std::optional<QString> newRestoreFolder() {
    const QString parent =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Haulwise");
    if (!QDir().mkpath(parent)) {
        printError(QCoreApplication::translate("haulwise-cli", "Couldn't make the folder %1.").arg(parent));
        return std::nullopt;
    }
    QTemporaryDir folder(parent + QStringLiteral("/restore-XXXXXX"));
    if (!folder.isValid()) {
        printError(QCoreApplication::translate("haulwise-cli", "Couldn't make a folder in %1: %2")
                       .arg(parent, folder.errorString()));
        return std::nullopt;
    }
    folder.setAutoRemove(false);
    return folder.path();
}

} // namespace

int install(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli", "Restores a manifest in this terminal: writes the Brewfile and the installer script "
                        "into a new folder under the cache folder, runs the script with bash (installing "
                        "Homebrew first when it is missing) and exits with its status."));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QCoreApplication::translate("haulwise-cli",
                                    "Write the two files, print their paths and run nothing."));
    parser.addOption(dryRun);
    addSelectOption(parser);
    if (const auto stop = parseArguments(parser, QStringLiteral("install"), arguments, 1, 1))
        return *stop;

    const auto choice = readChoice(parser);
    if (!choice)
        return failure;
    const restore::RestorePlan plan = restore::RestorePlan::build(choice->manifest, choice->apps);
    reportSkipped(plan);

    const auto folder = newRestoreFolder();
    if (!folder)
        return failure;
    const QString brewfilePath = *folder + QStringLiteral("/Brewfile");
    const QString scriptPath = *folder + QStringLiteral("/restore.command");
    const QUrl installScript =
        inventory::endpointAddress(inventory::Endpoints::defaults().homebrewInstallScript,
                                   QStringLiteral("/Homebrew/install/HEAD/install.sh"));
    platform::Result<void> written = restore::writeUtf8Atomically(brewfilePath, plan.brewfile);
    if (written)
        written = restore::writeUtf8Atomically(
            scriptPath, restore::installerScript(brewfilePath, installScript.toString(QUrl::FullyEncoded)));
    if (written)
        written = restore::makeExecutable(scriptPath);
    if (!written) {
        printError(QCoreApplication::translate("haulwise-cli", "Couldn't write the restore files: %1")
                       .arg(written.message()));
        return failure;
    }
    if (parser.isSet(dryRun)) {
        printOutput((brewfilePath + u'\n' + scriptPath + u'\n').toUtf8());
        return success;
    }

    // The script is the terminal's: Homebrew's installer and sudo talk to the person at it.
    QProcess bash;
    bash.setProcessChannelMode(QProcess::ForwardedChannels);
    bash.setInputChannelMode(QProcess::ForwardedInputChannel);
    bash.start(QStringLiteral("/bin/bash"), {scriptPath});
    if (!bash.waitForStarted(-1)) {
        printError(
            QCoreApplication::translate("haulwise-cli", "Couldn't run bash: %1").arg(bash.errorString()));
        return failure;
    }
    bash.waitForFinished(-1);
    if (bash.exitStatus() != QProcess::NormalExit) {
        printError(QCoreApplication::translate("haulwise-cli",
                                               "The restore script was stopped. Its files are in %1.")
                       .arg(*folder));
        return failure;
    }
    return bash.exitCode();
}

} // namespace cli
