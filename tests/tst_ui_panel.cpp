// The menu panel, drawn offscreen with the real inventory model scanning a fake Mac whose catalogue
// and App Store lookups are served locally, and the real settings.

#include "support/memorysecretstore.h"
#include "support/testsettings.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"

#include "inventory/inventorymodel.h"
#include "sync/appsettings.h"
#include "ui/panelactions.h"
#include "ui/proportionbar.h"

#include <QColor>
#include <QtTest>

using namespace uiFixtures;
using namespace std::chrono_literals;
using inventory::InventoryModel;

class TestPanel : public QObject {
    Q_OBJECT

private:
    TestSettings m_isolated;
    std::shared_ptr<MemorySecretStore> m_secrets = std::make_shared<MemorySecretStore>();
    std::unique_ptr<syncing::AppSettings> m_settings;
    QStringList m_actions;
    std::unique_ptr<ui::PanelActions> m_panelActions;

    std::unique_ptr<ViewHarness> show(InventoryModel &model) {
        auto harness = std::make_unique<ViewHarness>(
            QStringLiteral("MenuContentView"),
            QVariantMap{{QStringLiteral("model"), QVariant::fromValue(&model)},
                        {QStringLiteral("actions"), QVariant::fromValue(m_panelActions.get())}},
            QSize(), m_settings.get());
        return harness;
    }

    void configure(const QString &url, const QString &token) {
        m_settings->setWorkerURL(url);
        m_settings->setToken(token);
    }

    // Scans to the end and waits for the panel to show the result.
    static void scan(InventoryModel &model) {
        model.startScan();
        QTRY_VERIFY_WITH_TIMEOUT(!model.isBusy() && model.hasManifest(), 30000);
    }

private Q_SLOTS:
    // Runs first, while the token is still on its way from the keychain (held back until the panel has
    // been drawn): until it arrives the panel neither says the program isn't set up nor holds Export
    // back for it.
    void initTestCase() {
        m_panelActions = std::make_unique<ui::PanelActions>(ui::PanelActions::Handlers{
            .showRestore = [this] { m_actions.append(QStringLiteral("restore")); },
            .showSettings = [this] { m_actions.append(QStringLiteral("settings")); },
            .quit = [this] { m_actions.append(QStringLiteral("quit")); },
        });
        m_secrets->hold();
        m_settings = std::make_unique<syncing::AppSettings>(m_secrets);
        OldMac mac;
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        QQuickItem *hint = panel->find(QStringLiteral("configureHint"));
        QList<bool> hintWhileReading;
        const auto record = [&] {
            if (!m_settings->isTokenLoaded())
                hintWhileReading.append(ViewHarness::isShown(hint));
        };
        record();
        connect(hint, &QQuickItem::visibleChanged, this, record);
        m_secrets->release();
        QTRY_VERIFY_WITH_TIMEOUT(m_settings->isTokenLoaded(), 20000);
        QVERIFY2(!hintWhileReading.isEmpty(), "the keychain answered before the panel was drawn");
        QCOMPARE(hintWhileReading, QList<bool>(hintWhileReading.size(), false));
        // Nothing is configured in this test's fresh settings, so now the hint shows.
        if (!m_settings->isConfigured())
            QVERIFY(ViewHarness::isShown(hint));
    }

    void init() {
        m_actions.clear();
        configure({}, {});
    }

    void beforeAnyScan() {
        OldMac mac;
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        QVERIFY(panel->isReady());
        QVERIFY2(panel->warnings().isEmpty(), qPrintable(panel->warnings().join(u'\n')));

        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("status"))), QStringLiteral("Not scanned yet"));
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("placeholder"))));
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("placeholder"))),
                 QStringLiteral("Scan this Mac to see what would migrate."));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("appCountBlock"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("bar"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("legend"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("needsYou"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("busy"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("error"))));
        QVERIFY(panel->find(QStringLiteral("scan"))->isEnabled());
        QVERIFY(!panel->find(QStringLiteral("export"))->isEnabled());
        // The hint shows before any scan as well.
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("configureHint"))));
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("configureHint"))),
                 QStringLiteral("Set your Worker URL & token in Settings to export."));
        QVERIFY(panel->find(QStringLiteral("restore"))->isEnabled());
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("restore"))),
                 QStringLiteral("Restore on a new Mac…"));
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("settings"))), QStringLiteral("Settings…"));
    }

    void whileScanning() {
        configure(QStringLiteral("https://haulwise-sync.example.workers.dev"), QStringLiteral("token"));
        OldMac mac;
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        QVERIFY(panel->isReady());

        mac.holdAnswers(2s);
        model.startScan();
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("status"))), QStringLiteral("Scanning apps…"));
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("busy"))));
        QVERIFY(panel->find(QStringLiteral("scan"))->isEnabled());
        QVERIFY(!panel->find(QStringLiteral("export"))->isEnabled());

        // The offline pass is on screen while the online one runs; Export waits for the end.
        QTRY_COMPARE_WITH_TIMEOUT(ViewHarness::text(panel->find(QStringLiteral("status"))),
                                  QStringLiteral("Matching casks & App Store IDs…"), 20000);
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("appCountBlock"))));
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("busy"))));
        QVERIFY(!panel->find(QStringLiteral("export"))->isEnabled());
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("placeholder"))));

        QTRY_VERIFY_WITH_TIMEOUT(!model.isBusy(), 30000);
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("busy"))));
        QVERIFY(panel->find(QStringLiteral("export"))->isEnabled());
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("status"))),
                 QStringLiteral("10 installable · 4 built-in"));
    }

    void afterScanWithManualApps() {
        OldMac mac;
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);

        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("appCount"))), QStringLiteral("14"));
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("appCountBlock"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("placeholder"))));
        const auto tile = [&](const QString &name) { return panel->find(name); };
        QCOMPARE(
            ViewHarness::text(ViewHarness::findIn(tile(QStringLiteral("autoTile")), QStringLiteral("count"))),
            QStringLiteral("8"));
        QCOMPARE(
            ViewHarness::text(ViewHarness::findIn(tile(QStringLiteral("autoTile")), QStringLiteral("label"))),
            QStringLiteral("Auto-install"));
        QCOMPARE(ViewHarness::text(
                     ViewHarness::findIn(tile(QStringLiteral("manualTile")), QStringLiteral("count"))),
                 QStringLiteral("2"));
        QCOMPARE(ViewHarness::text(
                     ViewHarness::findIn(tile(QStringLiteral("manualTile")), QStringLiteral("label"))),
                 QStringLiteral("Manual"));
        QCOMPARE(ViewHarness::text(
                     ViewHarness::findIn(tile(QStringLiteral("builtInTile")), QStringLiteral("count"))),
                 QStringLiteral("4"));
        QCOMPARE(ViewHarness::text(
                     ViewHarness::findIn(tile(QStringLiteral("builtInTile")), QStringLiteral("label"))),
                 QStringLiteral("Built-in"));

        QCOMPARE(ViewHarness::colourName(
                     ViewHarness::findIn(tile(QStringLiteral("autoTile")), QStringLiteral("count"))),
                 QStringLiteral("blue"));
        QCOMPARE(ViewHarness::colourName(
                     ViewHarness::findIn(tile(QStringLiteral("manualTile")), QStringLiteral("count"))),
                 QStringLiteral("orange"));
        QCOMPARE(ViewHarness::colourName(
                     ViewHarness::findIn(tile(QStringLiteral("builtInTile")), QStringLiteral("count"))),
                 QStringLiteral("grey"));
        QCOMPARE(ViewHarness::colourName(panel->find(QStringLiteral("status"))), QStringLiteral("grey"));

        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("needsYou"))));
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("needsYouTitle"))),
                 QStringLiteral("Needs you — 2"));
        // Manifest order, which is the scan's name order.
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("manualNames"))),
                 QStringLiteral("Logi Options+, ScanSnap Home"));

        auto *bar = panel->find<ui::ProportionBar>(QStringLiteral("bar"));
        QVERIFY(bar && bar->isVisible());
        QCOMPARE(bar->height(), 8.0);
        QCOMPARE(bar->autoWidth(), bar->width() * 8 / 14);
        QCOMPARE(bar->manualWidth(), bar->width() * 2 / 14);
        QCOMPARE(bar->builtInWidth(), bar->width() - bar->autoWidth() - bar->manualWidth() - 4);
    }

    void afterScanWithoutManualApps() {
        OldMac mac({{QStringLiteral("Firefox"), AppSource::cask, QStringLiteral("firefox"), 0},
                    {QStringLiteral("Calculator"), AppSource::apple, {}, 0}});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("appCount"))), QStringLiteral("2"));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("needsYou"))));
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("legend"))));
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("also"))));
    }

    void otherKindsInOneLine() {
        OldMac mac({{QStringLiteral("Firefox"), AppSource::cask, QStringLiteral("firefox"), 0}});
        mac.disk().makeFolder(FakeMac::home() + QStringLiteral("/.vscode/extensions/golang.go-0.44.0"));
        mac.disk().makeFolder(QStringLiteral("/opt/homebrew/lib/node_modules/typescript"));
        mac.disk().makeFolder(QStringLiteral("/opt/homebrew/lib/node_modules/pnpm"));
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("also"))));
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("also"))),
                 QStringLiteral("Also: 1 extension, 2 npm packages"));
    }

    void oneManualApp() {
        OldMac mac({{QStringLiteral("Zebra"), AppSource::manual, {}, 0}});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("needsYouTitle"))),
                 QStringLiteral("Needs you — 1"));
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("manualNames"))), QStringLiteral("Zebra"));
    }

    void noApplicationsAtAll() {
        OldMac mac(QList<App>{});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("appCount"))), QStringLiteral("0"));
        for (const QString &tile :
             {QStringLiteral("autoTile"), QStringLiteral("manualTile"), QStringLiteral("builtInTile")})
            QCOMPARE(ViewHarness::text(ViewHarness::findIn(panel->find(tile), QStringLiteral("count"))),
                     QStringLiteral("0"));
        // Nothing to share out: the first two segments have no width and the bar is all grey.
        auto *bar = panel->find<ui::ProportionBar>(QStringLiteral("bar"));
        QCOMPARE(bar->autoWidth(), 0.0);
        QCOMPARE(bar->manualWidth(), 0.0);
        QCOMPARE(bar->builtInWidth(), bar->width() - 4);
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("needsYou"))));
    }

    void longListOfManualNamesIsCutAfterThreeLines() {
        QList<App> apps;
        for (int i = 0; i < 40; ++i)
            apps.append({QStringLiteral("Manual Application Number %1").arg(i, 2, 10, QLatin1Char('0')),
                         AppSource::manual,
                         {},
                         0});
        OldMac mac(apps);
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);
        QQuickItem *names = panel->find(QStringLiteral("manualNames"));
        QCOMPARE(names->property("lineCount").toInt(), 3);
        QVERIFY(names->property("truncated").toBool());
    }

    void failedExport() {
        LocalHttpServer worker([](const LocalHttpServer::Request &) { return reply(401, "Unauthorized"); });
        configure(worker.url().toString(), QStringLiteral("wrong-token"));
        OldMac mac;
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        scan(model);

        panel->click(panel->find(QStringLiteral("export")));
        QTRY_COMPARE_WITH_TIMEOUT(ViewHarness::text(panel->find(QStringLiteral("status"))),
                                  QStringLiteral("Export failed"), 20000);
        QTRY_VERIFY(!model.isBusy());
        QQuickItem *error = panel->find(QStringLiteral("error"));
        QVERIFY(ViewHarness::isShown(error));
        QCOMPARE(ViewHarness::text(error), QStringLiteral("Server returned 401: Unauthorized"));
        QCOMPARE(ViewHarness::colourName(error), QStringLiteral("red"));
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("appCountBlock"))));
        QVERIFY(panel->find(QStringLiteral("export"))->isEnabled());

        // A new scan clears the message.
        scan(model);
        QVERIFY(!ViewHarness::isShown(panel->find(QStringLiteral("error"))));
    }

    void exportFollowsTheSettings_data() {
        QTest::addColumn<QString>("workerURL");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("configured");

        QTest::newRow("nothing set") << QString() << QString() << false;
        QTest::newRow("no token") << QStringLiteral("https://w.example.dev") << QString() << false;
        QTest::newRow("no Worker URL") << QString() << QStringLiteral("token") << false;
        QTest::newRow("URL of spaces") << QStringLiteral("   ") << QStringLiteral("token") << false;
        QTest::newRow("URL of a tab") << QStringLiteral("\t") << QStringLiteral("token") << false;
        QTest::newRow("token of a space")
            << QStringLiteral("https://w.example.dev") << QStringLiteral(" ") << true;
        QTest::newRow("both set") << QStringLiteral("https://w.example.dev") << QStringLiteral("token")
                                  << true;
    }

    void exportFollowsTheSettings() {
        QFETCH(QString, workerURL);
        QFETCH(QString, token);
        QFETCH(bool, configured);

        OldMac mac({{QStringLiteral("Zebra"), AppSource::manual, {}, 0}});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        // Before a scan Export is off whatever the settings say; the hint follows the settings alone.
        configure(workerURL, token);
        QVERIFY(!panel->find(QStringLiteral("export"))->isEnabled());
        QCOMPARE(ViewHarness::isShown(panel->find(QStringLiteral("configureHint"))), !configured);

        scan(model);
        QCOMPARE(panel->find(QStringLiteral("export"))->isEnabled(), configured);
        QCOMPARE(ViewHarness::isShown(panel->find(QStringLiteral("configureHint"))), !configured);

        // Settings edited while the panel is open redraw it.
        configure({}, {});
        QVERIFY(!panel->find(QStringLiteral("export"))->isEnabled());
        QVERIFY(ViewHarness::isShown(panel->find(QStringLiteral("configureHint"))));
    }

    void windowButtonsCallTheirActions() {
        OldMac mac(QList<App>{});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        panel->click(panel->find(QStringLiteral("restore")));
        panel->click(panel->find(QStringLiteral("settings")));
        panel->click(panel->find(QStringLiteral("quit")));
        QCOMPARE(m_actions, (QStringList{QStringLiteral("restore"), QStringLiteral("settings"),
                                         QStringLiteral("quit")}));
    }

    void scanButtonStartsAScan() {
        OldMac mac({{QStringLiteral("Zebra"), AppSource::manual, {}, 0}});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        panel->click(panel->find(QStringLiteral("scan")));
        QTRY_VERIFY_WITH_TIMEOUT(model.hasManifest() && !model.isBusy(), 30000);
        QCOMPARE(ViewHarness::text(panel->find(QStringLiteral("appCount"))), QStringLiteral("1"));
    }

    void panelIsThreeHundredFortyWide() {
        OldMac mac(QList<App>{});
        InventoryModel model(mac.engine(), *m_settings);
        auto panel = show(model);
        QCOMPARE(panel->root()->width(), 340.0);
        const qreal before = panel->root()->height();
        scan(model);
        // The height follows the content.
        QVERIFY(panel->root()->height() > before);
    }
};

QTEST_MAIN(TestPanel)
#include "tst_ui_panel.moc"
