#include "inventory/onlinescan.h"
#include "model/manifestjson.h"
#include "platform/userdefaults.h"
#include "support/clirun.h"
#include "support/fakemac.h"
#include "support/keychainfixture.h"
#include "support/localhttpserver.h"
#include "support/modelprinting.h"
#include "support/samplemanifest.h"
#include "support/testfiles.h"
#include "support/testworker.h"
#include "support/waitfortask.h"
#include "sync/appsettings.h"
#include "sync/keychainstore.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <QCoroTask>

#include <optional>

Q_DECLARE_METATYPE(LocalHttpServer::Delivery)

using namespace std::chrono_literals;
using syncing::AppSettings;
using syncing::KeychainStore;
using TokenRead = KeychainFixture::TokenRead;

namespace {

const QString workerToken = QStringLiteral("cli-test-token");

QByteArray setupText(const QString &url, const QString &token) {
    return (QStringLiteral("Haulwise setup\nWorker URL: ") + url + QStringLiteral("\nBearer token: ") + token)
        .toUtf8();
}

LocalHttpServer::Response answer(int status, const QByteArray &body) {
    LocalHttpServer::Response response;
    response.status = status;
    response.body = body;
    return response;
}

// Whether any file under `folder` holds `bytes`.
bool anyFileHolds(const QString &folder, const QByteArray &bytes) {
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes))
            return true;
    }
    return false;
}

} // namespace

class SyncCliTest : public QObject {
    Q_OBJECT

private:
    KeychainFixture m_keychain;

private Q_SLOTS:
    void initTestCase() { m_keychain.initTestCase(); }

    void init() { m_keychain.init(); }

    // --- setup -------------------------------------------------------------------------------------

    void setupStoresWhatTheSettingsWindowCopies_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        const auto row = [](const char *name, const QByteArray &input, const char *url, const char *token) {
            QTest::newRow(name) << input << QString::fromUtf8(url) << QString::fromUtf8(token);
        };
        row("as copied", setupText(QStringLiteral("https://w.example"), QStringLiteral("tok")),
            "https://w.example", "tok");
        row("with a final line break",
            setupText(QStringLiteral("https://w.example/"), QStringLiteral("tok")) + '\n',
            "https://w.example/", "tok");
        row("pasted with blank lines and CRLF",
            "\n \r\nHaulwise setup\r\nWorker URL: https://w.example\r\nBearer token: tok\r\n\r\n",
            "https://w.example", "tok");
        row("line ends converted twice",
            "Haulwise setup\r\r\nWorker URL: https://w.example\r\r\nBearer token: tok\r\r\n",
            "https://w.example", "tok");
        row("values kept untrimmed",
            setupText(QStringLiteral("  https://w.example  "), QStringLiteral(" t o k ")),
            "  https://w.example  ", " t o k ");
        row("not ASCII", setupText(QStringLiteral("https://bücher.example"), QStringLiteral("🔑ü")),
            "https://bücher.example", "🔑ü");
    }
    void setupStoresWhatTheSettingsWindowCopies() {
        QFETCH(QByteArray, input);
        QFETCH(QString, url);
        QFETCH(QString, token);
        const CliRun run = runCli({QStringLiteral("setup")}, input);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("Stored the Worker URL and the token.\n"));
        const auto settings = KeychainFixture::relaunch();
        QCOMPARE(settings->workerURL(), url);
        QCOMPARE(settings->token(), token);
        QCOMPARE(KeychainFixture::itemCount(), 1);
    }

    void setupRefusesWhatIsNotASetupText_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        const QString notSetup = QStringLiteral(
            "That is not a Haulwise setup text. It has three lines: \"Haulwise setup\", \"Worker URL: \" and "
            "the URL, \"Bearer token: \" and the token.\n");
        const QString noText =
            QStringLiteral("No setup text came in. Paste the text that \"Copy setup for new "
                           "Mac\" copies in Haulwise's settings, then end the input "
                           "(Ctrl-D).\n");
        QTest::newRow("nothing") << QByteArray() << noText;
        QTest::newRow("blank lines only") << QByteArray("\n\n  \n") << noText;
        QTest::newRow("a token alone") << QByteArray("tok\n") << notSetup;
        QTest::newRow("other heading")
            << QByteArray("haulwise setup\nWorker URL: https://w.example\nBearer token: tok") << notSetup;
        QTest::newRow("token line missing")
            << QByteArray("Haulwise setup\nWorker URL: https://w.example\n") << notSetup;
        QTest::newRow("lines swapped")
            << QByteArray("Haulwise setup\nBearer token: tok\nWorker URL: https://w.example") << notSetup;
        QTest::newRow("extra line")
            << QByteArray("Haulwise setup\nWorker URL: https://w.example\nBearer token: tok\nmore")
            << notSetup;
        QTest::newRow("no space after the colon")
            << QByteArray("Haulwise setup\nWorker URL:https://w.example\nBearer token: tok") << notSetup;
        QTest::newRow("blank URL") << setupText(QStringLiteral(" \t "), QStringLiteral("tok"))
                                   << "The setup text has no Worker URL.\n";
        QTest::newRow("empty token") << setupText(QStringLiteral("https://w.example"), QString())
                                     << "The setup text has no token.\n";
        QTest::newRow("URL of slashes")
            << setupText(QStringLiteral("///"), QStringLiteral("tok")) << "The Worker URL isn't valid.\n";
        QTest::newRow("URL with a space")
            << setupText(QStringLiteral("https://w .example"), QStringLiteral("tok"))
            << "The Worker URL isn't valid.\n";
        QTest::newRow("token that can't go in a header")
            << setupText(QStringLiteral("https://w.example"), QStringLiteral("to\x01"
                                                                             "ken"))
            << "The token can't be sent: it contains a line break or another control character.\n";
        const QString insecure = QStringLiteral(
            "The Worker URL must start with https:// so the token travels encrypted; http:// is only for a "
            "Worker on this computer (localhost, 127.0.0.1 or [::1]).\n");
        QTest::newRow("plain http elsewhere")
            << setupText(QStringLiteral("http://w.example"), QStringLiteral("tok")) << insecure;
        QTest::newRow("file URL") << setupText(QStringLiteral("file:///tmp/w"), QStringLiteral("tok"))
                                  << insecure;
        QTest::newRow("not UTF-8") << QByteArray(
                                          "Haulwise setup\nWorker URL: https://w.example\nBearer token: \xff")
                                   << "The setup text is not UTF-8 text.\n";
    }
    void setupRefusesWhatIsNotASetupText() {
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        KeychainFixture::configure(QStringLiteral("https://before.example"), QStringLiteral("before"));
        const CliRun run = runCli({QStringLiteral("setup")}, input);
        QCOMPARE(QString::fromUtf8(run.err), message);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        // Nothing was stored.
        const auto settings = KeychainFixture::relaunch();
        QCOMPARE(settings->workerURL(), QStringLiteral("https://before.example"));
        QCOMPARE(settings->token(), QStringLiteral("before"));
    }

    void setupTakesNoArguments() {
        const CliRun run = runCli({QStringLiteral("setup"), QStringLiteral("https://w.example")},
                                  setupText(QStringLiteral("https://w.example"), QStringLiteral("tok")));
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith("Unexpected argument: https://w.example\n"));
        QCOMPARE(KeychainFixture::relaunch()->workerURL(), QString());
    }

    // --- the keychain seen from two processes ------------------------------------------------------

    void anotherProcessSeesTheLastTokenWritten() {
        LocalHttpServer server([](const auto &) { return answer(404, "none"); });
        const auto settings = KeychainFixture::relaunch();
        settings->setWorkerURL(server.url().toString());
        for (const QString &typed : words("f fi fir"))
            settings->setToken(typed);
        waitForTask(settings->saved());
        const CliRun run = runCli({QStringLiteral("fetch")});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QByteArray("Server returned 404: none\n"));
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().at(0).header("Authorization"), QByteArray("Bearer fir"));
    }

    void unreachableSecretStoreIsReportedAndNothingIsWrittenElsewhere() {
        // Cut off from the session bus, where the Secret Service lives.
        HAULWISE_SECRET_SERVICE_ONLY();
        const QList<QPair<QString, QString>> noBus{{QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                                    QStringLiteral("unix:path=/nonexistent/haulwise-bus")}};
        const QByteArray secret = "never-on-disk-7f3a";
        const CliRun setup =
            runCli({QStringLiteral("setup")},
                   setupText(QStringLiteral("https://w.example"), QString::fromUtf8(secret)), noBus);
        QCOMPARE(setup.exitCode, 1);
        QVERIFY2(setup.err.startsWith("Couldn't save the token in the keychain: "), setup.err.constData());
        QVERIFY(!anyFileHolds(m_keychain.settings().path(), secret));

        const CliRun status = runCli({QStringLiteral("status")}, {}, noBus);
        QCOMPARE(status.exitCode, 1);
        QVERIFY2(status.err.startsWith("Couldn't read the token from the keychain: "),
                 status.err.constData());
        QCOMPARE(status.out, QByteArray("Worker URL: https://w.example\nToken: (not set)\nConfigured: no\n"));

        LocalHttpServer server;
        platform::UserDefaults::setValue(AppSettings::workerURLKey, server.url().toString());
        const CliRun fetch = runCli({QStringLiteral("fetch")}, {}, noBus);
        QCOMPARE(fetch.exitCode, 1);
        QVERIFY2(
            fetch.err.startsWith("Set your Worker URL and token in Settings first.\nCouldn't read the token "
                                 "from the keychain: "),
            fetch.err.constData());
        QCOMPARE(server.requests().size(), 0);
    }

    // --- status ------------------------------------------------------------------------------------

    void statusNeverShowsTheToken_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const char *url, const char *token, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(url) << QString::fromUtf8(token) << QByteArray(expected);
        };
        row("nothing", "", "", "Worker URL: (not set)\nToken: (not set)\nConfigured: no\n");
        row("both", "https://w.example", "hunter2",
            "Worker URL: https://w.example\nToken: set, in the keychain\nConfigured: yes\n");
        row("blank URL", "   ", "hunter2", "Worker URL:    \nToken: set, in the keychain\nConfigured: no\n");
        row("no token", "https://w.example", "",
            "Worker URL: https://w.example\nToken: (not set)\nConfigured: no\n");
    }
    void statusNeverShowsTheToken() {
        QFETCH(QString, url);
        QFETCH(QString, token);
        QFETCH(QByteArray, expected);
        KeychainFixture::configure(url, token);
        const CliRun run = runCli({QStringLiteral("status")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.out, expected);
    }

    // --- export and fetch against scripted servers ---------------------------------------------------

    void exportUploadsAManifestFileAsExportEncodesIt() {
        LocalHttpServer server(
            [](const auto &) { return LocalHttpServer::json(R"({"storedAt":"at noon"})"); });
        KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        // Indented, keys in another order, an optional null: not what the program would send.
        QJsonDocument document = QJsonDocument::fromJson(model::encodeManifest(sampleManifest()));
        QByteArray written = document.toJson(QJsonDocument::Indented);
        written.replace("\"isMenuBarApp\": false", "\"appStoreId\": null, \"isMenuBarApp\": false");
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("manifest.json"));
        QVERIFY(writeFile(path, written));

        const CliRun run = runCli({QStringLiteral("export"), QStringLiteral("--manifest"), path});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("at noon\n"));
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().at(0).method, QByteArray("PUT"));
        QCOMPARE(server.requests().at(0).body, model::encodeManifest(sampleManifest()));
    }

    void exportReadsAManifestFromStandardInput() {
        LocalHttpServer server([](const auto &) { return answer(200, ""); });
        KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        const CliRun run = runCli(words("export --manifest -"), model::encodeManifest(sampleManifest()));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("just now\n"));
        QCOMPARE(server.requests().at(0).body, model::encodeManifest(sampleManifest()));
    }

    void exportFailures_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("configured");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString missing = QStringLiteral(HAULWISE_TEST_DATA "/no-such-manifest.json");
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("--manifest"), missing} << true << 1
            << QStringLiteral("Couldn't read %1: No such file or directory\n").arg(missing);
        const QString notManifest = QStringLiteral(HAULWISE_TEST_DATA "/lookup-response.json");
        QTest::newRow("not a manifest") << QStringList{QStringLiteral("--manifest"), notManifest} << true << 1
                                        << notManifest + QStringLiteral(" is not a Haulwise manifest: ");
        QTest::newRow("not configured")
            << QStringList{QStringLiteral("--root"), QStringLiteral("/nonexistent")} << false << 1
            << QStringLiteral("Set your Worker URL and token in Settings first.\n");
        QTest::newRow("scan option with a file")
            << QStringList{QStringLiteral("--manifest"), missing, QStringLiteral("--lookup-url"),
                           QStringLiteral("http://127.0.0.1:1")}
            << true << 2
            << QStringLiteral(
                   "--lookup-url has no effect with --manifest, which uploads without scanning.\n");
        QTest::newRow("bad service address")
            << QStringList{QStringLiteral("--catalogue-url"), QStringLiteral("ftp://x")} << true << 2
            << QStringLiteral("--catalogue-url: \"ftp://x\" is not a service address; expected http:// or "
                              "https://, a host and an optional port, such as http://127.0.0.1:8080\n");
        QTest::newRow("positional argument") << QStringList{QStringLiteral("manifest.json")} << true << 2
                                             << QStringLiteral("Unexpected argument: manifest.json\n");
    }
    void exportFailures() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, configured);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        LocalHttpServer server([](const auto &) { return answer(200, ""); });
        if (configured)
            KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        const CliRun run = runCli(QStringList{QStringLiteral("export")} + arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(QString::fromUtf8(run.err).startsWith(message), run.err.constData());
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(server.requests().size(), 0);
    }

    void exportShowsTheServersAnswer() {
        LocalHttpServer server([](const auto &) { return answer(401, "Unauthorized"); });
        KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        const CliRun run = runCli(words("export --manifest -"), model::encodeManifest(sampleManifest()));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QByteArray("Server returned 401: Unauthorized\n"));
        QCOMPARE(run.out, QByteArray());
    }

    void fetchPrintsCompactJson() {
        const QByteArray indented = QJsonDocument::fromJson(model::encodeManifest(sampleManifest())).toJson();
        LocalHttpServer server([indented](const auto &) { return LocalHttpServer::json(indented); });
        KeychainFixture::configure(server.url().toString() + QStringLiteral("/"), QStringLiteral("tok"));
        const CliRun run = runCli({QStringLiteral("fetch")});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, model::encodeManifest(sampleManifest()) + '\n');
        QCOMPARE(server.requests().at(0).method, QByteArray("GET"));
    }

    void fetchFailures_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<LocalHttpServer::Delivery>("delivery");
        QTest::addColumn<QByteArray>("message");
        const QByteArray manifest = model::encodeManifest(sampleManifest());
        QTest::newRow("nothing stored") << 404 << QByteArray() << LocalHttpServer::Delivery::whole
                                        << QByteArray("Server returned 404: \n");
        QTest::newRow("not a manifest") << 200 << QByteArray("[]") << LocalHttpServer::Delivery::whole
                                        << QByteArray("Couldn't read the server response.\n");
        QTest::newRow("redirect") << 307 << QByteArray("moved") << LocalHttpServer::Delivery::whole
                                  << QByteArray("Server returned 307: moved\n");
        const QByteArray cut = "127.0.0.1 closed the connection before the whole answer arrived.\n";
        QTest::newRow("reset mid-body") << 200 << manifest << LocalHttpServer::Delivery::resetMidBody << cut;
        QTest::newRow("truncated body") << 200 << manifest << LocalHttpServer::Delivery::truncated << cut;
    }
    // Nothing of a failed fetch is printed, and the next one, once the server behaves, works.
    void fetchFailures() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(LocalHttpServer::Delivery, delivery);
        QFETCH(QByteArray, message);
        LocalHttpServer server([&](const auto &) {
            LocalHttpServer::Response response = answer(status, body);
            response.delivery = delivery;
            return response;
        });
        KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        const CliRun run = runCli({QStringLiteral("fetch")});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, message);
        QCOMPARE(run.out, QByteArray());
        server.setHandler(
            [](const auto &) { return LocalHttpServer::json(model::encodeManifest(sampleManifest())); });
        QCOMPARE(runCli({QStringLiteral("fetch")}).out, model::encodeManifest(sampleManifest()) + '\n');
    }

    // A host name read from another Mac's disk, and anything else the Worker says, is printed as text:
    // its escape sequences drive no terminal and its tabs and line breaks forge no record.
    void historyAndExportPrintWhatTheWorkerSaysAsText() {
        const QString hostile = QStringLiteral("\x1b]0;owned\x07\x1b[2J\tforged\t99\nline\u2028\u0085");
        const auto json = [](const QJsonObject &object) { return QJsonDocument(object).toJson(); };
        LocalHttpServer server([&](const LocalHttpServer::Request &request) {
            if (request.method == "PUT")
                return LocalHttpServer::json(json({{QStringLiteral("storedAt"), hostile}}));
            const QJsonObject version{
                {QStringLiteral("id"), QStringLiteral("0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2f")},
                {QStringLiteral("storedAt"), hostile},
                {QStringLiteral("hostname"), hostile},
                {QStringLiteral("apps"), 1}};
            return LocalHttpServer::json(json({{QStringLiteral("manifests"), QJsonArray{version}}}));
        });
        KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        const QByteArray shown = "\\e]0;owned\\u{7}\\e[2J\\tforged\\t99\\nline\\u{2028}\\u{85}";
        const CliRun history = runCli({QStringLiteral("history")});
        QCOMPARE(history.err, QByteArray());
        QCOMPARE(history.out, "0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2f\t" + shown + '\t' + shown + "\t1\n");
        const CliRun exported = runCli(words("export --manifest -"), model::encodeManifest(sampleManifest()));
        QCOMPARE(exported.out, shown + '\n');
    }

    // Only an id the Worker gives is sent; anything else would name another of its paths.
    void fetchRefusesWhatIsNoId_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("parent") << QStringLiteral("..");
        QTest::newRow("the newest's name") << QStringLiteral("manifest");
        QTest::newRow("empty") << QString();
        QTest::newRow("capitals") << QStringLiteral("0F8C9A4E-2B1D-4C55-9D3E-7A6B5C4D3E2F");
    }
    void fetchRefusesWhatIsNoId() {
        QFETCH(QString, id);
        LocalHttpServer server(
            [](const auto &) { return LocalHttpServer::json(model::encodeManifest(sampleManifest())); });
        KeychainFixture::configure(server.url().toString(), QStringLiteral("tok"));
        const CliRun run = runCli({QStringLiteral("fetch"), QStringLiteral("--id"), id});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.startsWith("That is not the id of a kept manifest"), run.err.constData());
        QCOMPARE(server.requests().size(), 0);
    }

    void fetchWithoutSettings() {
        const CliRun run = runCli({QStringLiteral("fetch")});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QByteArray("Set your Worker URL and token in Settings first.\n"));
    }

    // --- the whole story ---------------------------------------------------------------------------

    // The old Mac is scanned and exported to the real Worker; the new Mac, with settings of its own
    // made from the setup text, fetches the same manifest.
    void oldMacExportsNewMacFetches() {
        TestWorker worker(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), workerToken);
        HAULWISE_START_WORKER(worker);
        LocalHttpServer services([](const LocalHttpServer::Request &request) {
            if (request.target == "/api/cask.json")
                return LocalHttpServer::json(testData("cask-catalogue.json"));
            return LocalHttpServer::json(R"({"resultCount":0,"results":[]})");
        });
        FakeMac mac;
        mac.addBundle(QStringLiteral("/Applications"), QStringLiteral("Visual Studio Code.app"),
                      {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.microsoft.VSCode")},
                       {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.96.0")}});
        mac.addBundle(QStringLiteral("/Applications"), QStringLiteral("By Hand.app"),
                      {{QStringLiteral("SUFeedURL"), QStringLiteral("https://example.com/appcast.xml")}});
        mac.addBareBundle(QStringLiteral("/System/Applications"), QStringLiteral("Calculator.app"));
        // The scan reads Homebrew's kegs; a keg without an install receipt counts as asked for.
        mac.addTool(QStringLiteral("/opt/homebrew/bin/brew"), "exit 0\n");
        mac.makeFolder(QStringLiteral("/opt/homebrew/Cellar/git/2.47.1"));
        mac.makeFolder(QStringLiteral("/opt/homebrew/Cellar/jq/1.7.1"));
        const QString setup = QString::fromUtf8(setupText(worker.url().toString(), workerToken));

        // The old Mac.
        QCOMPARE(runCli({QStringLiteral("setup")}, setup.toUtf8()).exitCode, 0);
        const CliRun exported =
            runCli({QStringLiteral("export"), QStringLiteral("--root"), mac.root(),
                    QStringLiteral("--trust-root-tools"), QStringLiteral("--home"), FakeMac::home(),
                    QStringLiteral("--catalogue-url"), services.url().toString(),
                    QStringLiteral("--lookup-url"), services.url().toString()});
        QCOMPARE(exported.err, QByteArray());
        QCOMPARE(exported.exitCode, 0);
        QVERIFY2(exported.out.startsWith('2') && exported.out.endsWith('\n'), exported.out.constData());

        // The new Mac: its own settings folder, the same URL and token.
        QTemporaryDir newMac;
        const QList<QPair<QString, QString>> newMacSettings{
            {QStringLiteral("HAULWISE_SETTINGS_FOLDER"), newMac.path()}};
        QCOMPARE(runCli({QStringLiteral("status")}, {}, newMacSettings).out.split('\n').value(0),
                 QByteArray("Worker URL: (not set)"));
        QVERIFY(KeychainFixture::clearItems());
        QCOMPARE(runCli({QStringLiteral("setup")}, setup.toUtf8(), newMacSettings).exitCode, 0);
        const CliRun fetched = runCli({QStringLiteral("fetch")}, {}, newMacSettings);
        QCOMPARE(fetched.err, QByteArray());
        QCOMPARE(fetched.exitCode, 0);

        // What came back is what an online scan of the old Mac gives.
        const platform::Result<model::Manifest> manifest = model::decodeManifest(fetched.out);
        QVERIFY2(manifest, qPrintable(manifest.message()));
        inventory::Endpoints endpoints;
        endpoints.caskCatalogue = services.url();
        endpoints.appStoreLookup = services.url();
        model::Manifest expected =
            waitForTask(inventory::scan(inventory::InventoryEngine(mac.fileManager(), endpoints), true))
                .value();
        expected.generatedAt = manifest->generatedAt;
        QCOMPARE(manifest->apps, expected.apps);
        QCOMPARE(*manifest, expected);
        QCOMPARE(manifest->apps.size(), 3);
        QCOMPARE(manifest->apps.at(2).caskToken,
                 std::optional<QString>(QStringLiteral("visual-studio-code")));
        QCOMPARE(manifest->brewFormulae, QStringList({QStringLiteral("git"), QStringLiteral("jq")}));
        QCOMPARE(fetched.out, model::encodeManifest(*manifest) + '\n');

        // An export from the new Mac keeps the old Mac's: both are listed, newest first, and the old
        // one can still be fetched by its id.
        model::Manifest newMacManifest = expected;
        newMacManifest.hostname = QStringLiteral("new mac");
        newMacManifest.apps.clear();
        QCOMPARE(runCli(words("export --manifest -"), model::encodeManifest(newMacManifest), newMacSettings)
                     .exitCode,
                 0);
        const CliRun history = runCli({QStringLiteral("history")}, {}, newMacSettings);
        QCOMPARE(history.exitCode, 0);
        const QList<QByteArray> lines = history.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).split('\t').mid(2), (QList<QByteArray>{"new mac", "0"}));
        const QList<QByteArray> oldLine = lines.at(1).split('\t');
        QCOMPARE(oldLine.mid(2), (QList<QByteArray>{manifest->hostname.toUtf8(), "3"}));
        const CliRun byId =
            runCli({QStringLiteral("fetch"), QStringLiteral("--id"), QString::fromUtf8(oldLine.at(0))}, {},
                   newMacSettings);
        QCOMPARE(byId.out, fetched.out);
    }
};

QTEST_GUILESS_MAIN(SyncCliTest)
#include "tst_synccli.moc"
