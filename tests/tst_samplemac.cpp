// The sample Mac that scripts/sample-mac builds and scripts/run shows where there is no Mac: scanned
// online by haulwise-cli against the sample service, and looked at by the program through its own
// options, on the scan side and on the restore side alike; and the new sample Mac it restores onto,
// whose Homebrew comes from the stand-in installer, which needs the password given through sudo.

#include "support/clirun.h"
#include "support/memorysecretstore.h"
#include "support/testsettings.h"
#include "support/testworker.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"
#include "support/waitfortask.h"

#include "inventory/inventorymodel.h"
#include "inventory/onlinescan.h"
#include "inventory/scanoptions.h"
#include "model/manifestjson.h"
#include "platform/shellquote.h"
#include "restore/restoremodel.h"
#include "restore/restoreplan.h"
#include "ui/appshell.h"
#include "ui/windowcontroller.h"

#include <QCoroTask>
#include <QProcess>
#include <QQuickItem>
#include <QQuickView>
#include <QtTest>

using model::AppSource;

class SampleMacTest : public QObject {
    Q_OBJECT

private:
    TestSettings m_isolated;
    QTemporaryDir m_dir;
    QString m_root = m_dir.filePath(QStringLiteral("sample-mac"));
    const QString m_home = QStringLiteral("/Users/sample");
    const QStringList m_loginItems{QStringLiteral("Rectangle"),         QStringLiteral("Magnet"),
                                   QStringLiteral("Amphetamine"),       QStringLiteral("Raycast"),
                                   QStringLiteral("Northwind Connect"), QStringLiteral("Dropbox")};

    // scripts/sample-mac with this build's writer, rather than the one the script would build in the
    // default build folder.
    static bool buildSampleMac(const QStringList &arguments) {
        QProcess build;
        build.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HAULWISE_SAMPLEMAC"),
                           QStringLiteral(HAULWISE_BIN_DIR "/haulwise-samplemac"));
        build.setProcessEnvironment(environment);
        build.start(QStringLiteral(HAULWISE_SOURCE_DIR "/scripts/sample-mac"), arguments);
        return build.waitForFinished(120000) && build.exitStatus() == QProcess::NormalExit &&
               build.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(buildSampleMac({m_root}));
    }

    void onlineScanAgainstTheSampleService() {
        TestWorker service(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), QString(),
                           TestWorker::sampleServiceScript);
        if (const QString reason = service.unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(QStringLiteral("The sample service can't be served here: ") + reason));
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        const QString url = service.url().toString();

        const CliRun run =
            runCli({QStringLiteral("scan"), QStringLiteral("--online"), QStringLiteral("--root"), m_root,
                    QStringLiteral("--trust-root-tools"), QStringLiteral("--home"), m_home,
                    QStringLiteral("--catalogue-url"), url, QStringLiteral("--lookup-url"), url});
        QCOMPARE(run.exitCode, 0);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY2(manifest, qPrintable(manifest.message()));

        // Stable casks, but Firefox as the Caskroom has it, Telegram as its cask renames it, Chromium
        // from the build that is not disabled, Zoom by what its package cask uninstalls; every store
        // id known.
        QCOMPARE(manifest->appsWithSource(AppSource::cask).size(), 20);
        const auto manual = manifest->appsWithSource(AppSource::manual);
        QCOMPARE(manual.size(), 4);
        // The iPhone app is read from its wrapped bundle and links to its store page.
        const auto iPhoneApp = std::find_if(manual.cbegin(), manual.cend(),
                                            [](const auto &app) { return app.name == u"Trail Notes"; });
        QVERIFY(iPhoneApp != manual.cend());
        QCOMPARE(iPhoneApp->bundleId, std::optional(QStringLiteral("com.example.trailnotes")));
        QCOMPARE(iPhoneApp->downloadURL,
                 std::optional(QStringLiteral("https://apps.apple.com/app/id1481234567")));
        QStringList chosen;
        for (const model::AppRecord &app : manifest->apps) {
            if (app.caskToken && app.caskToken->contains(u'@'))
                chosen.append(app.name + u'=' + *app.caskToken);
            if (app.name == u"Telegram Desktop" || app.name == u"Chromium" || app.name == u"zoom.us")
                chosen.append(app.name + u'=' + app.caskToken.value_or(QString()));
        }
        QCOMPARE(chosen, (QStringList{QStringLiteral("Chromium=ungoogled-chromium"),
                                      QStringLiteral("Firefox=firefox@esr"),
                                      QStringLiteral("Telegram Desktop=telegram-desktop"),
                                      QStringLiteral("zoom.us=zoom")}));
        const auto store = manifest->appsWithSource(AppSource::appStore);
        QCOMPARE(store.size(), 8); // Keynote and Pages among them: they carry receipts
        QVERIFY(std::all_of(store.cbegin(), store.cend(),
                            [](const auto &app) { return app.appStoreId.has_value(); }));
        QCOMPARE(manifest->hostname, QStringLiteral("sample-mac.local"));
        QCOMPARE(manifest->macosVersion, QStringLiteral("Version 15.1 (Build 24B83)"));
        QCOMPARE(manifest->legacyLoginItems, m_loginItems);
        // Homebrew's records in both prefixes: the kegs asked for, each cask, each tap and the one
        // remote that isn't the default, its token gone. Dependencies and the retired tap stay.
        QCOMPARE(manifest->brewFormulae, words("acme/tools/gizmo gh git hashicorp/tap/terraform htop jq mas "
                                               "node ripgrep rust stripe/stripe-cli/stripe tmux uv wget"));
        QVERIFY(manifest->brewCasks.contains(QStringLiteral("font-jetbrains-mono")));
        QVERIFY(manifest->brewCasks.contains(QStringLiteral("ngrok")));
        QCOMPARE(manifest->brewTaps, words("acme/tools hashicorp/tap homebrew/cask-fonts stripe/stripe-cli"));
        QCOMPARE(
            manifest->brewTapRemotes,
            (QMap<QString, QString>{{QStringLiteral("acme/tools"),
                                     QStringLiteral("https://git.example.com/acme/homebrew-tools.git")}}));
        // Every record but the developer group row, which heads its items rather than being one.
        QCOMPARE(manifest->backgroundItems.size(), 7);
        // The home folder's other kinds: the crate from git kept with where it came from, the font of
        // an installed cask and Apple's left out, the copied Fira Code matched to its cask.
        QCOMPARE(manifest->vscodeExtensions,
                 words("editorconfig.editorconfig esbenp.prettier-vscode golang.go ms-python.python"));
        QCOMPARE(manifest->npmPackages, words("@vue/cli pnpm typescript"));
        QCOMPARE(manifest->cargoCrates,
                 (QStringList{QStringLiteral("cargo-edit"), QStringLiteral("ledger-sync (git)"),
                              QStringLiteral("tokei")}));
        QCOMPARE(manifest->uvTools, (QStringList{QStringLiteral("httpie"), QStringLiteral("ruff")}));
        const QList<model::FontRecord> fonts{
            {QStringLiteral("FiraCode-VF.ttf"), QStringLiteral("font-fira-code")},
            {QStringLiteral("Ledgerline Sans-Regular.otf"), std::nullopt}};
        QCOMPARE(manifest->fonts, fonts);
    }

    // The program's options make its engine; the panel's scan and everything the restore window
    // looks at (installed apps, login items, Homebrew) are then the sample Mac's.
    void programOptionsReachTheScanAndTheRestoreSide() {
        QCommandLineParser parser;
        inventory::scanOptions::addMac(parser);
        inventory::scanOptions::addServices(parser, QString());
        // The services can't be reached there: the online pass adds only what the Mac itself knows.
        QVERIFY(parser.parse({QStringLiteral("haulwise"), QStringLiteral("--root"), m_root,
                              QStringLiteral("--trust-root-tools"), QStringLiteral("--home"), m_home,
                              QStringLiteral("--catalogue-url"), QStringLiteral("http://127.0.0.1:9"),
                              QStringLiteral("--lookup-url"), QStringLiteral("http://127.0.0.1:9")}));
        auto engine = inventory::scanOptions::engine(parser);
        QVERIFY2(engine, qPrintable(engine.message()));
        ui::AppShell::prepareApplication();
        ui::AppShell::Options options;
        options.secrets = std::make_shared<MemorySecretStore>();
        options.engine = std::move(engine).value();
        options.allowStatusItem = false;
        ui::AppShell shell(std::move(options));
        shell.start();

        waitForTask(shell.inventory()->scan());
        QCOMPARE(shell.inventory()->hostname(), QStringLiteral("sample-mac.local"));
        QCOMPARE(ViewHarness::text(qobject_cast<QQuickItem *>(
                     ViewHarness::search(shell.panel()->contentItem(), QStringLiteral("hostname")))),
                 QStringLiteral("sample-mac.local"));
        const model::Manifest manifest = *shell.inventory()->manifest();
        QCOMPARE(manifest.legacyLoginItems, m_loginItems);
        QVERIFY(!manifest.brewFormulae.isEmpty());

        shell.restoreWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(shell.restoreWindow()->window()));
        auto *restore =
            shell.restoreWindow()->window()->rootObject()->property("model").value<restore::RestoreModel *>();
        QVERIFY(restore);
        waitForTask(restore->applyManifest(manifest));
        const auto plan = restore->plan();
        QVERIFY(plan);
        QVERIFY(plan->willInstall.isEmpty());
        QCOMPARE(plan->alreadyInstalled.size(), manifest.installableApps().size());
        QCOMPARE(restore->loginItems()->state(QStringLiteral("Rectangle")),
                 restore::LoginItems::State::AlreadySet);
        QVERIFY(restore->brewfile()->homebrewInstalled());
        // Only the sample Mac's stand-in answers in these words. Its Homebrew is the one in
        // /opt/homebrew: what only the Intel one in /usr/local has is still to install.
        restore->brewfile()->preview();
        QTRY_VERIFY_WITH_TIMEOUT(!restore->brewfile()->isChecking(), 30000);
        QVERIFY2(restore->brewfile()->previewText().endsWith(
                     QStringLiteral("brew bundle can't satisfy your Brewfile's dependencies.\n"
                                    "→ Tap acme/tools needs to be tapped.\n"
                                    "→ Cask ngrok needs to be installed or updated.\n"
                                    "→ Formula acme/tools/gizmo needs to be installed or updated.\n"
                                    "→ Formula htop needs to be installed or updated.\n"
                                    "Satisfy missing dependencies with `brew bundle install`.\n")),
                 qPrintable(restore->brewfile()->previewText()));

        // The installer runs the sample Mac's Homebrew rather than installing one.
        auto terminal = std::make_unique<uiFixtures::RecordingTerminal>();
        const uiFixtures::RecordingTerminal *opened = terminal.get();
        restore::BrewfileHandoff installer(
            shell.inventory()->engine(), [restore] { return restore->plan(); },
            std::make_unique<uiFixtures::RecordingSavePanel>(), std::move(terminal));
        installer.installInTerminal();
        QCOMPARE(opened->opened.size(), 1);
        QFile script(opened->opened.constFirst());
        QVERIFY(script.open(QIODevice::ReadOnly));
        // The sample's own Homebrew is the first one looked for.
        QVERIFY(script.readAll().contains(
            "\n  for b in " +
            platform::shellQuotedPath(m_root + QStringLiteral("/opt/homebrew/bin/brew")).toUtf8() + ' '));
    }

    // Restored onto the new Mac: everything but Apple's apps is to install, and Homebrew is missing
    // until its installer runs, which refuses without a password, as the real one does without
    // questions, and afterwards leaves a brew there that runs the bundle.
    void restoreOntoTheNewMac() {
        const QString newRoot = m_dir.filePath(QStringLiteral("new-mac"));
        QVERIFY(buildSampleMac({QStringLiteral("--from"),
                                QStringLiteral(HAULWISE_SOURCE_DIR "/scripts/sample-mac.d/new-mac.mac"),
                                newRoot}));

        QCommandLineParser parser;
        inventory::scanOptions::addMac(parser);
        inventory::scanOptions::addServices(parser, QString());
        inventory::scanOptions::addRestore(parser);
        QVERIFY(parser.parse({QStringLiteral("haulwise"), QStringLiteral("--root"), m_root,
                              QStringLiteral("--home"), m_home, QStringLiteral("--restore-root"), newRoot}));
        const auto engine = inventory::scanOptions::engine(parser);
        const auto newMac = inventory::scanOptions::restoreEngine(parser);
        QVERIFY(engine && newMac);
        // Offline: an online scan here would ask the real catalogue's and lookup's hosts.
        const auto old = waitForTask(inventory::scan(*engine, false));
        QVERIFY2(old, qPrintable(old.message()));
        syncing::AppSettings settings(std::make_shared<MemorySecretStore>());
        restore::RestoreModel restore(*newMac, settings, std::make_unique<uiFixtures::RecordingSavePanel>(),
                                      std::make_unique<uiFixtures::RecordingTerminal>());
        waitForTask(restore.applyManifest(*old));
        QVERIFY(restore.plan()->alreadyInstalled.isEmpty());
        QCOMPARE(restore.plan()->willInstall.size() + restore.plan()->manual.size(),
                 old->installableApps().size());
        QVERIFY(!restore.brewfile()->homebrewInstalled());

        TestWorker service(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), QString(),
                           TestWorker::sampleServiceScript);
        if (const QString reason = service.unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(QStringLiteral("The sample service can't be served here: ") + reason));
#ifndef Q_OS_LINUX
        QSKIP(
            "Typing the password into a terminal here uses util-linux's script, whose options a Mac's lacks");
#endif
        if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("The installer needs curl, and typing the password needs script");
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"), newRoot + QStringLiteral("/usr/bin:") + newRoot +
                                                       QStringLiteral("/opt/homebrew/bin:") +
                                                       environment.value(QStringLiteral("PATH")));
        const QString install = QStringLiteral("NONINTERACTIVE=1 /bin/bash -c \"$(curl -fsSL ") +
                                service.url().toString() +
                                QStringLiteral("/Homebrew/install/HEAD/install.sh)\"");
        // What a terminal shows for `command`, typing `typed` into it.
        const auto inTerminal = [&](const QString &command, const QByteArray &typed = {}) {
            QProcess terminal;
            terminal.setProcessEnvironment(environment);
            terminal.setProcessChannelMode(QProcess::MergedChannels);
            terminal.start(QStringLiteral("script"),
                           {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
            if (!typed.isEmpty()) {
                if (!QTest::qWaitFor([&] { return terminal.readAll().contains("Password:"); }, 10000))
                    return QByteArray("never asked for the password");
                terminal.write(typed);
            }
            terminal.waitForFinished(60000);
            return terminal.exitCode() == 0 ? QByteArray("ok\n") + terminal.readAll() : terminal.readAll();
        };
        const QString brew = newRoot + QStringLiteral("/opt/homebrew/bin/brew");
        QVERIFY(inTerminal(install).contains("Need sudo access on macOS"));
        QVERIFY(!QFile::exists(brew));
        QVERIFY(inTerminal(QStringLiteral("sudo -v"), "wrong\nsample\n").startsWith("ok\n"));
        const QByteArray installed = inTerminal(install);
        QVERIFY2(installed.startsWith("ok\n") && QFileInfo(brew).isExecutable(), installed.constData());
    }

    void badProgramOptionsPrintTheUsage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--frobnicate")} << QStringLiteral("Unknown option 'frobnicate'.");
        QTest::newRow("root without a folder")
            << QStringList{QStringLiteral("--root")} << QStringLiteral("Missing value after '--root'.");
        QTest::newRow("not a service address")
            << QStringList{QStringLiteral("--lookup-url"), QStringLiteral("ftp://example.com")}
            << QStringLiteral("--lookup-url: \"ftp://example.com\" is not a service address");
        QTest::newRow("not an install address")
            << QStringList{QStringLiteral("--install-url"), QStringLiteral("file:///tmp")}
            << QStringLiteral("--install-url: \"file:///tmp\" is not a service address");
        QTest::newRow("an argument") << QStringList{QStringLiteral("/Volumes/Old")}
                                     << QStringLiteral("Unexpected argument: /Volumes/Old");
    }

    void badProgramOptionsPrintTheUsage() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, problem);
        const CliRun run = runCli(arguments, CliOptions{.program = QStringLiteral("haulwise")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.startsWith(problem.toUtf8()) || run.err.contains('\n' + problem.toUtf8()),
                 run.err.constData());
        QVERIFY2(run.err.contains("\nUsage: haulwise [options]\n"), run.err.constData());
    }
};

QTEST_MAIN(SampleMacTest)
#include "tst_samplemac.moc"
