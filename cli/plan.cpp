#include "commands.h"

#include "inventory/inventoryengine.h"
#include "model/manifestjson.h"
#include "restore/brewfile.h"
#include "restore/restoreplan.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>

namespace cli {

namespace {

const QString selectOption = QStringLiteral("select");

} // namespace

void addSelectOption(QCommandLineParser &parser) {
    parser.addOption(
        {selectOption,
         QCoreApplication::translate("haulwise-cli",
                                     "Choose the app at PATH (its path in the manifest); repeat for more. "
                                     "Without it every installable app is chosen."),
         QStringLiteral("PATH")});
    parser.addPositionalArgument(
        QStringLiteral("MANIFEST"),
        QCoreApplication::translate("haulwise-cli", "The manifest file, or - for standard input."));
}

namespace {

// The manifest named on the command line; prints why and gives nothing when it cannot be had.
std::optional<model::Manifest> readManifest(const QString &name) {
    const QString shownName =
        name == u'-' ? QCoreApplication::translate("haulwise-cli", "standard input") : name;
    const platform::Result<QByteArray> bytes = readInput(name);
    if (!bytes) {
        printError(QCoreApplication::translate("haulwise-cli", "Couldn't read the manifest %1: %2")
                       .arg(shownName, bytes.message()));
        return std::nullopt;
    }
    auto manifest = model::decodeManifest(*bytes);
    if (!manifest) {
        printError(QCoreApplication::translate("haulwise-cli", "The manifest in %1 is not valid: %2")
                       .arg(shownName, manifest.message()));
        return std::nullopt;
    }
    return std::move(manifest).value();
}

// How an app at a shared path is told apart from the others there.
QString describeCandidate(const model::AppRecord &app) {
    QString text = restore::rubyStringLiteral(app.name) + u' ' + model::toJsonText(app.source);
    if (app.caskToken)
        text += u' ' + restore::rubyStringLiteral(*app.caskToken);
    else if (app.appStoreId)
        text += QStringLiteral(" id ") + QString::number(*app.appStoreId);
    return text;
}

// The chosen apps, by position in the manifest: every installable app, or exactly those given with
// --select, each of which must name one installable app (a mistyped path is an error, not a smaller
// plan; a path two apps share would choose an app the user never looked at).
std::optional<QSet<qsizetype>> chosenApps(const QCommandLineParser &parser, const model::Manifest &manifest) {
    QHash<QString, QList<qsizetype>> installable;
    for (qsizetype position = 0; position < manifest.apps.size(); ++position) {
        if (manifest.apps.at(position).source != model::AppSource::apple)
            installable[manifest.apps.at(position).path].append(position);
    }
    QSet<qsizetype> chosen;
    if (!parser.isSet(selectOption)) {
        for (const QList<qsizetype> &positions : std::as_const(installable))
            chosen.unite(QSet<qsizetype>(positions.cbegin(), positions.cend()));
        return chosen;
    }
    for (const QString &path : parser.values(selectOption)) {
        const QList<qsizetype> positions = installable.value(path);
        if (positions.isEmpty()) {
            printError(QCoreApplication::translate(
                           "haulwise-cli", "--select %1: the manifest has no installable app at that path.")
                           .arg(restore::escapedControls(path)));
            return std::nullopt;
        }
        if (positions.size() > 1) {
            QStringList candidates;
            for (const qsizetype position : positions)
                candidates.append(describeCandidate(manifest.apps.at(position)));
            printError(QCoreApplication::translate(
                           "haulwise-cli", "--select %1: the manifest has %2 apps at that path, so it "
                                           "can't say which one: %3.")
                           .arg(restore::escapedControls(path), QString::number(positions.size()),
                                candidates.join(QStringLiteral("; "))));
            return std::nullopt;
        }
        chosen.insert(positions.constFirst());
    }
    return chosen;
}

} // namespace

std::optional<Choice> readChoice(const QCommandLineParser &parser) {
    auto manifest = readManifest(parser.positionalArguments().constFirst());
    if (!manifest)
        return std::nullopt;
    auto chosen = chosenApps(parser, *manifest);
    if (!chosen)
        return std::nullopt;
    return Choice{std::move(*manifest), std::move(*chosen)};
}

void reportSkipped(const restore::RestorePlan &plan) {
    for (const restore::SkippedEntry &entry : plan.skipped)
        printError(entry.describe());
}

namespace {

using model::jsonString;

QByteArray jsonArray(const QStringList &texts) {
    QByteArray json = "[";
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0)
            json += ',';
        json += jsonString(texts.at(i));
    }
    return json + ']';
}

QStringList pathsOf(const QList<model::AppRecord> &apps) {
    QStringList paths;
    paths.reserve(apps.size());
    for (const model::AppRecord &app : apps)
        paths.append(app.path);
    return paths;
}

// The other kinds' members of the plan, each with a leading comma, named as in a manifest.
QByteArray packagesJson(const restore::RestorePlan &plan) {
    using restore::BrewfileKind;
    const std::pair<const char *, BrewfileKind> members[] = {{"vscodeExtensions", BrewfileKind::extension},
                                                             {"npmPackages", BrewfileKind::npm},
                                                             {"cargoCrates", BrewfileKind::crate},
                                                             {"uvTools", BrewfileKind::pythonTool},
                                                             {"fontCasks", BrewfileKind::fontCask}};
    QByteArray json;
    for (const auto &[key, kind] : members)
        json += ",\"" + QByteArray(key) + "\":" + jsonArray(restore::ofKind(plan.packages, kind));
    return json;
}

} // namespace

int plan(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli",
        "Compares a manifest with this Mac and prints the restore plan as one JSON object: "
        "willInstall, alreadyInstalled and manual (app paths), otherCasks (the Homebrew casks "
        "no app stands for), loginItems, the chosen vscodeExtensions, npmPackages, cargoCrates, "
        "uvTools and fontCasks, fontsByHand (font files to copy by hand) and brewfile."));
    inventory::scanOptions::addMac(parser);
    addSelectOption(parser);
    if (const auto stop = parseArguments(parser, QStringLiteral("plan"), arguments, 1, 1))
        return *stop;

    const auto choice = readChoice(parser);
    if (!choice)
        return failure;

    const restore::RestorePlan plan = restore::RestorePlan::build(
        choice->manifest, choice->apps,
        restore::InstalledApps::fromScan(
            inventory::InventoryEngine(inventory::scanOptions::mac(parser)).scanApps()));
    reportSkipped(plan);

    printOutput("{\"willInstall\":" + jsonArray(pathsOf(plan.willInstall)) + ",\"alreadyInstalled\":" +
                jsonArray(pathsOf(plan.alreadyInstalled)) + ",\"manual\":" + jsonArray(pathsOf(plan.manual)) +
                ",\"otherCasks\":" + jsonArray(plan.otherCasks) +
                ",\"loginItems\":" + jsonArray(plan.loginItems) + packagesJson(plan) + ",\"fontsByHand\":" +
                jsonArray(plan.fontsByHand) + ",\"brewfile\":" + jsonString(plan.brewfile) + "}\n");
    return success;
}

int brewfile(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "haulwise-cli", "Prints the Brewfile for a manifest, exactly as written."));
    addSelectOption(parser);
    if (const auto stop = parseArguments(parser, QStringLiteral("brewfile"), arguments, 1, 1))
        return *stop;

    const auto choice = readChoice(parser);
    if (!choice)
        return failure;
    // Which apps are already on this Mac decides the plan's lists, never the Brewfile.
    const restore::RestorePlan plan = restore::RestorePlan::build(choice->manifest, choice->apps);
    reportSkipped(plan);
    printOutput(plan.brewfile.toUtf8());
    return success;
}

} // namespace cli
