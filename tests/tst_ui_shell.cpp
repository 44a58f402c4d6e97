// The program around the views: the panel as a window where there is no status area (as offscreen),
// the restore and settings windows made once and kept, and quitting.

#include "support/memorysecretstore.h"
#include "support/testsettings.h"
#include "support/testworker.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"
#include "support/waitfortask.h"

#include "inventory/inventorymodel.h"
#include "restore/restoremodel.h"
#include "sync/appsettings.h"
#include "ui/appshell.h"
#include "ui/windowcontroller.h"

#include <QCoroTask>
#include <QEventLoop>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>
#include <QtTest>

using namespace uiFixtures;

class TestShell : public QObject {
    Q_OBJECT

private:
    TestSettings m_isolated;
    std::shared_ptr<MemorySecretStore> m_secrets = std::make_shared<MemorySecretStore>();
    std::unique_ptr<OldMac> m_oldMac;
    std::unique_ptr<NewMac> m_newMac;
    std::unique_ptr<ui::AppShell> m_shell;
    int m_restoreModelsMade = 0;
    QTemporaryDir m_saveFolder;
    QString m_savedBrewfile = m_saveFolder.filePath(QStringLiteral("Brewfile"));

    QQuickItem *inPanel(const QString &name) const {
        return qobject_cast<QQuickItem *>(ViewHarness::search(m_shell->panel()->contentItem(), name));
    }
    void clickInPanel(const QString &name) const {
        QQuickItem *item = inPanel(name);
        QVERIFY2(item, qPrintable(name));
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(m_shell->panel(), Qt::LeftButton, {}, centre);
    }
    restore::RestoreModel *restoreModel() const {
        QQuickView *window = m_shell->restoreWindow()->window();
        return window ? window->rootObject()->property("model").value<restore::RestoreModel *>() : nullptr;
    }

private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        ui::AppShell::prepareApplication();
        m_oldMac = std::make_unique<OldMac>();
        m_newMac = std::make_unique<NewMac>(QList<App>{}, QStringList{}, false);
        ui::AppShell::Options options;
        options.secrets = m_secrets;
        options.engine = m_oldMac->engine();
        options.makeRestoreModel = [this](syncing::AppSettings &settings, QObject *parent) {
            ++m_restoreModelsMade;
            return new restore::RestoreModel(m_newMac->engine(), settings,
                                             std::make_unique<RecordingSavePanel>(m_savedBrewfile),
                                             std::make_unique<RecordingTerminal>(), parent);
        };
        m_shell = std::make_unique<ui::AppShell>(std::move(options));
        QTRY_VERIFY_WITH_TIMEOUT(m_shell->settings().isTokenLoaded(), 20000);
    }

    void cleanupTestCase() { m_shell.reset(); }

    void startShowsThePanelWhereThereIsNoStatusArea() {
        QVERIFY(!m_shell->panel());
        m_shell->start();
        QVERIFY(!m_shell->hasStatusItem());
        QQuickView *panel = m_shell->panel();
        QVERIFY(panel);
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QCOMPARE(panel->title(), QStringLiteral("Haulwise"));
        QCOMPARE(panel->width(), 340);
        QVERIFY(panel->errors().isEmpty());
        // Nothing is scanned, fetched or opened at start.
        QCOMPARE(m_shell->inventory()->status(), QStringLiteral("Not scanned yet"));
        QVERIFY(!m_shell->inventory()->hasManifest());
        QCOMPARE(m_oldMac->requestCount(), 0);
        QVERIFY(!m_shell->restoreWindow()->window());
        QVERIFY(!m_shell->settingsWindow()->window());
        QCOMPARE(m_restoreModelsMade, 0);
        // The panel shows the one inventory model of the run.
        QCOMPARE(panel->rootObject()->property("model").value<QObject *>(), m_shell->inventory());
    }

    void restoreWindowIsMadeOnce() {
        clickInPanel(QStringLiteral("restore"));
        QQuickView *window = m_shell->restoreWindow()->window();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->title(), QStringLiteral("Haulwise — Restore"));
        QCOMPARE(window->size(), QSize(560, 640));
        QVERIFY(window->maximumSize() != window->minimumSize());
        QVERIFY(window->errors().isEmpty());
        QCOMPARE(m_restoreModelsMade, 1);

        clickInPanel(QStringLiteral("restore"));
        QCOMPARE(m_shell->restoreWindow()->window(), window);
        QCOMPARE(m_restoreModelsMade, 1);
        QVERIFY(window->isVisible());
    }

    void closingTheRestoreWindowKeepsWhatItHolds() {
        QQuickView *window = m_shell->restoreWindow()->window();
        restore::RestoreModel *model = restoreModel();
        QVERIFY(model);
        waitForTask(model->applyManifest(manifest(sampleApps())));
        model->setSelected(pathFor(sampleApps().at(1)), false);
        window->resize(600, 700);
        QTRY_COMPARE(window->size(), QSize(600, 700));

        window->close();
        QTRY_VERIFY(!window->isVisible());

        m_shell->restoreWindow()->show();
        QCOMPARE(m_shell->restoreWindow()->window(), window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(restoreModel(), model);
        QVERIFY(model->hasManifest());
        QVERIFY(!model->isSelected(pathFor(sampleApps().at(1))));
        QCOMPARE(m_restoreModelsMade, 1);
        // The size the user gave it stays.
        QCOMPARE(window->size(), QSize(600, 700));
        QVERIFY(ViewHarness::isShown(qobject_cast<QQuickItem *>(
            ViewHarness::search(window->contentItem(), QStringLiteral("summary")))));
    }

    void settingsOpensBesideTheRestoreWindow() {
        clickInPanel(QStringLiteral("settings"));
        QQuickView *settings = m_shell->settingsWindow()->window();
        QVERIFY(settings);
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        QCOMPARE(settings->title(), QStringLiteral("Haulwise Settings"));
        // The whole form shows, and the window keeps that size.
        QCOMPARE(settings->size(), QSize(460, 320));
        QCOMPARE(settings->minimumSize(), QSize(460, 320));
        QCOMPARE(settings->maximumSize(), QSize(460, 320));
        QVERIFY(settings->errors().isEmpty());
        QVERIFY(m_shell->restoreWindow()->window()->isVisible());

        // Escape leaves the settings; showing them again gives the same window.
        QTest::keyClick(settings, Qt::Key_Escape);
        QTRY_VERIFY(!settings->isVisible());
        clickInPanel(QStringLiteral("settings"));
        QCOMPARE(m_shell->settingsWindow()->window(), settings);
        QVERIFY(settings->isVisible());
    }

    // The whole trip on one machine: scan and export from the panel, then load the manifest back in
    // the restore window, preview and save the Brewfile.
    void scanExportAndRestoreThroughTheWorker() {
        const QString token = QStringLiteral("trip-token");
        TestWorker worker(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), token);
        HAULWISE_START_WORKER(worker);
        m_shell->settings().setWorkerURL(worker.url().toString());
        m_shell->settings().setToken(token);
        if (!m_shell->panel())
            m_shell->start();

        clickInPanel(QStringLiteral("scan"));
        QTRY_VERIFY_WITH_TIMEOUT(m_shell->inventory()->hasManifest() && !m_shell->inventory()->isBusy(),
                                 30000);
        QTRY_VERIFY(inPanel(QStringLiteral("export"))->isEnabled());
        clickInPanel(QStringLiteral("export"));
        QTRY_COMPARE_WITH_TIMEOUT(m_shell->inventory()->status(), QStringLiteral("Exported ✓"), 30000);
        QVERIFY(!m_shell->inventory()->lastExport()->isEmpty());

        clickInPanel(QStringLiteral("restore"));
        QQuickView *window = m_shell->restoreWindow()->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto inWindow = [&](const QString &name) {
            return qobject_cast<QQuickItem *>(ViewHarness::search(window->contentItem(), name));
        };
        const auto clickInWindow = [&](const QString &name) {
            QQuickItem *item = inWindow(name);
            QVERIFY2(item, qPrintable(name));
            QTest::mouseClick(window, Qt::LeftButton, {},
                              item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
        };
        clickInWindow(QStringLiteral("load"));
        QTRY_VERIFY_WITH_TIMEOUT(ViewHarness::text(inWindow(QStringLiteral("status")))
                                     .startsWith(QStringLiteral("Loaded 10 apps from ")),
                                 30000);
        restore::RestoreModel *model = restoreModel();
        QCOMPARE(*model->manifest(), *m_shell->inventory()->manifest());

        clickInWindow(QStringLiteral("preview"));
        QVERIFY(model->brewfile()->hasPreview());
        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(!model->brewfile()->hasPreview());

        clickInWindow(QStringLiteral("save"));
        QCOMPARE(model->brewfile()->savedPath(), m_savedBrewfile);
        QFile saved(m_savedBrewfile);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), model->plan()->brewfile);
        QVERIFY(model->plan()->brewfile.contains(QStringLiteral("cask \"firefox\"")));
    }

    void quitEndsTheProgram() {
        if (!m_shell->panel())
            m_shell->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_shell->panel()));
        // A token typed just before quitting is still on its way to the keychain (which answers only
        // after the click): quitting waits for it.
        bool savedBeforeTheEnd = false;
        const QMetaObject::Connection saved =
            connect(&m_shell->settings(), &syncing::AppSettings::savesFinished, this,
                    [&] { savedBeforeTheEnd = true; });
        m_secrets->hold();
        m_shell->settings().setToken(QStringLiteral("typed-just-before-quitting"));
        QEventLoop loop;
        QTimer::singleShot(0, this, [&] { clickInPanel(QStringLiteral("quit")); });
        QTimer::singleShot(300, this, [&] { m_secrets->release(); });
        QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        disconnect(saved);
        QVERIFY(savedBeforeTheEnd);
        QVERIFY(m_shell->settings().keychainError().isEmpty());

        // What the next launch reads back.
        syncing::AppSettings nextLaunch(m_secrets);
        QTRY_VERIFY_WITH_TIMEOUT(nextLaunch.isTokenLoaded(), 20000);
        QCOMPARE(nextLaunch.token(), QStringLiteral("typed-just-before-quitting"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_ui_shell.moc"
