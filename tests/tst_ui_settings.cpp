// The settings window, drawn offscreen on the real settings (their store pointed at a temporary
// folder, the token in the test session's keychain), testing its connection against the real Worker
// and a local server.

#include "support/memorysecretstore.h"
#include "support/testsettings.h"
#include "support/testworker.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"

#include "model/manifestjson.h"
#include "sync/appsettings.h"
#include "sync/syncerror.h"
#include "ui/settingscontroller.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtTest>

using namespace uiFixtures;
using namespace std::chrono_literals;
using ui::SettingsController;

class TestSettingsWindow : public QObject {
    Q_OBJECT

private:
    TestSettings m_isolated;
    std::unique_ptr<syncing::AppSettings> m_settings;

    std::unique_ptr<ViewHarness> show() {
        return std::make_unique<ViewHarness>(QStringLiteral("SettingsView"), QVariantMap{}, QSize(460, 320),
                                             m_settings.get());
    }

    void configure(const QString &url, const QString &token) {
        m_settings->setWorkerURL(url);
        m_settings->setToken(token);
    }

    static SettingsController *controllerOf(const ViewHarness &view) {
        return view.find<SettingsController>(QStringLiteral("controller"));
    }

    // Runs the test from its button and waits for its line.
    static QString testConnection(const ViewHarness &view) {
        view.click(view.find(QStringLiteral("test")));
        QQuickItem *result = view.find(QStringLiteral("testResult"));
        if (!QTest::qWaitFor([&] { return ViewHarness::isShown(result) && !controllerOf(view)->testing(); },
                             30000))
            return QStringLiteral("(no result)");
        return ViewHarness::text(result);
    }

private Q_SLOTS:
    void initTestCase() {
        m_settings = std::make_unique<syncing::AppSettings>(std::make_shared<MemorySecretStore>());
        QTRY_VERIFY_WITH_TIMEOUT(m_settings->isTokenLoaded(), 20000);
    }

    void init() { configure({}, {}); }

    void startsAfresh() {
        configure(QStringLiteral("https://haulwise-sync.example.workers.dev"), QStringLiteral("secret"));
        auto view = show();
        QVERIFY(view->isReady());
        QVERIFY2(view->warnings().isEmpty(), qPrintable(view->warnings().join(u'\n')));
        QCOMPARE(ViewHarness::text(view->find(QStringLiteral("workerURL"))), m_settings->workerURL());
        QCOMPARE(ViewHarness::text(view->find(QStringLiteral("token"))), QStringLiteral("secret"));
        QVERIFY(!ViewHarness::isShown(view->find(QStringLiteral("copiedNote"))));
        QVERIFY(!ViewHarness::isShown(view->find(QStringLiteral("testResult"))));
        QVERIFY(!ViewHarness::isShown(view->find(QStringLiteral("testing"))));
        QCOMPARE(view->find(QStringLiteral("token"))->property("echoMode").toInt(), 2); // TextInput.Password
        QCOMPARE(view->find(QStringLiteral("token"))->property("placeholderText").toString(),
                 QStringLiteral("HAULWISE_TOKEN"));
        QVERIFY(view->find(QStringLiteral("workerURL"))
                    ->property("placeholderText")
                    .toString()
                    .startsWith(QStringLiteral("https://haulwise-sync.")));
    }

    void enablement_data() {
        QTest::addColumn<QString>("workerURL");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("copyURL");
        QTest::addColumn<bool>("copyToken");
        QTest::addColumn<bool>("configured");

        QTest::newRow("empty") << QString() << QString() << false << false << false;
        QTest::newRow("empty URL, token") << QString() << QStringLiteral("t") << false << true << false;
        QTest::newRow("URL, no token")
            << QStringLiteral("https://w.example.dev") << QString() << true << false << false;
        QTest::newRow("three spaces, token")
            << QStringLiteral("   ") << QStringLiteral("t") << true << true << false;
        QTest::newRow("URL, token of a space")
            << QStringLiteral("https://w.example.dev") << QStringLiteral(" ") << true << true << true;
        QTest::newRow("both") << QStringLiteral("https://w.example.dev") << QStringLiteral("t") << true
                              << true << true;
    }

    void enablement() {
        QFETCH(QString, workerURL);
        QFETCH(QString, token);
        QFETCH(bool, copyURL);
        QFETCH(bool, copyToken);
        QFETCH(bool, configured);

        auto view = show();
        configure(workerURL, token);
        QCOMPARE(view->find(QStringLiteral("copyURL"))->isEnabled(), copyURL);
        QCOMPARE(view->find(QStringLiteral("copyToken"))->isEnabled(), copyToken);
        QCOMPARE(view->find(QStringLiteral("test"))->isEnabled(), configured);
        QCOMPARE(view->find(QStringLiteral("copySetup"))->isEnabled(), configured);
    }

    void typingStoresAsTyped() {
        auto view = show();
        QQuickItem *url = view->find(QStringLiteral("workerURL"));
        view->click(url);
        QTRY_VERIFY(url->hasActiveFocus());
        for (const char c : QByteArray(" https://w.dev/ "))
            QTest::keyClick(view->view(), c);
        QCOMPARE(m_settings->workerURL(), QStringLiteral(" https://w.dev/ "));
        QVERIFY(view->find(QStringLiteral("copyURL"))->isEnabled());
        QVERIFY(!view->find(QStringLiteral("test"))->isEnabled());

        // Return moves on to the token.
        QTest::keyClick(view->view(), Qt::Key_Return);
        QQuickItem *token = view->find(QStringLiteral("token"));
        QTRY_VERIFY(token->hasActiveFocus());
        // The URL left behind shows its start again, not wherever typing ended.
        QCOMPARE(url->property("cursorPosition").toInt(), 0);
        QTest::keyClick(view->view(), 'k');
        QCOMPARE(m_settings->token(), QStringLiteral("k"));
        QVERIFY(view->find(QStringLiteral("test"))->isEnabled());
        QVERIFY(view->find(QStringLiteral("copySetup"))->isEnabled());
    }

    void copySetupPutsThreeLines() {
        configure(QStringLiteral(" https://w.example.dev/ "), QStringLiteral(" tok en "));
        auto view = show();
        view->click(view->find(QStringLiteral("copySetup")));
        QCOMPARE(
            QGuiApplication::clipboard()->text(),
            QStringLiteral("Haulwise setup\nWorker URL:  https://w.example.dev/ \nBearer token:  tok en "));
        QCOMPARE(ViewHarness::text(view->find(QStringLiteral("copiedNote"))),
                 QStringLiteral("Setup (URL + token) copied"));
    }

    void copyButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("note");
        QTest::newRow("URL") << QStringLiteral("copyURL") << QStringLiteral("   ")
                             << QStringLiteral("Worker URL copied");
        QTest::newRow("token") << QStringLiteral("copyToken") << QStringLiteral("s3cret ")
                               << QStringLiteral("Token copied");
    }

    void copyButtons() {
        QFETCH(QString, button);
        QFETCH(QString, copied);
        QFETCH(QString, note);
        // The values go out exactly as stored, spaces and all.
        configure(QStringLiteral("   "), QStringLiteral("s3cret "));
        auto view = show();
        view->click(view->find(button));
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        QQuickItem *line = view->find(QStringLiteral("copiedNote"));
        QVERIFY(ViewHarness::isShown(line));
        QCOMPARE(ViewHarness::text(line), note);
        QCOMPARE(ViewHarness::colourName(line), QStringLiteral("green"));
    }

    void copyNoteGoesAwayAfterTwoSeconds() {
        configure(QStringLiteral("https://w.example.dev"), QStringLiteral("token"));
        auto view = show();
        view->click(view->find(QStringLiteral("copyToken")));
        QQuickItem *line = view->find(QStringLiteral("copiedNote"));
        QCOMPARE(ViewHarness::text(line), QStringLiteral("Token copied"));
        QVERIFY(ViewHarness::isShown(line));
        QTRY_VERIFY_WITH_TIMEOUT(!ViewHarness::isShown(line), 10000);
        QCOMPARE(controllerOf(*view)->copiedNote(), QString());
    }

    void laterCopyOwnsTheLine() {
        configure(QStringLiteral("https://w.example.dev"), QStringLiteral("token"));
        auto view = show();
        SettingsController *controller = controllerOf(*view);
        QStringList notes;
        connect(controller, &SettingsController::copiedNoteChanged, this,
                [&] { notes.append(controller->copiedNote()); });

        view->click(view->find(QStringLiteral("copyToken")));
        QTest::qWait(1000);
        view->click(view->find(QStringLiteral("copyURL")));
        // The token's timer has gone off meanwhile and left the URL's note alone; the URL's own timer
        // clears it.
        QTRY_VERIFY_WITH_TIMEOUT(controller->copiedNote().isEmpty(), 10000);
        QCOMPARE(notes, (QStringList{QStringLiteral("Token copied"), QStringLiteral("Worker URL copied"),
                                     QString()}));
    }

    void sameCopyTwiceClearsWithTheFirstTimer() {
        configure(QStringLiteral("https://w.example.dev"), QStringLiteral("token"));
        auto view = show();
        SettingsController *controller = controllerOf(*view);
        QElapsedTimer sinceFirst;
        view->click(view->find(QStringLiteral("copyToken")));
        sinceFirst.start();
        QTest::qWait(1000);
        view->click(view->find(QStringLiteral("copyToken")));
        const qint64 secondAt = sinceFirst.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(controller->copiedNote().isEmpty(), 10000);
        // Gone before the second copy's own two seconds were up: the first timer cleared it.
        QVERIFY2(sinceFirst.elapsed() < secondAt + 2000, qPrintable(QString::number(sinceFirst.elapsed())));
    }

    void eyeButtonShowsAndHidesTheToken() {
        configure(QStringLiteral("https://w.example.dev"), QStringLiteral("secret"));
        auto view = show();
        QQuickItem *token = view->find(QStringLiteral("token"));
        QQuickItem *eye = view->find(QStringLiteral("reveal"));
        QCOMPARE(token->property("echoMode").toInt(), 2); // TextInput.Password
        QCOMPARE(eye->property("symbol").toString(), QStringLiteral("eye"));
        QCOMPARE(eye->property("hint").toString(), QStringLiteral("Show token"));
        view->click(eye);
        QCOMPARE(token->property("echoMode").toInt(), 0); // TextInput.Normal
        QCOMPARE(eye->property("symbol").toString(), QStringLiteral("eye.slash"));
        QCOMPARE(eye->property("hint").toString(), QStringLiteral("Hide token"));
        QCOMPARE(ViewHarness::text(token), QStringLiteral("secret"));
        QCOMPARE(m_settings->token(), QStringLiteral("secret"));
        view->click(eye);
        QCOMPARE(token->property("echoMode").toInt(), 2);
        QCOMPARE(eye->property("hint").toString(), QStringLiteral("Show token"));
        QCOMPARE(m_settings->token(), QStringLiteral("secret"));
    }

    void connectionTestAgainstTheWorker() {
        const QString token = QStringLiteral("worker-secret");
        TestWorker worker(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), token);
        HAULWISE_START_WORKER(worker);

        configure(worker.url().toString(), token);
        auto view = show();
        // Nothing stored yet: a Worker that works all the same.
        QCOMPARE(testConnection(*view), QStringLiteral("✓ Connected (no manifest yet)"));
        QCOMPARE(ViewHarness::colourName(view->find(QStringLiteral("testResult"))), QStringLiteral("green"));

        // Store a manifest, then test again.
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(worker.url().toString() + QStringLiteral("/manifest")));
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        std::unique_ptr<QNetworkReply> put(network.put(request, model::encodeManifest(manifest({}))));
        QTRY_VERIFY_WITH_TIMEOUT(put->isFinished(), 20000);
        QCOMPARE(put->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(testConnection(*view), QStringLiteral("✓ Connected (manifest found)"));

        // The wrong token: the Worker's refusal, in red.
        m_settings->setToken(QStringLiteral("not-the-token"));
        const QString refused = testConnection(*view);
        QVERIFY2(refused.startsWith(QStringLiteral("Server returned 401: ")), qPrintable(refused));
        QCOMPARE(ViewHarness::colourName(view->find(QStringLiteral("testResult"))), QStringLiteral("red"));
    }

    void connectionTestAnswers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("colour");

        QTest::newRow("401") << 401 << QByteArray("Unauthorized")
                             << QStringLiteral("Server returned 401: Unauthorized") << QStringLiteral("red");
        QTest::newRow("404") << 404 << QByteArray() << QStringLiteral("✓ Connected (no manifest yet)")
                             << QStringLiteral("green");
        QTest::newRow("500") << 500 << QByteArray("boom") << QStringLiteral("Server returned 500: boom")
                             << QStringLiteral("red");
        QTest::newRow("200 that is no manifest")
            << 200 << QByteArray("<html>hello</html>") << QStringLiteral("Couldn't read the server response.")
            << QStringLiteral("red");
        QTest::newRow("200 with a manifest")
            << 200 << model::encodeManifest(manifest({})) << QStringLiteral("✓ Connected (manifest found)")
            << QStringLiteral("green");
    }

    void connectionTestAnswers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, result);
        QFETCH(QString, colour);

        LocalHttpServer server([=](const LocalHttpServer::Request &) { return reply(status, body); });
        configure(server.url().toString(), QStringLiteral("token"));
        auto view = show();
        QCOMPARE(testConnection(*view), result);
        QCOMPARE(ViewHarness::colourName(view->find(QStringLiteral("testResult"))), colour);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().constFirst().method, QByteArray("GET"));
        QCOMPARE(server.requests().constFirst().header("Authorization"), QByteArray("Bearer token"));
    }

    // A URL that would send the token unencrypted to another machine is explained as it is typed,
    // and the test refuses it without sending anything.
    void workerURLThatWouldExposeTheToken() {
        LocalHttpServer server([](const LocalHttpServer::Request &) { return reply(404, {}); });
        auto view = show();
        SettingsController *controller = controllerOf(*view);
        QSignalSpy problemChanged(controller, &SettingsController::workerURLProblemChanged);
        configure(server.url().toString(), QStringLiteral("token"));
        QCOMPARE(controller->workerURLProblem(), QString());
        // Reaches the same server, but is no loopback address.
        const QString plain = QStringLiteral("http://0.0.0.0:") + QString::number(server.port());
        configure(plain, QStringLiteral("token"));
        QCOMPARE(problemChanged.size(), 2);
        const QString refusal = syncing::SyncError::insecureURL().description();
        QCOMPARE(controller->workerURLProblem(), refusal);
        QCOMPARE(testConnection(*view), refusal);
        QCOMPARE(server.requests().size(), 0);
    }

    void whileTestingTheButtonWaits() {
        LocalHttpServer server([](const LocalHttpServer::Request &) {
            LocalHttpServer::Response response = reply(404, {});
            response.delay = 1500ms;
            return response;
        });
        configure(server.url().toString(), QStringLiteral("token"));
        auto view = show();
        SettingsController *controller = controllerOf(*view);
        // A result from before goes when the next test starts.
        controller->testConnection();
        QTRY_VERIFY_WITH_TIMEOUT(!controller->testing(), 20000);
        QVERIFY(!controller->testResult().isEmpty());

        view->click(view->find(QStringLiteral("test")));
        QVERIFY(controller->testing());
        QVERIFY(controller->testResult().isEmpty());
        QVERIFY(!ViewHarness::isShown(view->find(QStringLiteral("testResult"))));
        QVERIFY(ViewHarness::isShown(view->find(QStringLiteral("testing"))));
        QVERIFY(!view->find(QStringLiteral("test"))->isEnabled());
        // The rest of the form stays usable meanwhile.
        QVERIFY(view->find(QStringLiteral("copySetup"))->isEnabled());
        QVERIFY(view->find(QStringLiteral("workerURL"))->isEnabled());

        // An edit made during the test does not change the test.
        m_settings->setWorkerURL(QStringLiteral("http://127.0.0.1:9"));
        QTRY_VERIFY_WITH_TIMEOUT(!controller->testing(), 20000);
        QCOMPARE(controller->testResult(), SettingsController::connectedWithoutManifest());
        QVERIFY(!ViewHarness::isShown(view->find(QStringLiteral("testing"))));
        QVERIFY(view->find(QStringLiteral("test"))->isEnabled());
    }

    void returnInTheTokenFieldTests() {
        LocalHttpServer server([](const LocalHttpServer::Request &) { return reply(404, {}); });
        configure(server.url().toString(), QStringLiteral("token"));
        auto view = show();
        QQuickItem *token = view->find(QStringLiteral("token"));
        view->click(token);
        QTRY_VERIFY(token->hasActiveFocus());
        QTest::keyClick(view->view(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(controllerOf(*view)->testResult(),
                                  SettingsController::connectedWithoutManifest(), 20000);
    }

    void setupTextMatchesWhatTheOtherMacReads() {
        QCOMPARE(SettingsController::setupText(QStringLiteral("u"), QStringLiteral("t")),
                 QStringLiteral("Haulwise setup\nWorker URL: u\nBearer token: t"));
        QVERIFY(!SettingsController::setupText(QStringLiteral("u"), QStringLiteral("t")).endsWith(u'\n'));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_ui_settings.moc"
