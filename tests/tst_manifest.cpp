#include "model/manifestjson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace model;

namespace {

// A manifest's required keys, empty, and the comma before the next key: the start of a manifest that
// tries one optional key.
const QByteArray requiredKeys =
    R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
    R"("legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[],"brewTaps":[],)";

AppRecord bareApp() {
    AppRecord app;
    app.name = QStringLiteral("Bare");
    app.path = QStringLiteral("/Applications/Bare.app");
    app.source = AppSource::manual;
    return app;
}

AppRecord fullApp() {
    AppRecord app;
    app.name = QStringLiteral("Ünïcode \"Quoted\" \\ App");
    app.bundleId = QStringLiteral("com.example.full");
    app.version = QStringLiteral("1.2.3");
    app.path = QStringLiteral("/Applications/Full.app");
    app.source = AppSource::appStore;
    app.isMenuBarApp = true;
    app.appStoreId = 9007199254740993; // beyond a double's exact range
    app.caskToken = QStringLiteral("full");
    app.downloadURL = QStringLiteral("https://example.com/full\n");
    return app;
}

Manifest sampleManifest() {
    Manifest m;
    m.generatedAt = QStringLiteral("2026-12-07T10:00:00Z");
    m.hostname = QStringLiteral("old-mac");
    m.macosVersion = QStringLiteral("Version 15.1 (Build 24B83)");
    m.apps = {fullApp(), bareApp()};
    m.legacyLoginItems = {QStringLiteral("Alpha"), QStringLiteral("Alpha")};
    m.backgroundItems = {{QStringLiteral("A"), QStringLiteral("Dev"), QStringLiteral("app")},
                         {QStringLiteral("B"), std::nullopt, std::nullopt}};
    m.brewFormulae = {QStringLiteral("git")};
    m.brewTaps = {QStringLiteral("homebrew/cask")};
    m.brewCasks = {QStringLiteral("font-x"), QStringLiteral("acme/tools/y")};
    m.brewTapRemotes = {{QStringLiteral("acme/\"tools\""), QStringLiteral("https://git.example.com/t.git")}};
    m.vscodeExtensions = {QStringLiteral("ms-python.python")};
    m.npmPackages = {QStringLiteral("@scope/tool"), QStringLiteral("typescript")};
    m.cargoCrates = {QStringLiteral("fork (git)"), QStringLiteral("ripgrep")};
    m.uvTools = {QStringLiteral("ruff")};
    m.fonts = {{QStringLiteral("A.ttf"), QStringLiteral("font-a")}, {QStringLiteral("b.otf"), std::nullopt}};
    return m;
}

QByteArray withApp(const QByteArray &appJson) {
    return R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[)" + appJson +
           R"(],"legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[],"brewTaps":[]})";
}

} // namespace

class ManifestTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripKeepsEveryFieldAndOrder() {
        const Manifest original = sampleManifest();
        const auto decoded = decodeManifest(encodeManifest(original));
        QVERIFY2(decoded, qPrintable(decoded.message()));
        QCOMPARE(*decoded, original);
    }

    void encodingIsCompactInFieldOrder() {
        Manifest m;
        m.generatedAt = QStringLiteral("2026-01-02T03:04:05Z");
        m.hostname = QStringLiteral("h");
        m.macosVersion = QStringLiteral("v");
        m.apps = {bareApp()};
        QCOMPARE(encodeManifest(m),
                 QByteArray(R"({"schemaVersion":1,"generatedAt":"2026-01-02T03:04:05Z","hostname":"h",)"
                            R"("macosVersion":"v","apps":[{"name":"Bare","path":"/Applications/Bare.app",)"
                            R"("source":"manual","isMenuBarApp":false}],"legacyLoginItems":[],)"
                            R"("backgroundItems":[],"brewFormulae":[],"brewTaps":[]})"));
    }

    void escapingSurvivesAStandardParser() {
        AppRecord app = bareApp();
        app.name = QStringLiteral("tab\there \"q\" back\\slash \x01 ctl / é 😀");
        const QJsonObject parsed = QJsonDocument::fromJson(encodeAppRecord(app)).object();
        QCOMPARE(parsed.value(QStringLiteral("name")).toString(), app.name);
        QCOMPARE(parsed.keys().size(), 4);
    }

    void decodingAcceptsOptionalNullsAndForeignKeys() {
        const auto m = decodeManifest(withApp(
            R"({"path":"/p","isMenuBarApp":true,"extra":[1],"name":"N","source":"apple","appStoreId":null,"bundleId":null})"));
        QVERIFY(m);
        QCOMPARE(m->apps.size(), 1);
        QVERIFY(!m->apps.first().appStoreId);
        QVERIFY(!m->apps.first().bundleId);
        QCOMPARE(m->apps.first().source, AppSource::apple);
        QVERIFY(m->apps.first().isMenuBarApp);
    }

    void decodingFailsAsAWhole_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("where");
        const QByteArray ok = R"("name":"N","path":"/p","isMenuBarApp":false)";
        QTest::newRow("source in other case")
            << withApp("{" + ok + R"(,"source":"Cask"})") << "apps[0].source";
        QTest::newRow("unknown source") << withApp("{" + ok + R"(,"source":"brew"})") << "apps[0].source";
        QTest::newRow("missing isMenuBarApp")
            << withApp(R"({"name":"N","path":"/p","source":"cask"})") << "apps[0].isMenuBarApp";
        QTest::newRow("null name") << withApp(
                                          R"({"name":null,"path":"/p","source":"cask","isMenuBarApp":false})")
                                   << "apps[0].name";
        QTest::newRow("store id as text")
            << withApp("{" + ok + R"(,"source":"appStore","appStoreId":"803453959"})")
            << "apps[0].appStoreId";
        QTest::newRow("store id fraction")
            << withApp("{" + ok + R"(,"source":"appStore","appStoreId":1.5})") << "apps[0].appStoreId";
        QTest::newRow("bool as number")
            << withApp(R"({"name":"N","path":"/p","source":"cask","isMenuBarApp":0})")
            << "apps[0].isMenuBarApp";
        QTest::newRow("app not an object") << withApp(R"("Safari")") << "apps[0]";
        QTest::newRow("apps not an array")
            << QByteArray(
                   R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":{},)"
                   R"("legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[],"brewTaps":[]})")
            << "apps";
        QTest::newRow("schema version as text")
            << QByteArray(
                   R"({"schemaVersion":"1","generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
                   R"("legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[],"brewTaps":[]})")
            << "schemaVersion";
        QTest::newRow("formula not text")
            << QByteArray(
                   R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
                   R"("legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[7],"brewTaps":[]})")
            << "brewFormulae[0]";
        QTest::newRow("background item without name")
            << QByteArray(
                   R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
                   R"("legacyLoginItems":[],"backgroundItems":[{"type":"x"}],"brewFormulae":[],"brewTaps":[]})")
            << "backgroundItems[0].name";
        QTest::newRow("missing taps")
            << QByteArray(
                   R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
                   R"("legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[]})")
            << "brewTaps";
        QTest::newRow("unpaired surrogate in a name")
            << withApp(R"({"name":"a\udddd","path":"/p","source":"cask","isMenuBarApp":false})")
            << "apps[0].name";
        QTest::newRow("unpaired surrogate in a login item")
            << QByteArray(
                   R"({"schemaVersion":1,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
                   R"("legacyLoginItems":["\ud83d"],"backgroundItems":[],"brewFormulae":[],"brewTaps":[]})")
            << "legacyLoginItems[0]";
        const QByteArray head = requiredKeys;
        QTest::newRow("tap remote not text") << head + R"("brewTapRemotes":{"a/b":7}})"
                                             << "brewTapRemotes[\"a/b\"]";
        QTest::newRow("extension not text") << head + R"("vscodeExtensions":["a.b",1]})"
                                            << "vscodeExtensions[1]";
        QTest::newRow("npm packages not an array") << head + R"("npmPackages":"tsc"})"
                                                   << "npmPackages";
        QTest::newRow("font without file") << head + R"("fonts":[{"caskToken":"font-x"}]})"
                                           << "fonts[0].file";
        QTest::newRow("font as text") << head + R"("fonts":["x.ttf"]})"
                                      << "fonts[0]";
        QTest::newRow("top level array") << QByteArray("[]") << "document";
        QTest::newRow("not json") << QByteArray("<html>") << "offset";
    }
    void decodingFailsAsAWhole() {
        QFETCH(QByteArray, json);
        QFETCH(QString, where);
        const auto decoded = decodeManifest(json);
        QVERIFY(!decoded);
        QVERIFY2(decoded.message().startsWith(where), qPrintable(decoded.message()));
    }

    // Written sorted and once; read that way whatever another writer did, so a second encoding matches.
    void optionalListsAreReadSortedAndOnce() {
        const auto m = decodeManifest(
            requiredKeys +
            R"("uvTools":["ruff","black","ruff"],"cargoCrates":null,)"
            R"("fonts":[{"file":"b.ttf"},{"file":"a.ttf","caskToken":"font-a"},{"file":"b.ttf","caskToken":"x"}]})");
        QVERIFY2(m, qPrintable(m.message()));
        QCOMPARE(m->uvTools, QStringList({QStringLiteral("black"), QStringLiteral("ruff")}));
        QVERIFY(m->cargoCrates.isEmpty());
        const QList<FontRecord> fonts{{QStringLiteral("a.ttf"), QStringLiteral("font-a")},
                                      {QStringLiteral("b.ttf"), std::nullopt}};
        QCOMPARE(m->fonts, fonts);
    }

    void anySchemaVersionIsAccepted() {
        const auto m = decodeManifest(
            R"({"schemaVersion":-7,"generatedAt":"t","hostname":"h","macosVersion":"v","apps":[],)"
            R"("legacyLoginItems":[],"backgroundItems":[],"brewFormulae":[],"brewTaps":[]})");
        QVERIFY(m);
        QCOMPARE(m->schemaVersion, -7);
    }

    void queries() {
        Manifest m = sampleManifest();
        QCOMPARE(m.installableApps().size(), 2);
        QCOMPARE(m.builtInCount(), 0);
        for (AppRecord &app : m.apps)
            app.source = AppSource::apple;
        QVERIFY(m.installableApps().isEmpty());
        QCOMPARE(m.builtInCount(), 2);
        QVERIFY(m.appsWithSource(AppSource::cask).isEmpty());
        QCOMPARE(m.appsWithSource(AppSource::apple).size(), 2);
    }

    void hashAgreesWithEquality() {
        AppRecord a = fullApp();
        AppRecord b = fullApp();
        QCOMPARE(qHash(a, 7), qHash(b, 7));
        // An absent field and a present empty one are different records and should hash apart.
        a.caskToken.reset();
        b.caskToken = QString();
        QVERIFY(a != b);
        QVERIFY(qHash(a, 7) != qHash(b, 7));
        const QSet<BackgroundItem> items{{QStringLiteral("A"), std::nullopt, std::nullopt},
                                         {QStringLiteral("A"), std::nullopt, std::nullopt}};
        QCOMPARE(items.size(), 1);
    }
};

QTEST_GUILESS_MAIN(ManifestTest)
#include "tst_manifest.moc"
