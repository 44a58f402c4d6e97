#include "inventory/inventorymodel.h"
#include "model/manifestjson.h"
#include "platform/userdefaults.h"
#include "support/fakemac.h"
#include "support/localhttpserver.h"
#include "support/memorysecretstore.h"
#include "support/modelprinting.h"
#include "support/testfiles.h"
#include "support/testsettings.h"
#include "support/testworker.h"
#include "support/waitfortask.h"
#include "sync/appsettings.h"
#include "sync/syncclient.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

#include <QCoroTask>

#include <memory>
#include <optional>

using namespace std::chrono_literals;
using inventory::InventoryEngine;
using inventory::InventoryModel;
using model::AppSource;
using syncing::AppSettings;

namespace {

const QString workerToken = QStringLiteral("model-test-token");

void wait(QCoro::Task<> task) {
    waitForTask(std::move(task));
}

// The cask catalogue of tests/data, and the store id 4242 for com.example.store.
LocalHttpServer::Response services(const LocalHttpServer::Request &request) {
    if (request.target == "/api/cask.json")
        return LocalHttpServer::json(testData("cask-catalogue.json"));
    if (request.target.startsWith("/lookup?") && request.target.contains("bundleId=com.example.store"))
        return LocalHttpServer::json(R"({"resultCount":1,"results":[{"trackId":4242}]})");
    if (request.target.startsWith("/lookup?"))
        return LocalHttpServer::json(R"({"resultCount":0,"results":[]})");
    return LocalHttpServer::json("{}", 404);
}

QUrl refusingHost() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        qFatal("cannot listen on 127.0.0.1");
    const quint16 port = server.serverPort();
    server.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

inventory::Endpoints endpointsAt(const QUrl &host) {
    inventory::Endpoints endpoints;
    endpoints.caskCatalogue = host;
    endpoints.appStoreLookup = host;
    endpoints.setIdleTimeout(20s);
    return endpoints;
}

// A Mac with one application of each kind: a cask once matched online, an App Store application, one
// to download by hand, and one of the system's.
void addApps(FakeMac &mac) {
    mac.addBundle(QStringLiteral("/Applications"), QStringLiteral("Visual Studio Code.app"),
                  {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.microsoft.VSCode")}});
    mac.addReceipt(
        mac.addBundle(QStringLiteral("/Applications"), QStringLiteral("Store.app"),
                      {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.store")}}));
    mac.addBundle(QStringLiteral("/Applications"), QStringLiteral("By Hand.app"),
                  {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.byhand")}});
    mac.addBareBundle(QStringLiteral("/System/Applications"), QStringLiteral("Calculator.app"));
}

// Every published change of the model, in order, as readable lines.
class Trace {
public:
    explicit Trace(InventoryModel &model) {
        QObject::connect(&model, &InventoryModel::isBusyChanged, &model, [this, &model] {
            m_lines.append(model.isBusy() ? QStringLiteral("isBusy true") : QStringLiteral("isBusy false"));
        });
        QObject::connect(&model, &InventoryModel::statusChanged, &model,
                         [this, &model] { m_lines.append(QStringLiteral("status ") + model.status()); });
        // The catalogue's progress comes in as many lines as the download has pieces: one is kept.
        QObject::connect(&model, &InventoryModel::progressChanged, &model, [this, &model] {
            const QString line = QStringLiteral("progress ") + model.progress().section(u'…', 0, 0);
            if (m_lines.isEmpty() || m_lines.constLast() != line)
                m_lines.append(line);
        });
        QObject::connect(&model, &InventoryModel::errorMessageChanged, &model, [this, &model] {
            m_lines.append(QStringLiteral("errorMessage ") +
                           model.errorMessage().value_or(QStringLiteral("<absent>")));
        });
        QObject::connect(&model, &InventoryModel::lastExportChanged, &model, [this, &model] {
            m_lines.append(QStringLiteral("lastExport ") +
                           model.lastExport().value_or(QStringLiteral("<absent>")));
        });
        QObject::connect(&model, &InventoryModel::manifestChanged, &model, [this, &model] {
            m_lines.append(QStringLiteral("manifest %1 apps, %2 auto, %3 manual (%4), %5 built-in")
                               .arg(model.appCount())
                               .arg(model.autoCount())
                               .arg(model.manualCount())
                               .arg(model.manualNames().join(QStringLiteral(", ")))
                               .arg(model.builtInCount()));
        });
    }
    QStringList take() { return std::exchange(m_lines, {}); }

private:
    QStringList m_lines;
};

const QStringList scanTrace{
    QStringLiteral("isBusy true"),
    QStringLiteral("status Scanning apps…"),
    // The offline pass: nothing matched to casks or App Store ids yet.
    QStringLiteral("manifest 4 apps, 1 auto, 2 manual (By Hand, Visual Studio Code), 1 built-in"),
    QStringLiteral("status Matching casks & App Store IDs…"),
    QStringLiteral("progress Downloading the cask catalogue"),
    QStringLiteral("progress Looking up App Store ids 1 of 1"),
    QStringLiteral("progress "),
    QStringLiteral("manifest 4 apps, 2 auto, 1 manual (By Hand), 1 built-in"),
    QStringLiteral("status 3 installable · 1 built-in"),
    QStringLiteral("isBusy false"),
};

} // namespace

class InventoryModelTest : public QObject {
    Q_OBJECT

private:
    std::optional<TestSettings> m_settings;
    std::unique_ptr<AppSettings> m_appSettings;
    std::unique_ptr<FakeMac> m_mac;
    std::unique_ptr<LocalHttpServer> m_services;

    std::unique_ptr<InventoryModel> makeModel(const QUrl &servicesHost) {
        return std::make_unique<InventoryModel>(
            InventoryEngine(m_mac->fileManager(), endpointsAt(servicesHost)), *m_appSettings);
    }

    void configure(const QString &url, const QString &token) {
        m_appSettings->setWorkerURL(url);
        m_appSettings->setToken(token);
        wait(m_appSettings->saved());
    }

private Q_SLOTS:
    void initTestCase() {
        m_settings.emplace();
        m_appSettings = std::make_unique<AppSettings>(std::make_shared<MemorySecretStore>());
        wait(m_appSettings->ready());
        m_mac = std::make_unique<FakeMac>();
        addApps(*m_mac);
        m_services = std::make_unique<LocalHttpServer>(services);
    }

    void init() { configure(QString(), QString()); }

    void freshModelHasNothing() {
        InventoryModel model{InventoryEngine(), *m_appSettings};
        QCOMPARE(model.status(), QStringLiteral("Not scanned yet"));
        QVERIFY(!model.manifest());
        QVERIFY(!model.hasManifest());
        QVERIFY(!model.isBusy());
        QCOMPARE(model.lastExport(), std::nullopt);
        QCOMPARE(model.errorMessage(), std::nullopt);
        QCOMPARE(model.lastExportText(), QString());
        QCOMPARE(model.errorMessageText(), QString());
        QCOMPARE(model.summary(), QString());
        QCOMPARE(model.appCount(), 0);
        QCOMPARE(model.manualNames(), QStringList());
    }

    void scanPublishesBothPasses() {
        const auto model = makeModel(m_services->url());
        Trace trace(*model);
        wait(model->scan());
        QCOMPARE(trace.take(), scanTrace);
        QVERIFY(model->hasManifest());
        const model::AppRecord &code = model->manifest()->apps.at(3);
        QCOMPARE(code.name, QStringLiteral("Visual Studio Code"));
        QCOMPARE(code.source, AppSource::cask);
        QCOMPARE(code.caskToken, std::optional<QString>(QStringLiteral("visual-studio-code")));
        QCOMPARE(model->manifest()->apps.at(2).appStoreId, std::optional<qint64>(4242));
        QCOMPARE(model->lastExport(), std::nullopt);
    }

    void scanWithoutNetworkStillEnds() {
        const auto model = makeModel(refusingHost());
        wait(model->scan());
        QVERIFY(model->hasManifest());
        QCOMPARE(model->status(), QStringLiteral("3 installable · 1 built-in"));
        QVERIFY(!model->isBusy());
        QCOMPARE(model->errorMessage(), std::nullopt);
        QCOMPARE(model->manualCount(), 2);
    }

    void exportWithoutManifestDoesNothing() {
        LocalHttpServer worker;
        configure(worker.url().toString(), QStringLiteral("t"));
        const auto model = makeModel(m_services->url());
        Trace trace(*model);
        wait(model->exportManifest());
        QCOMPARE(trace.take(), QStringList());
        QCOMPARE(model->status(), QStringLiteral("Not scanned yet"));
        QCOMPARE(worker.requests().size(), 0);
    }

    void exportWithoutSettingsFails_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::newRow("no URL") << ""
                                << "t";
        QTest::newRow("no token") << "http://127.0.0.1:9"
                                  << "";
    }
    void exportWithoutSettingsFails() {
        QFETCH(QString, url);
        QFETCH(QString, token);
        configure(url, token);
        const auto model = makeModel(m_services->url());
        wait(model->scan());
        const auto scanned = model->manifest();
        Trace trace(*model);
        wait(model->exportManifest());
        QCOMPARE(trace.take(),
                 QStringList({QStringLiteral("isBusy true"), QStringLiteral("status Pushing to Cloud…"),
                              QStringLiteral("errorMessage Set your Worker URL and token in Settings first."),
                              QStringLiteral("status Export failed"), QStringLiteral("isBusy false")}));
        QCOMPARE(model->manifest(), scanned);
        QCOMPARE(model->lastExport(), std::nullopt);
    }

    // Scanned, exported, failed, scanned again: the rows of the state table in one story, against the
    // real Worker.
    void exportToTheWorkerThroughTheStateTable() {
        TestWorker worker(QStringLiteral(HAULWISE_SOURCE_DIR "/worker"), workerToken);
        HAULWISE_START_WORKER(worker);
        configure(worker.url().toString(), workerToken);

        const auto model = makeModel(m_services->url());
        Trace trace(*model);
        wait(model->scan());
        QCOMPARE(trace.take(), scanTrace);

        wait(model->exportManifest());
        const QStringList exported = trace.take();
        QCOMPARE(exported.size(), 5);
        QCOMPARE(exported.mid(0, 2),
                 QStringList({QStringLiteral("isBusy true"), QStringLiteral("status Pushing to Cloud…")}));
        QVERIFY2(exported[2].startsWith(QStringLiteral("lastExport 2")), qPrintable(exported[2]));
        QCOMPARE(exported.mid(3),
                 QStringList({QStringLiteral("status Exported ✓"), QStringLiteral("isBusy false")}));
        const std::optional<QString> storedAt = model->lastExport();
        QCOMPARE(model->lastExportText(), *storedAt);

        const auto fetched =
            waitForTask(syncing::SyncClient(worker.url().toString(), workerToken).download());
        QVERIFY(fetched.ok());
        QCOMPARE(fetched.value(), *model->manifest());

        // Another token: the Worker refuses, the earlier export time stays.
        configure(worker.url().toString(), QStringLiteral("wrong"));
        wait(model->exportManifest());
        const QStringList failed = trace.take();
        QCOMPARE(failed.size(), 5);
        QVERIFY2(failed[2].startsWith(QStringLiteral("errorMessage Server returned 401: ")),
                 qPrintable(failed[2]));
        QCOMPARE(failed.mid(3),
                 QStringList({QStringLiteral("status Export failed"), QStringLiteral("isBusy false")}));
        QCOMPARE(model->errorMessageText(), failed[2].mid(13));
        QCOMPARE(model->lastExport(), storedAt);

        // A new scan clears the message and keeps the export time.
        wait(model->scan());
        QCOMPARE(trace.take(),
                 QStringList({QStringLiteral("isBusy true"), QStringLiteral("errorMessage <absent>"),
                              QStringLiteral("status Scanning apps…")}) +
                     scanTrace.mid(2));
        QCOMPARE(model->lastExport(), storedAt);
    }

    void exportSendsTheManifestHeldWhenItStarted() {
        LocalHttpServer worker([](const LocalHttpServer::Request &) {
            LocalHttpServer::Response response = LocalHttpServer::json(R"({"storedAt":"then"})");
            response.delay = 300ms;
            return response;
        });
        configure(worker.url().toString(), QStringLiteral("t"));
        FakeMac mac;
        addApps(mac);
        InventoryModel model(InventoryEngine(mac.fileManager(), endpointsAt(m_services->url())),
                             *m_appSettings);
        wait(model.scan());
        const model::Manifest before = *model.manifest();
        mac.addBundle(QStringLiteral("/Applications"), QStringLiteral("Newcomer.app"), {});
        model.startExport();
        wait(model.scan());
        QCOMPARE(model.appCount(), 5);
        QTRY_COMPARE(model.status(), QStringLiteral("Exported ✓"));
        QCOMPARE(worker.requests().size(), 1);
        QCOMPARE(worker.requests().at(0).body, model::encodeManifest(before));
        QCOMPARE(model.lastExport(), std::optional<QString>(QStringLiteral("then")));
    }

    void exportFailureShowsTheServersWords() {
        LocalHttpServer worker([](const LocalHttpServer::Request &) {
            LocalHttpServer::Response response;
            response.status = 201;
            response.body = "Created";
            return response;
        });
        configure(worker.url().toString(), QStringLiteral("t"));
        const auto model = makeModel(m_services->url());
        wait(model->scan());
        wait(model->exportManifest());
        QCOMPARE(model->status(), QStringLiteral("Export failed"));
        QCOMPARE(model->errorMessage(),
                 std::optional<QString>(QStringLiteral("Server returned 201: Created")));
        QVERIFY(!model->isBusy());
    }

    void summaryCountsInstallableAndBuiltIn_data() {
        QTest::addColumn<int>("manual");
        QTest::addColumn<int>("apple");
        QTest::addColumn<QString>("summary");
        QTest::newRow("none") << 0 << 0 << "0 installable · 0 built-in";
        QTest::newRow("example") << 42 << 17 << "42 installable · 17 built-in";
        QTest::newRow("only built-in") << 0 << 3 << "0 installable · 3 built-in";
    }
    void summaryCountsInstallableAndBuiltIn() {
        QFETCH(int, manual);
        QFETCH(int, apple);
        QFETCH(QString, summary);
        model::Manifest manifest;
        for (int i = 0; i < manual + apple; ++i) {
            model::AppRecord app;
            app.name = QString::number(i);
            app.path = QStringLiteral("/Applications/%1.app").arg(i);
            app.source = i < manual ? AppSource::manual : AppSource::apple;
            manifest.apps.append(app);
        }
        QCOMPARE(InventoryModel::summary(manifest), summary);
    }

    void alsoTextCountsTheOtherKinds_data() {
        QTest::addColumn<int>("extensions");
        QTest::addColumn<int>("crates");
        QTest::addColumn<int>("fonts");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << 0 << 0 << "";
        QTest::newRow("some") << 14 << 0 << 3 << "Also: 14 extensions, 3 fonts";
        QTest::newRow("one each") << 1 << 1 << 1 << "Also: 1 extension, 1 Rust crate, 1 font";
    }
    void alsoTextCountsTheOtherKinds() {
        QFETCH(int, extensions);
        QFETCH(int, crates);
        QFETCH(int, fonts);
        QFETCH(QString, text);
        model::Manifest manifest;
        for (int i = 0; i < extensions; ++i)
            manifest.vscodeExtensions.append(QStringLiteral("p.e%1").arg(i));
        for (int i = 0; i < crates; ++i)
            manifest.cargoCrates.append(QStringLiteral("c%1").arg(i));
        for (int i = 0; i < fonts; ++i)
            manifest.fonts.append({QStringLiteral("F%1.ttf").arg(i), std::nullopt});
        QCOMPARE(InventoryModel::alsoText(manifest), text);
    }

    void cleanupTestCase() {
        m_services.reset();
        m_appSettings.reset();
    }
};

QTEST_GUILESS_MAIN(InventoryModelTest)
#include "tst_inventorymodel.moc"
