#include "support/localhttpserver.h"
#include "support/samplemanifest.h"
#include "support/testworker.h"
#include "support/waitfortask.h"

#include "model/manifestjson.h"
#include "sync/syncclient.h"

#include <QTest>

#include <QCoroTask>

#include <memory>

using namespace std::chrono_literals;
using syncing::SyncClient;
using syncing::SyncError;
using Delivery = LocalHttpServer::Delivery;
using Response = LocalHttpServer::Response;

Q_DECLARE_METATYPE(SyncError::Kind)
Q_DECLARE_METATYPE(Response)

namespace {

const QString workerToken = QStringLiteral("worker-test-token");

template <class T> T wait(QCoro::Task<T> task) {
    return waitForTask(std::move(task));
}

// What a result says, as one text a table can hold: the value or the error's description.
QString outcome(const syncing::SyncResult<QString> &result) {
    if (!result)
        return QStringLiteral("error: ") + result.message();
    return QStringLiteral("value: ") + *result;
}

QString outcome(const syncing::SyncResult<model::Manifest> &result) {
    if (!result)
        return QStringLiteral("error: ") + result.message();
    return QStringLiteral("value: ") + QString::fromUtf8(model::encodeManifest(*result));
}

LocalHttpServer::Response answer(int status, const QByteArray &body) {
    LocalHttpServer::Response response;
    response.status = status;
    response.body = body;
    return response;
}

} // namespace

class SyncClientTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endpointTrimsTheBase_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("expected"); // "" for badURL
        const QString clean = QStringLiteral("https://sync.example.com/manifest");
        QTest::newRow("clean") << "https://sync.example.com" << clean;
        QTest::newRow("one trailing slash") << "https://sync.example.com/" << clean;
        QTest::newRow("many trailing slashes") << "https://sync.example.com///" << clean;
        QTest::newRow("spaces around") << "   https://sync.example.com  " << clean;
        QTest::newRow("tabs and slashes") << "\thttps://sync.example.com/ \t" << clean;
        QTest::newRow("space between slashes") << "https://sync.example.com/ /"
                                               << "";
        QTest::newRow("tabs around slashes") << "\t https://sync.example.com//\t " << clean;
        QTest::newRow("leading slash") << "/https://sync.example.com" << clean;
        QTest::newRow("base path") << "https://sync.example.com/team/haulwise/"
                                   << "https://sync.example.com/team/haulwise/manifest";
        QTest::newRow("port") << "http://127.0.0.1:8787"
                              << "http://127.0.0.1:8787/manifest";
        QTest::newRow("only slashes") << "///"
                                      << "";
        QTest::newRow("three spaces") << "   "
                                      << "";
        QTest::newRow("spaces, tabs and slashes") << " /\t/ "
                                                  << "";
        QTest::newRow("trailing line break") << "https://sync.example.com\n"
                                             << "";
        QTest::newRow("space inside") << "https://sync example.com"
                                      << "";
        QTest::newRow("port out of range") << "https://sync.example.com:99999"
                                           << "";
        QTest::newRow("no scheme is not checked here") << "sync.example.com"
                                                       << "sync.example.com/manifest";
    }
    void endpointTrimsTheBase() {
        QFETCH(QString, base);
        QFETCH(QString, expected);
        const auto url = SyncClient(base, QStringLiteral("t")).endpoint(QStringLiteral("/manifest"));
        if (expected.isEmpty()) {
            QVERIFY(!url.ok());
            QCOMPARE(url.failure().kind, SyncError::Kind::badURL);
            QCOMPARE(url.failure().description(), QStringLiteral("The Worker URL isn't valid."));
        } else {
            QVERIFY(url.ok());
            QCOMPARE(url.value().toString(QUrl::FullyEncoded), expected);
        }
    }

    void nothingIsSentWithoutUsableSettings_data() {
        QTest::addColumn<QString>("base"); // "server" stands for the local server's address
        QTest::addColumn<QString>("token");
        QTest::addColumn<SyncError::Kind>("kind");
        QTest::addColumn<QString>("description");
        const QString notConfigured = QStringLiteral("Set your Worker URL and token in Settings first.");
        const QString badURL = QStringLiteral("The Worker URL isn't valid.");
        QTest::newRow("no URL") << ""
                                << "t" << SyncError::Kind::notConfigured << notConfigured;
        QTest::newRow("no token") << "server"
                                  << "" << SyncError::Kind::notConfigured << notConfigured;
        QTest::newRow("neither") << ""
                                 << "" << SyncError::Kind::notConfigured << notConfigured;
        QTest::newRow("three spaces") << "   "
                                      << "t" << SyncError::Kind::badURL << badURL;
        QTest::newRow("only slashes") << "///"
                                      << "t" << SyncError::Kind::badURL << badURL;
        QTest::newRow("three spaces, no token") << "   "
                                                << "" << SyncError::Kind::notConfigured << notConfigured;
    }
    void nothingIsSentWithoutUsableSettings() {
        QFETCH(QString, base);
        QFETCH(QString, token);
        QFETCH(SyncError::Kind, kind);
        QFETCH(QString, description);
        LocalHttpServer server([](const auto &) { return answer(200, "{}"); });
        if (base == u"server")
            base = server.url().toString();
        const SyncClient client(base, token);

        const auto uploaded = wait(client.upload(sampleManifest()));
        QVERIFY(!uploaded.ok());
        QCOMPARE(uploaded.failure().kind, kind);
        QCOMPARE(uploaded.failure().description(), description);
        const auto downloaded = wait(client.download());
        QVERIFY(!downloaded.ok());
        QCOMPARE(downloaded.failure().kind, kind);
        QCOMPARE(server.requests().size(), 0);
    }

    void uploadSendsOneAuthenticatedPut() {
        LocalHttpServer server(
            [](const auto &) { return answer(200, R"({"storedAt":"2026-12-07T10:00:01Z"})"); });
        const model::Manifest manifest = sampleManifest();
        // A token is sent exactly as stored, spaces and all.
        const auto result = wait(
            SyncClient(server.url().toString() + QStringLiteral("/base/path//"), QStringLiteral(" to ken"))
                .upload(manifest));
        QCOMPARE(outcome(result), QStringLiteral("value: 2026-12-07T10:00:01Z"));
        const QList<LocalHttpServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].method, QByteArray("PUT"));
        QCOMPARE(requests[0].target, QByteArray("/base/path/manifest"));
        QCOMPARE(requests[0].header("Authorization"), QByteArray("Bearer  to ken"));
        QCOMPARE(requests[0].header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(requests[0].body, model::encodeManifest(manifest));
    }

    void downloadSendsOneGetWithoutBody() {
        LocalHttpServer server(
            [](const auto &) { return LocalHttpServer::json(model::encodeManifest(sampleManifest())); });
        const auto result =
            wait(SyncClient(QStringLiteral("  ") + server.url().toString() + QStringLiteral("/\t"),
                            QStringLiteral("secret"))
                     .download());
        QVERIFY(result.ok());
        QCOMPARE(result.value(), sampleManifest());
        const QList<LocalHttpServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].method, QByteArray("GET"));
        QCOMPARE(requests[0].target, QByteArray("/manifest"));
        QCOMPARE(requests[0].header("Authorization"), QByteArray("Bearer secret"));
        QCOMPARE(requests[0].header("Content-Type"), QByteArray());
        QCOMPARE(requests[0].body, QByteArray());
    }

    void uploadAnswers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stored at") << 200 << QByteArray(R"({"storedAt":"yesterday, 9:41"})")
                                   << "value: yesterday, 9:41";
        QTest::newRow("empty stored at") << 200 << QByteArray(R"({"storedAt":""})") << "value: ";
        QTest::newRow("empty body") << 200 << QByteArray() << "value: just now";
        QTest::newRow("array") << 200 << QByteArray("[]") << "value: just now";
        QTest::newRow("stored at a number")
            << 200 << QByteArray(R"({"storedAt":1733565601})") << "value: just now";
        QTest::newRow("stored at null") << 200 << QByteArray(R"({"storedAt":null})") << "value: just now";
        QTest::newRow("not JSON") << 200 << QByteArray("OK") << "value: just now";
        QTest::newRow("created") << 201 << QByteArray("Created") << "error: Server returned 201: Created";
        QTest::newRow("no content") << 204 << QByteArray() << "error: Server returned 204: ";
        QTest::newRow("unauthorized")
            << 401 << QByteArray("Unauthorized") << "error: Server returned 401: Unauthorized";
        QTest::newRow("body on one line") << 413 << QByteArray("Too large:\r\n\tlimit is 25 MiB ✓\n")
                                          << "error: Server returned 413: Too large: limit is 25 MiB ✓";
        QTest::newRow("long body cut") << 502 << QByteArray("<p>\n").repeated(100)
                                       << QStringLiteral("error: Server returned 502: ") +
                                              QStringLiteral("<p> ").repeated(75).trimmed() + QChar(0x2026);
        QTest::newRow("not UTF-8") << 500 << QByteArray("caf\xe9 \xff") << "error: Server returned 500: ";
    }
    void uploadAnswers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        LocalHttpServer server([&](const auto &) { return answer(status, body); });
        QCOMPARE(
            outcome(wait(SyncClient(server.url().toString(), QStringLiteral("t")).upload(sampleManifest()))),
            expected);
        QCOMPARE(server.requests().size(), 1);
    }

    void downloadAnswers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const QByteArray manifest = model::encodeManifest(sampleManifest());
        QTest::newRow("manifest") << 200 << manifest
                                  << QStringLiteral("value: ") + QString::fromUtf8(manifest);
        QTest::newRow("nothing stored yet") << 404 << QByteArray() << "error: Server returned 404: ";
        QTest::newRow("created is no success") << 201 << manifest
                                               << QStringLiteral("error: Server returned 201: ") +
                                                      QString::fromUtf8(manifest).left(300) + QChar(0x2026);
        QTest::newRow("unauthorized")
            << 401 << QByteArray("Unauthorized") << "error: Server returned 401: Unauthorized";
        QTest::newRow("not UTF-8") << 502 << QByteArray("\xc3\x28") << "error: Server returned 502: ";
        const QString decode = QStringLiteral("error: Couldn't read the server response.");
        QTest::newRow("array") << 200 << QByteArray("[]") << decode;
        QTest::newRow("empty body") << 200 << QByteArray() << decode;
        QTest::newRow("unknown source")
            << 200 << QByteArray(manifest).replace(R"("source":"cask")", R"("source":"Cask")") << decode;
        QTest::newRow("captive portal page") << 200 << QByteArray("<html>Log in</html>") << decode;
    }
    void downloadAnswers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        LocalHttpServer server([&](const auto &) { return answer(status, body); });
        QCOMPARE(outcome(wait(SyncClient(server.url().toString(), QStringLiteral("t")).download())),
                 expected);
        QCOMPARE(server.requests().size(), 1);
    }

    void tokenWithControlCharactersIsNotSent_data() {
        QTest::addColumn<QString>("token");
        QTest::newRow("line break and header") << "t\r\nX-Injected: 1";
        QTest::newRow("pasted with a line feed") << "token\n";
        QTest::newRow("null") << QStringView(u"to\0ken", 6).toString();
        QTest::newRow("delete") << "to\x7fken";
    }
    void tokenWithControlCharactersIsNotSent() {
        QFETCH(QString, token);
        LocalHttpServer server([](const auto &) { return answer(200, "{}"); });
        const SyncClient client(server.url().toString(), token);
        const auto uploaded = wait(client.upload(sampleManifest()));
        QVERIFY(!uploaded.ok());
        QCOMPARE(uploaded.failure().kind, SyncError::Kind::transport);
        QCOMPARE(uploaded.failure().description(),
                 QStringLiteral(
                     "The token can't be sent: it contains a line break or another control character."));
        QVERIFY(!wait(client.download()).ok());
        QCOMPARE(server.requests().size(), 0);
    }

    void tokenWithTabIsSentUnchanged() {
        LocalHttpServer server([](const auto &) { return answer(200, "{}"); });
        QCOMPARE(outcome(wait(
                     SyncClient(server.url().toString(), QStringLiteral("a\tb")).upload(sampleManifest()))),
                 QStringLiteral("value: just now"));
        QCOMPARE(server.requests().value(0).header("Authorization"), QByteArray("Bearer a\tb"));
    }

    void silentServerTimesOutAsTransportError() {
        LocalHttpServer server([](const auto &) {
            LocalHttpServer::Response response;
            response.neverAnswer = true;
            return response;
        });
        const SyncClient client(server.url().toString(), QStringLiteral("t"), {300ms, 20s, 1024});
        const auto result = wait(client.download());
        QVERIFY(!result.ok());
        QCOMPARE(result.failure(),
                 SyncError::transportFailure(QStringLiteral("127.0.0.1 sent nothing for 300 ms; gave up.")));
        QCOMPARE(server.requests().size(), 1);
    }

    void refusedConnectionIsTransportError() {
        QUrl closed;
        {
            LocalHttpServer server;
            closed = server.url();
        }
        const auto result = wait(SyncClient(closed.toString(), QStringLiteral("t")).upload(sampleManifest()));
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, SyncError::Kind::transport);
        QCOMPARE(result.failure().description(), QStringLiteral("Connection refused"));
    }

    void answerThatIsNotHttpIsTransportError() {
        LocalHttpServer server([](const auto &) {
            LocalHttpServer::Response response;
            response.raw = "SSH-2.0-OpenSSH_9.6\r\n";
            return response;
        });
        const auto result = wait(SyncClient(server.url().toString(), QStringLiteral("t")).download());
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, SyncError::Kind::transport);
    }

    void tokenTravelsEncryptedOrStaysHere_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://sync.example.com/haulwise" << true;
        QTest::newRow("loopback") << "http://127.0.0.1:8787" << true;
        QTest::newRow("anywhere in 127/8") << "http://127.42.0.9" << true;
        QTest::newRow("IPv6 loopback") << "http://[::1]:8787/" << true;
        QTest::newRow("localhost") << "http://LocalHost:8787" << true;
        QTest::newRow("http elsewhere") << "http://sync.example.com" << false;
        QTest::newRow("private network") << "http://192.168.1.20:8787" << false;
        QTest::newRow("loopback-looking name") << "http://127.0.0.1.example.com" << false;
        QTest::newRow("localhost as a subdomain") << "http://localhost.example.com" << false;
        QTest::newRow("file") << "file:///tmp/haulwise" << false;
        QTest::newRow("ftp") << "ftp://sync.example.com" << false;
        QTest::newRow("no scheme") << "sync.example.com" << false;
    }
    void tokenTravelsEncryptedOrStaysHere() {
        QFETCH(QString, base);
        QFETCH(bool, allowed);
        const auto url = SyncClient(base, QStringLiteral("t")).manifestURL();
        QCOMPARE(url.ok(), allowed);
        if (!allowed)
            QCOMPARE(url.failure(), SyncError::insecureURL());
    }

    // A broken or hostile server costs one clear message and no more than the limits; the token goes
    // nowhere else, and the next attempt, once the server behaves, works.
    void hostileAnswers_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<QString>("message");
        const auto with = [](Delivery delivery, QByteArray body) {
            Response response;
            response.body = std::move(body);
            response.delivery = delivery;
            return response;
        };
        const QByteArray manifest = model::encodeManifest(sampleManifest());
        const QString tooLarge =
            QStringLiteral("The answer from 127.0.0.1 is larger than 1 KiB; stopped reading it.");
        QTest::newRow("redirect elsewhere")
            << LocalHttpServer::redirect("ELSEWHERE") << "Server returned 307: moved";
        QTest::newRow("permanent redirect")
            << LocalHttpServer::redirect("ELSEWHERE", 308) << "Server returned 308: moved";
        const QString cut =
            QStringLiteral("127.0.0.1 closed the connection before the whole answer arrived.");
        QTest::newRow("reset mid-body") << with(Delivery::resetMidBody, manifest) << cut;
        QTest::newRow("truncated body") << with(Delivery::truncated, manifest) << cut;
        QTest::newRow("stall after headers")
            << with(Delivery::stallAfterHeaders, manifest) << "127.0.0.1 sent nothing for 200 ms; gave up.";
        QTest::newRow("slow drip") << with(Delivery::drip, manifest)
                                   << "127.0.0.1 didn't answer in full within 600 ms; gave up.";
        QTest::newRow("announced past the cap") << with(Delivery::whole, QByteArray(4096, 'x')) << tooLarge;
        QTest::newRow("streamed past the cap")
            << with(Delivery::closeDelimited, QByteArray(1 << 20, 'x')) << tooLarge;
    }
    void hostileAnswers() {
        QFETCH(Response, response);
        QFETCH(QString, message);
        LocalHttpServer elsewhere([](const auto &) { return answer(200, "{}"); });
        for (auto &[name, value] : response.headers)
            value.replace("ELSEWHERE", elsewhere.url().toEncoded() + "/manifest");
        LocalHttpServer server([&](const auto &) { return response; });
        const SyncClient client(server.url().toString(), QStringLiteral("t"), {200ms, 600ms, 1024});

        const auto fetched = wait(client.download());
        const auto stored = wait(client.upload(sampleManifest()));
        for (const QString &failure : {fetched.message(), stored.message()}) {
            QCOMPARE(failure, message);
        }
        QCOMPARE(elsewhere.requests().size(), 0);

        server.setHandler(
            [](const auto &) { return LocalHttpServer::json(model::encodeManifest(sampleManifest())); });
        QCOMPARE(outcome(wait(client.download())),
                 QStringLiteral("value: ") + QString::fromUtf8(model::encodeManifest(sampleManifest())));
    }

    // An answer that inflates to far more than was sent is stopped, and said to be too large, whether
    // the client's own count or the network layer's guard stops it.
    void compressedAnswerPastTheCapIsTooLarge() {
        // The zlib stream of 64 MiB of zeros: about 64 KiB on the wire.
        const QByteArray inflating = qCompress(QByteArray(64 << 20, '\0'), 9).mid(4);
        LocalHttpServer server([&](const auto &) {
            Response response = answer(200, inflating);
            response.headers.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("deflate")));
            return response;
        });
        const auto fetched = wait(SyncClient(server.url().toString(), QStringLiteral("t")).download());
        QCOMPARE(fetched.message(),
                 QStringLiteral("The answer from 127.0.0.1 is larger than 8 MiB; stopped reading it."));
    }

    // --- the real Worker ---------------------------------------------------------------------------

    // The one Worker of the tests named worker…, started by the first; those that follow see what the
    // earlier ones stored. A skip or failure here, rather than in a helper, ends the test itself.
    void init() {
        if (!QByteArrayView(QTest::currentTestFunction()).startsWith("worker"))
            return;
        if (!m_worker)
            m_worker =
                std::make_unique<TestWorker>(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), workerToken);
        if (const QString reason = m_worker->unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(QStringLiteral("The Worker can't be served here: ") + reason));
        if (m_worker->url().isEmpty()) {
            QString error;
            QVERIFY2(m_worker->start(&error), qPrintable(error));
        }
    }

    void workerAnswers404BeforeAnyUpload() {
        const auto result = wait(SyncClient(m_worker->url().toString(), workerToken).download());
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().kind, SyncError::Kind::http);
        QCOMPARE(result.failure().statusCode, 404);
    }

    void workerGivesBackWhatWasUploaded() {
        // A Worker behind a base path answers there too.
        const SyncClient client(m_worker->url().toString() + QStringLiteral("/team/haulwise/"), workerToken);
        const auto stored = wait(client.upload(sampleManifest()));
        QVERIFY2(stored.ok(), qPrintable(outcome(stored)));
        // The Worker says when, as an ISO date; the program shows it without parsing it.
        QVERIFY2(stored.value().startsWith(u'2'), qPrintable(stored.value()));
        const auto fetched = wait(client.download());
        QVERIFY2(fetched.ok(), qPrintable(outcome(fetched)));
        QCOMPARE(fetched.value(), sampleManifest());
    }

    void workerRefusesAnotherToken() {
        const SyncClient client(m_worker->url().toString(), QStringLiteral("not-") + workerToken);
        const auto fetched = wait(client.download());
        QVERIFY(!fetched.ok());
        QCOMPARE(fetched.failure().kind, SyncError::Kind::http);
        QCOMPARE(fetched.failure().statusCode, 401);
        QVERIFY(fetched.failure().description().startsWith(QStringLiteral("Server returned 401: ")));
        const auto stored = wait(client.upload(model::Manifest{}));
        QVERIFY(!stored.ok());
        QCOMPARE(stored.failure().statusCode, 401);
        // The refused upload replaced nothing.
        const auto kept = wait(SyncClient(m_worker->url().toString(), workerToken).download());
        QVERIFY(kept.ok());
        QCOMPARE(kept.value(), sampleManifest());
    }

    void cleanupTestCase() { m_worker.reset(); }

private:
    std::unique_ptr<TestWorker> m_worker;
};

QTEST_GUILESS_MAIN(SyncClientTest)
#include "tst_syncclient.moc"
