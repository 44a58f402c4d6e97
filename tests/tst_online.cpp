#include "inventory/onlinescan.h"
#include "model/manifestjson.h"
#include "support/clirun.h"
#include "support/fakemac.h"
#include "support/localhttpserver.h"
#include "support/modelprinting.h"
#include "support/samplemac.h"
#include "support/testfiles.h"
#include "support/testsettings.h"
#include "support/waitfortask.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <QCoroTask>

#include <atomic>
#include <optional>
#include <tuple>

using namespace std::chrono_literals;
using inventory::InventoryEngine;
using model::AppRecord;
using model::AppSource;
using sampleMac::app;
using Request = LocalHttpServer::Request;
using Response = LocalHttpServer::Response;
using OptionalId = std::optional<qint64>;

Q_DECLARE_METATYPE(Response)

namespace QTest {
template <> char *toString(const OptionalId &id) {
    return id ? QTest::toString(*id) : qstrdup("<absent>");
}
} // namespace QTest

namespace {

const QByteArray cataloguePath = "/api/cask.json";

// A port on 127.0.0.1 where nothing listens: taken from the system, then given back.
QUrl refusingHost() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        qFatal("cannot listen on 127.0.0.1");
    const quint16 port = server.serverPort();
    server.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

// Only the hosts given; the others stay unusable, so no test can reach a public service.
inventory::Endpoints endpoints(const QUrl &catalogue, const QUrl &lookup,
                               std::chrono::milliseconds timeout = 20s) {
    inventory::Endpoints result;
    result.caskCatalogue = catalogue;
    result.appStoreLookup = lookup;
    result.setIdleTimeout(timeout);
    result.lookupRetryDelay = 50ms;
    return result;
}

QString bundleIdOf(const Request &request) {
    const QUrlQuery query(QString::fromLatin1(request.target.mid(request.target.indexOf('?') + 1)));
    return query.queryItemValue(QStringLiteral("bundleId"), QUrl::FullyDecoded);
}

QByteArray lookupAnswer(qint64 trackId) {
    return R"({"resultCount":1,"results":[{"kind":"mac-software","trackId":)" + QByteArray::number(trackId) +
           R"(,"trackName":"App","price":0}]})";
}

// The catalogue of tests/data at its path, and store ids for the bundle identifiers in `ids`; an
// unknown identifier gets the service's empty answer.
LocalHttpServer::Handler services(QHash<QString, qint64> ids, std::chrono::milliseconds lookupDelay = 0ms) {
    return [ids = std::move(ids), lookupDelay](const Request &request) {
        if (request.target == cataloguePath)
            return LocalHttpServer::json(testData("cask-catalogue.json"));
        if (!request.target.startsWith("/lookup?"))
            return LocalHttpServer::json("{}", 404);
        const QString bundleId = bundleIdOf(request);
        Response response = LocalHttpServer::json(
            ids.contains(bundleId) ? lookupAnswer(ids.value(bundleId)) : R"({"resultCount":0,"results":[]})");
        response.delay = lookupDelay;
        return response;
    };
}

QByteArray lookupTarget(const QByteArray &encodedBundleId) {
    return "/lookup?bundleId=" + encodedBundleId + "&entity=macSoftware";
}

Response htmlErrorPage() {
    Response response;
    response.status = 500;
    response.headers = {{"Content-Type", "text/html"}};
    response.body =
        "<!DOCTYPE html><html><head><title>Error</title></head><body>Internal error</body></html>";
    return response;
}

Response silent() {
    Response response;
    response.neverAnswer = true;
    return response;
}

Response cutShort() {
    Response response;
    response.raw = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 100000\r\n"
                   "Connection: close\r\n\r\n{\"results\":[{\"trackId\":1}]}";
    return response;
}

Response notHttp() {
    Response response;
    response.raw = "this is not HTTP at all\r\n\r\n";
    return response;
}

// A small Mac whose applications meet the catalogue of tests/data and the lookup service.
void addMatchingBundles(FakeMac &mac) {
    const QString apps = QStringLiteral("/Applications");
    mac.addBundle(
        apps, QStringLiteral("Visual Studio Code.app"),
        sampleMac::info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.microsoft.VSCode")},
                         {QStringLiteral("SUFeedURL"), QStringLiteral("https://example.com/code.xml")}}));
    mac.addReceipt(mac.addBundle(apps, QStringLiteral("Slack.app"),
                                 sampleMac::info({{QStringLiteral("CFBundleIdentifier"),
                                                   QStringLiteral("com.tinyspeck.slackmacgap")}})));
    // In the catalogue too, but it came from the App Store.
    mac.addReceipt(mac.addBundle(
        apps, QStringLiteral("Zush.app"),
        sampleMac::info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.lirik.Zush")}})));
    mac.addBundle(
        apps, QStringLiteral("Nowhere.app"),
        sampleMac::info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.nowhere")}}));
    mac.addBareBundle(QStringLiteral("/System/Applications"), QStringLiteral("ZXPInstaller.app"));
}

QList<AppRecord> expectedMatchingApps() {
    AppRecord nowhere = app(QStringLiteral("Nowhere"), QStringLiteral("/Applications/Nowhere.app"),
                            AppSource::manual, QStringLiteral("com.example.nowhere"));
    AppRecord slack = app(QStringLiteral("Slack"), QStringLiteral("/Applications/Slack.app"),
                          AppSource::appStore, QStringLiteral("com.tinyspeck.slackmacgap"));
    slack.appStoreId = 803453959;
    AppRecord code =
        app(QStringLiteral("Visual Studio Code"), QStringLiteral("/Applications/Visual Studio Code.app"),
            AppSource::cask, QStringLiteral("com.microsoft.VSCode"), std::nullopt, false,
            QStringLiteral("https://example.com/code.xml"));
    code.caskToken = QStringLiteral("visual-studio-code");
    AppRecord zxp = app(QStringLiteral("ZXPInstaller"),
                        QStringLiteral("/System/Applications/ZXPInstaller.app"), AppSource::apple);
    AppRecord zush = app(QStringLiteral("Zush"), QStringLiteral("/Applications/Zush.app"),
                         AppSource::appStore, QStringLiteral("com.lirik.Zush"));
    zush.appStoreId = 1234;
    return {nowhere, slack, code, zush, zxp};
}

const QHash<QString, qint64> matchingIds{{QStringLiteral("com.tinyspeck.slackmacgap"), 803453959},
                                         {QStringLiteral("com.lirik.Zush"), 1234}};

} // namespace

class OnlineTest : public QObject {
    Q_OBJECT

private:
    std::optional<TestSettings> m_settings;

private Q_SLOTS:
    void initTestCase() { m_settings.emplace(); }

    // --- the cask catalogue -----------------------------------------------------------------------

    void catalogueIsOneGetOfItsPath() {
        LocalHttpServer server(services({}));
        const inventory::Endpoints hosts = endpoints(server.url(), QUrl());
        const auto casks = waitForTask(inventory::loadCaskCatalogue(hosts)).appNames();
        QCOMPARE(casks.size(), 8);
        QCOMPARE(casks.value(QStringLiteral("visual studio code.app")),
                 QStringList{QStringLiteral("visual-studio-code")});
        QCOMPARE(casks.value(QStringLiteral("slack.app")),
                 (QStringList{QStringLiteral("slack"), QStringLiteral("slack@beta")}));

        const QList<Request> requests = server.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).method, QByteArray("GET"));
        QCOMPARE(requests.at(0).target, cataloguePath);
        QCOMPARE(requests.at(0).body, QByteArray());
    }

    void catalogueAnswers_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("expectedSize");
        QTest::newRow("HTML error page") << htmlErrorPage() << 0;
        QTest::newRow("status not examined")
            << LocalHttpServer::json(testData("cask-catalogue.json"), 404) << 8;
        QTest::newRow("an object, not an array") << LocalHttpServer::json(R"({"casks":[]})") << 0;
        QTest::newRow("never answers") << silent() << 0;
        QTest::newRow("body cut short") << cutShort() << 0;
        QTest::newRow("not HTTP") << notHttp() << 0;
    }
    void catalogueAnswers() {
        QFETCH(Response, response);
        QFETCH(int, expectedSize);
        LocalHttpServer server([response](const Request &) { return response; });
        // A short time-out only where silence is the point, so a busy machine cannot fail the others.
        const inventory::Endpoints hosts =
            endpoints(server.url(), QUrl(), response.neverAnswer ? 300ms : 20s);
        QCOMPARE(waitForTask(inventory::loadCaskCatalogue(hosts)).appNames().size(), expectedSize);
        // Qt itself sends a request again when the first connection dies without an answer.
        QVERIFY(!server.requests().isEmpty());
        for (const Request &request : server.requests())
            QCOMPARE(request.target, cataloguePath);
    }

    // The catalogue carries no secret: it may move within its server or to https, never to plain
    // http elsewhere. And it is given up past its deadline or its size cap.
    void catalogueWithinLimits_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<bool>("capped"); // at 1 KiB, below the catalogue's size
        QTest::addColumn<int>("expectedSize");
        Response drip = LocalHttpServer::json(testData("cask-catalogue.json"));
        drip.delivery = LocalHttpServer::Delivery::drip;
        drip.dripInterval = 20ms;
        QTest::newRow("redirect within the server") << LocalHttpServer::redirect("/moved") << false << 8;
        QTest::newRow("redirect to plain http elsewhere")
            << LocalHttpServer::redirect("ELSEWHERE") << false << 0;
        QTest::newRow("slow drip past the deadline") << drip << false << 0;
        QTest::newRow("past the cap") << LocalHttpServer::json(testData("cask-catalogue.json")) << true << 0;
    }
    void catalogueWithinLimits() {
        QFETCH(Response, response);
        QFETCH(bool, capped);
        QFETCH(int, expectedSize);
        LocalHttpServer elsewhere(
            [](const Request &) { return LocalHttpServer::json(testData("cask-catalogue.json")); });
        for (auto &[name, value] : response.headers)
            value.replace("ELSEWHERE", elsewhere.url().toEncoded() + cataloguePath);
        LocalHttpServer server([response](const Request &request) {
            return request.target == "/moved" ? LocalHttpServer::json(testData("cask-catalogue.json"))
                                              : response;
        });
        inventory::Endpoints hosts = endpoints(server.url(), QUrl());
        hosts.catalogueLimits.deadline = 2s;
        hosts.catalogueLimits.maxBodyBytes = capped ? 1024 : 1 << 20;
        QCOMPARE(waitForTask(inventory::loadCaskCatalogue(hosts)).appNames().size(), expectedSize);
        QCOMPARE(elsewhere.requests().size(), 0);
    }

    // --- App Store lookups ------------------------------------------------------------------------

    void lookupAnswers_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<OptionalId>("expected");
        QTest::newRow("real shape") << LocalHttpServer::json(testData("lookup-response.json"))
                                    << OptionalId(803453959);
        QTest::newRow("empty results")
            << LocalHttpServer::json(R"({"resultCount":0,"results":[]})") << OptionalId();
        QTest::newRow("two results") << LocalHttpServer::json(
                                            R"({"resultCount":2,"results":[{"trackId":11},{"trackId":22}]})")
                                     << OptionalId(11);
        QTest::newRow("trackId in quotes")
            << LocalHttpServer::json(R"({"resultCount":1,"results":[{"trackId":"803453959"}]})")
            << OptionalId();
        QTest::newRow("HTML error page") << htmlErrorPage() << OptionalId();
        QTest::newRow("other statuses not examined")
            << LocalHttpServer::json(lookupAnswer(5), 500) << OptionalId(5);
        QTest::newRow("never answers") << silent() << OptionalId();
        QTest::newRow("body cut short") << cutShort() << OptionalId();
        QTest::newRow("not HTTP") << notHttp() << OptionalId();
    }
    void lookupAnswers() {
        QFETCH(Response, response);
        QFETCH(OptionalId, expected);
        LocalHttpServer server([response](const Request &) { return response; });
        const inventory::Endpoints hosts =
            endpoints(QUrl(), server.url(), response.neverAnswer ? 300ms : 20s);
        QCOMPARE(waitForTask(inventory::lookUpAppStoreId(hosts, QStringLiteral("com.tinyspeck.slackmacgap"))),
                 expected);
        QVERIFY(!server.requests().isEmpty());
        for (const Request &request : server.requests()) {
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(request.target, lookupTarget("com.tinyspeck.slackmacgap"));
        }
    }

    void lookupIdentifierCannotAddQueryItems() {
        const QString bundleId = QStringLiteral("com.x&entity=iPadSoftware&bundleId=com.other#frag");
        LocalHttpServer server(services({{bundleId, 77}, {QStringLiteral("com.x"), 1}}));
        const inventory::Endpoints hosts = endpoints(QUrl(), server.url());
        QCOMPARE(waitForTask(inventory::lookUpAppStoreId(hosts, bundleId)), OptionalId(77));
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().at(0).target,
                 lookupTarget("com.x%26entity%3DiPadSoftware%26bundleId%3Dcom.other%23frag"));
    }

    void lookupWithoutUsableAddressSendsNothing() {
        LocalHttpServer server(services({}));
        const inventory::Endpoints noHosts = endpoints(QUrl(), QUrl());
        QCOMPARE(waitForTask(inventory::lookUpAppStoreId(noHosts, QStringLiteral("com.x"))), OptionalId());
        const inventory::Endpoints hosts = endpoints(QUrl(), server.url());
        QCOMPARE(waitForTask(inventory::lookUpAppStoreId(hosts, QStringLiteral("com.x") + QChar(0xdc00))),
                 OptionalId());
        QCOMPARE(server.requests().size(), 0);
    }

    void refusedLookupsAreAskedAgain_data() {
        QTest::addColumn<QList<Response>>("answers"); // in turn, the last one again and again
        QTest::addColumn<OptionalId>("expected");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("atLeastMs");
        const Response answer = LocalHttpServer::json(lookupAnswer(7));
        const auto refusal = [](int status) {
            return LocalHttpServer::json(R"({"errorMessage":"slow down"})", status);
        };
        Response waitASecond = refusal(429);
        waitASecond.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("1")));
        QTest::newRow("after the delay it asks for")
            << QList<Response>{waitASecond, answer} << OptionalId(7) << 2 << 1000;
        QTest::newRow("twice more at most")
            << QList<Response>{refusal(403), refusal(503), answer} << OptionalId(7) << 3 << 100;
        QTest::newRow("then without an id")
            << QList<Response>{LocalHttpServer::json(lookupAnswer(7), 503)} << OptionalId() << 3 << 100;
    }
    void refusedLookupsAreAskedAgain() {
        QFETCH(QList<Response>, answers);
        QFETCH(OptionalId, expected);
        QFETCH(int, requests);
        QFETCH(int, atLeastMs);
        std::atomic<int> asked = 0;
        LocalHttpServer server(
            [&](const Request &) { return answers.at(std::min<qsizetype>(asked++, answers.size() - 1)); });
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(waitForTask(
                     inventory::lookUpAppStoreId(endpoints(QUrl(), server.url()), QStringLiteral("com.x"))),
                 expected);
        QCOMPARE(server.requests().size(), requests);
        QVERIFY2(timer.elapsed() >= atLeastMs, qPrintable(QString::number(timer.elapsed())));
    }

    // --- enrichment -------------------------------------------------------------------------------

    // Every application of the real catalogue entries, with their siblings, on one Mac whose Homebrew
    // may have installed some of them: found by name, or by what package casks uninstall; two App
    // Store apps, one known to Spotlight.
    void casksChosenForTheRealCatalogue_data() {
        QTest::addColumn<QStringList>("caskroom");
        QTest::addColumn<QString>("firefox");
        QTest::addColumn<QString>("telegramDesktop");
        QTest::addColumn<QString>("zoom");
        QTest::newRow("guessed") << QStringList() << QStringLiteral("firefox")
                                 << QStringLiteral("telegram-desktop") << QStringLiteral("zoom");
        QTest::newRow("as Homebrew installed them")
            << words("firefox@esr telegram-desktop@beta chromium vlc@nightly zoom-for-it-admins .DS_Store")
            << QStringLiteral("firefox@esr") << QStringLiteral("telegram-desktop@beta")
            << QStringLiteral("zoom-for-it-admins");
    }
    void casksChosenForTheRealCatalogue() {
        QFETCH(QStringList, caskroom);
        QFETCH(QString, firefox);
        QFETCH(QString, telegramDesktop);
        QFETCH(QString, zoom);
        FakeMac mac;
        const QString apps = QStringLiteral("/Applications");
        for (const char *name : {"Chromium", "Firefox", "iTerm", "qBittorrent", "Telegram",
                                 "Telegram Desktop", "VLC", "zoom.us"})
            mac.addBareBundle(apps, QLatin1StringView(name) + QStringLiteral(".app"));
        for (const auto &[folder, name, id] :
             {std::tuple(apps, "Microsoft Edge", "com.microsoft.edgemac"),
              std::tuple(apps, "Slack", "com.tinyspeck.slackmacgap"),
              std::tuple(QStringLiteral("/System/Applications"), "Mail", "com.apple.mail")})
            mac.addBundle(folder, QLatin1StringView(name) + QStringLiteral(".app"),
                          sampleMac::info({{QStringLiteral("CFBundleIdentifier"), QLatin1StringView(id)}}));
        for (const QString &id :
             {QStringLiteral("com.culturedcode.ThingsMac"), QStringLiteral("com.example.gone")})
            mac.addReceipt(mac.addBundle(apps, id.section(u'.', -1) + QStringLiteral(".app"),
                                         sampleMac::info({{QStringLiteral("CFBundleIdentifier"), id}})));
        mac.addTool(
            QStringLiteral("/usr/bin/mdls"),
            "[ \"$1 $2 $3\" = '-raw -name kMDItemAppStoreAdamID' ] || exit 1\n"
            "case $4 in /Applications/ThingsMac.app) printf ' 904280696\\n' ;; *) printf '(null)' ;; esac\n");
        mac.addTool(QStringLiteral("/opt/homebrew/bin/brew"), "exit 0\n");
        for (const QString &token : caskroom)
            mac.makeFolder(QStringLiteral("/opt/homebrew/Caskroom/") + token);
        // Zoom's entry of the variants is the packages' one without its stanzas.
        QJsonArray entries = QJsonDocument::fromJson(testData("cask-catalogue-packages.json")).array();
        for (const QJsonValue cask :
             QJsonDocument::fromJson(testData("cask-catalogue-variants.json")).array()) {
            if (cask[QLatin1StringView("token")].toString() != u"zoom")
                entries.append(cask);
        }
        const QByteArray catalogue = QJsonDocument(entries).toJson();
        LocalHttpServer server([&catalogue](const Request &request) {
            if (request.target == cataloguePath)
                return LocalHttpServer::json(catalogue);
            return services({{QStringLiteral("com.example.gone"), 55}})(request);
        });
        QStringList progress;
        const InventoryEngine engine(mac.fileManager(), endpoints(server.url(), server.url()));
        const model::Manifest manifest = waitForTask(inventory::scan(engine, true, [&](const QString &line) {
                                             progress.append(line);
                                         })).value();

        QStringList found;
        for (const AppRecord &app : manifest.apps)
            found.append(app.name + u'=' + app.caskToken.value_or(QString()) + u'=' +
                         QString::number(app.appStoreId.value_or(0)));
        QCOMPARE(found,
                 (QStringList{QStringLiteral("Chromium=ungoogled-chromium=0"),
                              QStringLiteral("Firefox=") + firefox + QStringLiteral("=0"),
                              QStringLiteral("gone==55"), QStringLiteral("iTerm=iterm2=0"),
                              QStringLiteral("Mail==0"), QStringLiteral("Microsoft Edge=microsoft-edge=0"),
                              QStringLiteral("qBittorrent=qbittorrent=0"), QStringLiteral("Slack=slack=0"),
                              QStringLiteral("Telegram=telegram=0"),
                              QStringLiteral("Telegram Desktop=") + telegramDesktop + QStringLiteral("=0"),
                              QStringLiteral("ThingsMac==904280696"), QStringLiteral("VLC=vlc=0"),
                              QStringLiteral("zoom.us=") + zoom + QStringLiteral("=0")}));
        QCOMPARE(server.requests().size(), 2); // the catalogue, and the one id Spotlight did not know
        QCOMPARE(server.requests().at(1).target, lookupTarget("com.example.gone"));
        const qint64 size = catalogue.size();
        QVERIFY2(progress.contains(inventory::downloadingCatalogueText(size, size)),
                 qPrintable(progress.join(u'|')));
        QCOMPARE(progress.last(), QStringLiteral("Looking up App Store ids 1 of 1"));
    }

    // Spotlight's answers share one budget per scan: apps it hangs on cost that budget once, not each
    // a tool's whole limit, and the lookup service answers for the apps left unasked.
    void spotlightHasOneBudgetPerScan() {
        FakeMac mac;
        QHash<QString, qint64> ids;
        for (const QString &name : words("One Three Two")) {
            const QString id = QStringLiteral("com.example.") + name;
            ids.insert(id, ids.size() + 1);
            mac.addReceipt(mac.addBundle(QStringLiteral("/Applications"), name + QStringLiteral(".app"),
                                         sampleMac::info({{QStringLiteral("CFBundleIdentifier"), id}})));
        }
        mac.addTool(QStringLiteral("/usr/bin/mdls"), "sleep 30\n");
        LocalHttpServer server(services(ids));
        inventory::ToolLimits limits;
        limits.spotlight = 300ms;
        const InventoryEngine engine(mac.fileManager(), endpoints(QUrl(), server.url()), limits);
        QTest::ignoreMessage(QtWarningMsg,
                             "Spotlight used up its 300 ms for this scan; the App Store ids of 2 "
                             "more apps come from the lookup service.");
        QList<qint64> found;
        for (const AppRecord &app : QCoro::waitFor(inventory::enrichApps(engine, engine.scanApps(), {})))
            found.append(app.appStoreId.value_or(0));
        QCOMPARE(found, (QList<qint64>{1, 2, 3}));
    }

    void enrichmentBySource() {
        const QString apps = QStringLiteral("/Applications/");
        AppRecord code =
            app(QStringLiteral("Visual Studio Code"), apps + QStringLiteral("Visual Studio Code.app"),
                AppSource::manual, QStringLiteral("com.microsoft.VSCode"), QStringLiteral("1.95"), false,
                QStringLiteral("https://example.com/remembered"));
        AppRecord slack = app(QStringLiteral("slack"), apps + QStringLiteral("slack.app"), AppSource::manual);
        AppRecord zush = app(QStringLiteral("Zush"), apps + QStringLiteral("Zush.app"), AppSource::cask);
        AppRecord renamed = app(QStringLiteral("Chatterbox"), apps + QStringLiteral("Chatterbox.app"),
                                AppSource::manual, QStringLiteral("com.chatterbox"));
        AppRecord store = app(QStringLiteral("ZY Player"), apps + QStringLiteral("ZY Player.app"),
                              AppSource::appStore, QStringLiteral("com.hunlongyu.zy"));
        AppRecord storeWithoutId =
            app(QStringLiteral("0 A.D."), apps + QStringLiteral("0 A.D..app"), AppSource::appStore);
        AppRecord builtIn = app(QStringLiteral("ZXPInstaller"), apps + QStringLiteral("ZXPInstaller.app"),
                                AppSource::apple, QStringLiteral("com.apple.zxp"));
        AppRecord pkgOnly =
            app(QStringLiteral("Zwift"), apps + QStringLiteral("Zwift.app"), AppSource::manual);
        AppRecord umlaut =
            app(QStringLiteral("\u00c4rger"), apps + QStringLiteral("\u00c4rger.app"), AppSource::manual);
        AppRecord unknownStore = app(QStringLiteral("Unknown"), apps + QStringLiteral("Unknown.app"),
                                     AppSource::appStore, QStringLiteral("com.example.unknown"));
        const QList<AppRecord> input{code,           slack,   zush,    renamed, store,
                                     storeWithoutId, builtIn, pkgOnly, umlaut,  unknownStore};

        QList<AppRecord> expected = input;
        expected[0].source = AppSource::cask;
        expected[0].caskToken = QStringLiteral("visual-studio-code"); // downloadURL stays
        expected[1].source = AppSource::cask;
        expected[1].caskToken = QStringLiteral("slack"); // the stable one of slack and slack@beta
        expected[3].source = AppSource::cask;
        expected[3].caskToken = QStringLiteral("chatterbox"); // renamed to Chatterbox.app
        expected[2].caskToken = QStringLiteral("zush");
        expected[4].appStoreId = 42; // and no cask, though "ZY Player.app" is in the catalogue
        expected[8].source = AppSource::cask;
        expected[8].caskToken = QStringLiteral("aerger");

        LocalHttpServer server(services({{QStringLiteral("com.hunlongyu.zy"), 42}}));
        const FakeMac mac;
        const InventoryEngine engine(mac.fileManager(), endpoints(server.url(), server.url()));
        QCOMPARE(waitForTask(inventory::enrichApps(engine, input)), expected);

        // The catalogue first, once; then only the App Store records with an identifier, in list order.
        QList<QByteArray> targets;
        for (const Request &request : server.requests())
            targets.append(request.target);
        QCOMPARE(targets, (QList<QByteArray>{cataloguePath, lookupTarget("com.hunlongyu.zy"),
                                             lookupTarget("com.example.unknown")}));
    }

    void noCatalogueStillLooksUp() {
        LocalHttpServer catalogue([](const Request &) { return htmlErrorPage(); });
        LocalHttpServer lookup(services({{QStringLiteral("com.example.store"), 9}}));
        const QList<AppRecord> input{
            app(QStringLiteral("Visual Studio Code"), QStringLiteral("/Applications/Visual Studio Code.app"),
                AppSource::manual),
            app(QStringLiteral("Zush"), QStringLiteral("/Applications/Zush.app"), AppSource::cask),
            app(QStringLiteral("Store"), QStringLiteral("/Applications/Store.app"), AppSource::appStore,
                QStringLiteral("com.example.store")),
        };
        QList<AppRecord> expected = input;
        expected[2].appStoreId = 9;
        const FakeMac mac;
        const InventoryEngine engine(mac.fileManager(), endpoints(catalogue.url(), lookup.url()));
        QCOMPARE(waitForTask(inventory::enrichApps(engine, input)), expected);
        QCOMPARE(lookup.requests().size(), 1);
    }

    void lookupsAreOneAtATime() {
        QHash<QString, qint64> ids;
        QList<AppRecord> input;
        QList<QByteArray> expectedTargets{cataloguePath};
        for (int i = 1; i <= 4; ++i) {
            const QString bundleId = QStringLiteral("com.example.store%1").arg(i);
            ids.insert(bundleId, 100 + i);
            input.append(app(QStringLiteral("Store %1").arg(i),
                             QStringLiteral("/Applications/Store %1.app").arg(i), AppSource::appStore,
                             bundleId));
            expectedTargets.append(lookupTarget(bundleId.toUtf8()));
        }
        LocalHttpServer server(services(ids, 150ms));
        const FakeMac mac;
        const InventoryEngine engine(mac.fileManager(), endpoints(server.url(), server.url()));
        const QList<AppRecord> enriched = waitForTask(inventory::enrichApps(engine, input));

        QCOMPARE(server.maxConcurrentRequests(), 1);
        QList<QByteArray> targets;
        for (const Request &request : server.requests())
            targets.append(request.target);
        QCOMPARE(targets, expectedTargets);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(enriched.at(i).appStoreId, OptionalId(101 + i));
    }

    // --- the whole scan ---------------------------------------------------------------------------

    void onlineScanWithServicesDownEqualsOfflineScan_data() {
        QTest::addColumn<int>("failure");
        // The one test of hosts that refuse the connection, the catalogue's and the lookup's alike.
        QTest::newRow("connection refused") << 0;
        QTest::newRow("never answer") << 1;
        QTest::newRow("error pages") << 2;
    }
    void onlineScanWithServicesDownEqualsOfflineScan() {
        QFETCH(int, failure);
        FakeMac mac;
        sampleMac::addBundles(mac);
        sampleMac::addTools(mac);
        LocalHttpServer server(
            [failure](const Request &) { return failure == 1 ? silent() : htmlErrorPage(); });
        const QUrl host = failure == 0 ? refusingHost() : server.url();
        const InventoryEngine engine(mac.fileManager(), endpoints(host, host, 300ms));

        const model::Manifest offline = waitForTask(inventory::scan(engine, false)).value();
        QCOMPARE(server.requests().size(), 0); // offline touches no network
        const model::Manifest online = waitForTask(inventory::scan(engine, true)).value();
        QCOMPARE(online.apps, offline.apps);
        QCOMPARE(offline.apps, sampleMac::expectedApps());
        QCOMPARE(online.brewFormulae, sampleMac::expectedFormulae());
        QCOMPARE(online.legacyLoginItems, sampleMac::expectedLoginItems());
        QCOMPARE(online.backgroundItems, sampleMac::expectedBackgroundItems());
        // The catalogue and the sample's three App Store bundles with identifiers (Keynote among them).
        if (failure != 0)
            QCOMPARE(server.requests().size(), 4);
    }

    void onlineScanMatchesAndTimesAfterEnrichment() {
        FakeMac mac;
        addMatchingBundles(mac);
        QMutex mutex;
        QDateTime firstLookupAt;
        LocalHttpServer server([&](const Request &request) {
            if (request.target.startsWith("/lookup?")) {
                const QMutexLocker lock(&mutex);
                if (firstLookupAt.isNull())
                    firstLookupAt = QDateTime::currentDateTimeUtc();
            }
            Response response = services(matchingIds)(request);
            // Holding the catalogue back puts the lookups in a later second than the start of the scan.
            if (request.target == cataloguePath)
                response.delay = 1100ms;
            return response;
        });
        const InventoryEngine engine(mac.fileManager(), endpoints(server.url(), server.url()));
        const model::Manifest manifest = waitForTask(inventory::scan(engine, true)).value();
        QCOMPARE(manifest.apps, expectedMatchingApps());

        const QDateTime generatedAt = QDateTime::fromString(manifest.generatedAt, Qt::ISODate);
        QVERIFY(generatedAt.isValid());
        const QMutexLocker lock(&mutex);
        QVERIFY(!firstLookupAt.isNull());
        QVERIFY2(generatedAt.toSecsSinceEpoch() >= firstLookupAt.toSecsSinceEpoch(),
                 qPrintable(manifest.generatedAt + QStringLiteral(" is before the lookups at ") +
                            firstLookupAt.toString(Qt::ISODateWithMs)));
    }

    void mainThreadKeepsRunningDuringOnlineScan() {
        FakeMac mac;
        addMatchingBundles(mac);
        const QString toolRunning = mac.local(QStringLiteral("/tmp/osascript-running"));
        mac.makeFolder(QStringLiteral("/tmp"));
        mac.addTool(QStringLiteral("/usr/bin/osascript"), "touch '" + toolRunning.toUtf8() +
                                                              "'\nsleep 0.4\nrm '" + toolRunning.toUtf8() +
                                                              "'\necho '{\"Alpha\"}'\n");
        LocalHttpServer server(services(matchingIds, 400ms));
        const InventoryEngine engine(mac.fileManager(), endpoints(server.url(), server.url()));

        // Counted by a timer of the main thread: ticks while a lookup is being answered (the network
        // side) and while a tool runs (the blocking side).
        int ticksDuringLookups = 0;
        int ticksDuringTool = 0;
        QTimer timer;
        timer.setInterval(10ms);
        connect(&timer, &QTimer::timeout, this, [&] {
            if (QFileInfo::exists(toolRunning))
                ++ticksDuringTool;
            else if (server.requests().size() > 1)
                ++ticksDuringLookups;
        });
        timer.start();
        const model::Manifest manifest = waitForTask(inventory::scan(engine, true)).value();
        timer.stop();

        QCOMPARE(manifest.apps, expectedMatchingApps());
        QCOMPARE(manifest.legacyLoginItems, QStringList{QStringLiteral("Alpha")});
        QVERIFY2(ticksDuringLookups >= 5, qPrintable(QString::number(ticksDuringLookups)));
        QVERIFY2(ticksDuringTool >= 5, qPrintable(QString::number(ticksDuringTool)));
    }

    // --- haulwise-cli -----------------------------------------------------------------------------

    void cliScanOnline() {
        FakeMac mac;
        addMatchingBundles(mac);
        LocalHttpServer catalogue(services({}));
        LocalHttpServer lookup(services(matchingIds));
        const CliRun run =
            runCli({QStringLiteral("scan"), QStringLiteral("--online"), QStringLiteral("--root"), mac.root(),
                    QStringLiteral("--trust-root-tools"), QStringLiteral("--home"), FakeMac::home(),
                    QStringLiteral("--catalogue-url"), catalogue.url().toString(),
                    QStringLiteral("--lookup-url"), lookup.url().toString()});
        // This fake Mac has no login or background item tools: said, and the manifest still printed.
        QCOMPARE(
            run.err,
            QByteArray("Not read: backgroundItems: Couldn't run /usr/bin/sfltool: it isn't on this Mac.\n"
                       "Not read: legacyLoginItems: Couldn't run /usr/bin/osascript: it isn't on this "
                       "Mac.\n"));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.endsWith('\n'));
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY2(manifest, qPrintable(manifest.message()));
        QCOMPARE(manifest->apps, expectedMatchingApps());
        QCOMPARE(catalogue.requests().size(), 1);
        QCOMPARE(lookup.requests().size(), 2);
    }

    void cliScanOfflineTouchesNoNetwork() {
        FakeMac mac;
        addMatchingBundles(mac);
        const CliRun run =
            runCli({QStringLiteral("scan"), QStringLiteral("--root"), mac.root(),
                    QStringLiteral("--trust-root-tools"), QStringLiteral("--home"), FakeMac::home()});
        QCOMPARE(run.exitCode, 0);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY(manifest);
        QCOMPARE(manifest->apps, InventoryEngine(mac.fileManager()).scanApps());
    }

    void cliRefusesBadServiceAddresses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("no scheme") << words("--online --catalogue-url 127.0.0.1:8080")
                                   << QByteArray(
                                          "--catalogue-url: \"127.0.0.1:8080\" is not a service address");
        QTest::newRow("a path") << words("--online --lookup-url http://127.0.0.1:8080/lookup")
                                << QByteArray(
                                       "--lookup-url: \"http://127.0.0.1:8080/lookup\" is not a service");
        QTest::newRow("without --online")
            << QStringList{QStringLiteral("--catalogue-url"), QStringLiteral("http://127.0.0.1:1")}
            << QByteArray("--catalogue-url has effect only with --online.");
        QTest::newRow("missing value")
            << QStringList{QStringLiteral("--online"), QStringLiteral("--lookup-url")}
            << QByteArray("lookup-url");
    }
    void cliRefusesBadServiceAddresses() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        FakeMac mac;
        const CliRun run = runCli(QStringList{QStringLiteral("scan"), QStringLiteral("--root"), mac.root(),
                                              QStringLiteral("--trust-root-tools")} +
                                  arguments);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.contains(message), run.err.constData());
    }
};

QTEST_GUILESS_MAIN(OnlineTest)
#include "tst_online.moc"
