#include "restore/brewfilehandoff.h"

#include "platform/shellquote.h"
#include "restore/commandrunner.h"
#include "restore/installerscript.h"
#include "restore/textfile.h"
#include "tools/brew.h"

#include <QClipboard>
#include <QCoroFuture>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QStandardPaths>
#include <QtConcurrent>

namespace restore {

using model::AppRecord;
using model::AppSource;

namespace {

const QString brewfileName = QStringLiteral("Brewfile");
const QString scriptName = QStringLiteral("restore.command");
QString previewIntroduction() {
    return BrewfileHandoff::tr("This is what Homebrew will install. Homebrew only tracks packages it\n"
                               "installed itself, so apps you added manually show as \"needs install\"\n"
                               "here even if they're already on this Mac. On a clean new Mac this list\n"
                               "is exactly what gets set up. Nothing is installed by this preview.\n");
}

QString nothingToInstallText() {
    return BrewfileHandoff::tr("All dependencies are already satisfied — nothing to install.");
}

int count(qsizetype n) {
    return static_cast<int>(n);
}

QString withoutHomebrewText(const RestorePlan &plan) {
    const auto countSource = [&plan](AppSource source) {
        return std::count_if(plan.willInstall.cbegin(), plan.willInstall.cend(),
                             [source](const AppRecord &app) { return app.source == source; });
    };
    return BrewfileHandoff::tr("Homebrew isn't installed on this Mac yet.\n\n"
                               "\"Install in Terminal\" would:\n"
                               "  1. Install Homebrew (one password prompt)\n") +
           BrewfileHandoff::tr("  2. Install %n app(s) via Homebrew cask\n", nullptr,
                               count(countSource(AppSource::cask))) +
           BrewfileHandoff::tr("  3. Install %n app(s) from the Mac App Store\n", nullptr,
                               count(countSource(AppSource::appStore))) +
           BrewfileHandoff::tr("  4. Install %n command-line tool(s)\n\n", nullptr,
                               count(plan.formulae.size())) +
           BrewfileHandoff::tr("%n app(s) need a manual download (listed above).\n"
                               "Nothing has been installed — this is only a preview.",
                               nullptr, count(plan.manual.size()));
}

// Runs on the thread pool: what the preview shows after its introduction.
QString homebrewAnswer(const QString &brewPath, const QString &brewfilePath, platform::ProcessLimits limits) {
    const QString output = runCommand(brewPath, tools::brew::bundleCheckArguments(brewfilePath), limits);
    return output.trimmed().isEmpty() ? nothingToInstallText() : output;
}

} // namespace

BrewfileHandoff::BrewfileHandoff(inventory::InventoryEngine engine, PlanSource plan,
                                 std::unique_ptr<platform::SavePanel> savePanel,
                                 std::unique_ptr<platform::TerminalLauncher> terminalLauncher,
                                 QObject *parent)
    : QObject(parent)
    , m_engine(std::move(engine))
    , m_plan(std::move(plan))
    , m_savePanel(std::move(savePanel))
    , m_terminalLauncher(std::move(terminalLauncher))
    , m_homebrewInstalled(m_engine.brewPath().has_value()) {}

BrewfileHandoff::~BrewfileHandoff() = default;

void BrewfileHandoff::setPreviewText(const std::optional<QString> &text) {
    if (m_previewText == text)
        return;
    m_previewText = text;
    Q_EMIT previewTextChanged();
}

void BrewfileHandoff::setChecking(bool checking) {
    if (m_checking == checking)
        return;
    m_checking = checking;
    Q_EMIT isCheckingChanged();
}

void BrewfileHandoff::refreshHomebrew() {
    const bool installed = m_engine.brewPath().has_value();
    if (installed == m_homebrewInstalled)
        return;
    m_homebrewInstalled = installed;
    Q_EMIT homebrewInstalledChanged();
}

std::optional<RestorePlan> BrewfileHandoff::planToHandOn() {
    std::optional<RestorePlan> plan = m_plan();
    if (plan)
        Q_EMIT started();
    return plan;
}

QString BrewfileHandoff::supportDirectory() {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Haulwise");
    // A folder that cannot be made shows up as the next write's failure, which is reported.
    QDir().mkpath(folder);
    return folder;
}

platform::Result<QString> BrewfileHandoff::writeBrewfile(const RestorePlan &plan) {
    const QString path = supportDirectory() + u'/' + brewfileName;
    if (const auto written = writeUtf8Atomically(path, plan.brewfile); !written)
        return written.failure();
    return path;
}

void BrewfileHandoff::copy() {
    const auto plan = planToHandOn();
    if (!plan)
        return;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        Q_EMIT failed(tr("Couldn't copy."),
                      tr("The clipboard isn't available, so the Brewfile wasn't copied."));
        return;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(plan->brewfile);
    Q_EMIT finished(tr("Brewfile copied to clipboard."));
}

void BrewfileHandoff::save() {
    const auto plan = planToHandOn();
    if (!plan)
        return;
    const auto path = m_savePanel->askForPath(tr("Save Brewfile"), brewfileName);
    if (!path)
        return;
    if (const auto written = writeUtf8Atomically(*path, plan->brewfile); !written) {
        Q_EMIT failed(tr("Couldn't save."), written.message());
        return;
    }
    if (m_savedPath != *path) {
        m_savedPath = *path;
        Q_EMIT savedPathChanged();
    }
    // Single quotes: the user pastes this into an interactive shell, which expands "!" and "$" even
    // between double quotes.
    Q_EMIT finished(tr("Saved. Run:  %1")
                        .arg(QStringLiteral("brew bundle --file=") + platform::shellSingleQuoted(*path)));
}

void BrewfileHandoff::preview() {
    const auto plan = planToHandOn();
    if (!plan)
        return;
    const auto brewfilePath = writeBrewfile(*plan);
    if (!brewfilePath) {
        Q_EMIT failed(tr("Couldn't preview."), brewfilePath.message());
        return;
    }
    refreshHomebrew();
    const auto brew = m_engine.brewPath();
    if (!brew) {
        setPreviewText(withoutHomebrewText(*plan));
        return;
    }
    setChecking(true);
    setPreviewText(checkingText());
    checkWithHomebrew(m_engine.fileManager().resolve(*brew), *brewfilePath);
}

QCoro::Task<> BrewfileHandoff::checkWithHomebrew(QString brewPath, QString brewfilePath) {
    // The coroutine only waits and hands over: g++ 12 mishandles temporaries that live across a
    // co_await, so the work around it happens in plain functions.
    const QPointer<BrewfileHandoff> self(this);
    const platform::ProcessLimits limits = m_engine.toolLimits().forTool(brewPath);
    QFuture<QString> check =
        QtConcurrent::run(&homebrewAnswer, std::move(brewPath), std::move(brewfilePath), limits);
    QString answer = co_await check;
    if (!self)
        co_return;
    self->setPreviewText(previewIntroduction() + answer);
    self->setChecking(false);
}

void BrewfileHandoff::closePreview() {
    setPreviewText(std::nullopt);
}

void BrewfileHandoff::installInTerminal() {
    const auto plan = planToHandOn();
    if (!plan)
        return;
    const QUrl installScript = inventory::endpointAddress(
        m_engine.endpoints().homebrewInstallScript, QStringLiteral("/Homebrew/install/HEAD/install.sh"));
    const QString scriptPath = supportDirectory() + u'/' + scriptName;
    // A Mac under a root restores with the Homebrew it has there, never one installed on this machine.
    std::optional<QString> rootBrew;
    if (const auto brew = m_engine.brewPath(); brew && m_engine.fileManager().hasRoot())
        rootBrew = m_engine.fileManager().resolve(*brew);

    platform::Result<void> handedOver;
    if (const auto brewfilePath = writeBrewfile(*plan); !brewfilePath)
        handedOver = brewfilePath.failure();
    else
        handedOver = writeUtf8Atomically(
            scriptPath, installerScript(*brewfilePath, installScript.toString(QUrl::FullyEncoded), rootBrew));
    if (handedOver)
        handedOver = makeExecutable(scriptPath);
    if (handedOver)
        handedOver = m_terminalLauncher->open(scriptPath);
    if (!handedOver) {
        Q_EMIT failed(tr("Couldn't install."), handedOver.message());
        return;
    }
    refreshHomebrew();
    Q_EMIT finished(m_homebrewInstalled ? tr("Running brew bundle in Terminal…")
                                        : tr("Installing Homebrew, then your apps, in Terminal…"));
}

} // namespace restore
