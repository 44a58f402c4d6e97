#include "platform/userdefaults.h"
#include "support/keychainfixture.h"
#include "support/memorysecretstore.h"
#include "support/modelprinting.h"
#include "sync/appsettings.h"
#include "sync/keychainstore.h"

#include <QSignalSpy>
#include <QTest>

#include <QCoroTask>

#include <memory>
#include <optional>

using syncing::AppSettings;
using syncing::KeychainStore;
using TokenRead = KeychainFixture::TokenRead;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// The machine's store, or the one in memory that the tests of everything else use in its place and
// that must keep the same promises.
std::shared_ptr<syncing::SecretStore> makeStore(const QString &kind) {
    if (kind == u"memory")
        return std::make_shared<MemorySecretStore>();
    return std::make_shared<KeychainStore>();
}

void addStoreRows(const QList<std::pair<const char *, QString>> &values) {
    for (const char *store : {"keychain", "memory"}) {
        for (const auto &[name, value] : values)
            QTest::addRow("%s, %s", store, name) << QString::fromLatin1(store) << value;
    }
}

// One row per store, for tests about the store alone.
void addStores() {
    QTest::addColumn<QString>("store");
    for (const char *store : {"keychain", "memory"})
        QTest::newRow(store) << QString::fromLatin1(store);
}

const QString &account = AppSettings::tokenAccount;

} // namespace

class AppSettingsTest : public QObject {
    Q_OBJECT

private:
    KeychainFixture m_keychain;

private Q_SLOTS:
    void initTestCase() { m_keychain.initTestCase(); }

    void init() { m_keychain.init(); }

    // --- the secret stores ---------------------------------------------------------------------------

    void valuesRoundTrip_data() {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("value");
        addStoreRows({{"plain", QStringLiteral("s3cret-token")},
                      {"empty", QString()},
                      {"one space", QStringLiteral(" ")},
                      {"spaces around", QStringLiteral("  padded  ")},
                      {"tab inside", QStringLiteral("a\tb")},
                      {"not ASCII", QStringLiteral("ünïcödé ✓ 😀")},
                      {"long", QString(4096, u'x')}});
    }
    void valuesRoundTrip() {
        QFETCH(QString, store);
        QFETCH(QString, value);
        const auto secrets = makeStore(store);
        QCOMPARE(waitForTask(secrets->save(value, account)).message(), QString());
        QCOMPARE(waitForTask(secrets->read(account)), TokenRead(value));
        if (store == u"keychain")
            QCOMPARE(KeychainFixture::itemCount(), 1);
    }

    // A missing item reads as nothing, without an error; each account has an item of its own.
    void accountsAreSeparate_data() { addStores(); }
    void accountsAreSeparate() {
        QFETCH(QString, store);
        const auto secrets = makeStore(store);
        QCOMPARE(waitForTask(secrets->read(account)), TokenRead(std::nullopt));
        QCOMPARE(waitForTask(secrets->save(QStringLiteral("mine"), account)).message(), QString());
        QCOMPARE(
            waitForTask(secrets->save(QStringLiteral("other"), QStringLiteral("otherAccount"))).message(),
            QString());
        QCOMPARE(waitForTask(secrets->read(account)), TokenRead(QStringLiteral("mine")));
        QCOMPARE(waitForTask(secrets->read(QStringLiteral("otherAccount"))),
                 TokenRead(QStringLiteral("other")));
    }

    // What lets a token typed while the stored one is still being read win over it.
    void aReadStartedBeforeASaveSeesTheEarlierValue_data() { addStores(); }
    void aReadStartedBeforeASaveSeesTheEarlierValue() {
        QFETCH(QString, store);
        const auto secrets = makeStore(store);
        QCOMPARE(waitForTask(secrets->save(QStringLiteral("old"), account)).message(), QString());
        QCoro::Task<TokenRead> read = secrets->read(account);
        QCoro::Task<platform::Result<void>> save = secrets->save(QStringLiteral("new"), account);
        QCOMPARE(waitForTask(std::move(read)), TokenRead(QStringLiteral("old")));
        QCOMPARE(waitForTask(std::move(save)).message(), QString());
        QCOMPARE(waitForTask(secrets->read(account)), TokenRead(QStringLiteral("new")));
    }

    void saveKeepsItemsOfOtherPrograms() {
        HAULWISE_SECRET_SERVICE_ONLY();
        // Items another program (or an older version) left, with attributes of their own.
        QVERIFY(secretService::store("first", {QStringLiteral("type"), QStringLiteral("plaintext")}));
        QVERIFY(secretService::store("second", {QStringLiteral("type"), QStringLiteral("base64")}));
        QVERIFY(secretService::store("third", {QStringLiteral("extra"), QStringLiteral("1")}));
        QCOMPARE(KeychainFixture::itemCount(), 3);
        QCOMPARE(
            waitForTask(KeychainStore().save(QStringLiteral("new"), AppSettings::tokenAccount)).message(),
            QString());
        // Written beside them, never over what another program wrote. Which item a read then finds is
        // the store's choice, so the new value is looked for among them all.
        QCOMPARE(KeychainFixture::itemCount(), 4);
        const QByteArray all =
            secretService::secretTool(QStringList{QStringLiteral("search"), QStringLiteral("--all")} +
                                      secretService::itemAttributes)
                .out;
        QVERIFY2(all.contains("secret = new\n"), all.constData());
    }

    // Written over in place, never deleted first: a write the store refuses would then lose the token.
    void saveReplacesTheItemInPlace() {
        HAULWISE_SECRET_SERVICE_ONLY();
        QCOMPARE(
            waitForTask(KeychainStore().save(QStringLiteral("old"), AppSettings::tokenAccount)).message(),
            QString());
        const QList<QByteArray> before = secretService::itemPaths();
        QCOMPARE(
            waitForTask(KeychainStore().save(QStringLiteral("new"), AppSettings::tokenAccount)).message(),
            QString());
        QCOMPARE(secretService::itemPaths(), before);
        QCOMPARE(KeychainFixture::readToken(), TokenRead(QStringLiteral("new")));
    }

    void invalidUtf8ReadsAsNothing() {
        HAULWISE_SECRET_SERVICE_ONLY();
        const QStringList plaintext{QStringLiteral("type"), QStringLiteral("plaintext")};
        if (!secretService::store("caf\xe9 \xff\xfe", plaintext)) {
            // libsecret 0.21's secret-tool refuses a secret that is not UTF-8 ("password not valid
            // UTF-8"); only the bytes may be refused, not the item.
            QVERIFY(secretService::store("valid", plaintext));
            QSKIP("This secret-tool stores only UTF-8 text, so the case can't be staged here");
        }
        QCOMPARE(KeychainFixture::readToken().message(),
                 QStringLiteral("The stored token is not valid UTF-8 text."));
        const auto settings = KeychainFixture::relaunch();
        QCOMPARE(settings->token(), QString());
        QVERIFY(settings->isTokenLoaded());
    }

    // --- the settings ------------------------------------------------------------------------------

    void firstLaunchHasNothing() {
        const auto settings = KeychainFixture::relaunch();
        QCOMPARE(settings->workerURL(), QString());
        QCOMPARE(settings->token(), QString());
        QVERIFY(!settings->isConfigured());
        QCOMPARE(settings->keychainError(), QString());
    }

    void isConfigured_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("configured");
        const auto row = [](const char *name, const char *url, const char *token, bool configured) {
            QTest::newRow(name) << QString::fromUtf8(url) << QString::fromUtf8(token) << configured;
        };
        row("both", "https://w.example", "t", true);
        row("no URL", "", "t", false);
        row("no token", "https://w.example", "", false);
        row("URL of three spaces", "   ", "t", false);
        row("URL of tabs and spaces", "\t \t", "t", false);
        row("URL ending in a line break", "https://w.example\n", "t", true);
        row("URL of a line break only", "\n", "t", true);
        row("token of one space", "https://w.example", " ", true);
    }
    void isConfigured() {
        QFETCH(QString, url);
        QFETCH(QString, token);
        QFETCH(bool, configured);
        QCOMPARE(AppSettings::isConfigured(url, token), configured);
        const auto settings = KeychainFixture::relaunch();
        settings->setWorkerURL(url);
        settings->setToken(token);
        QCOMPARE(settings->isConfigured(), configured);
        waitForTask(settings->saved());
        QCOMPARE(KeychainFixture::relaunch()->isConfigured(), configured);
    }

    void workerURLIsStoredAsTyped_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("address") << "https://haulwise-sync.me.workers.dev";
        QTest::newRow("spaces kept") << "  https://w.example/  ";
        QTest::newRow("line break kept") << "https://w.example\n";
        QTest::newRow("comma") << "https://w.example/a,b";
        QTest::newRow("at sign first") << "@Variant(x)";
        QTest::newRow("quotes and semicolon") << "\"https://w.example\";#";
        QTest::newRow("not ASCII") << "https://bücher.example/ü";
        QTest::newRow("empty") << "";
    }
    void workerURLIsStoredAsTyped() {
        QFETCH(QString, url);
        const auto settings = KeychainFixture::relaunch();
        settings->setWorkerURL(url);
        QCOMPARE(settings->workerURL(), url);
        QCOMPARE(platform::UserDefaults::value(AppSettings::workerURLKey).toString(), url);
        QCOMPARE(KeychainFixture::relaunch()->workerURL(), url);
    }

    void workerURLNotTextReadsAsEmpty() {
        platform::UserDefaults::setValue(AppSettings::workerURLKey,
                                         QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QCOMPARE(KeychainFixture::relaunch()->workerURL(), QString());
    }

    void changesAreAnnounced() {
        const auto settings = KeychainFixture::relaunch();
        QSignalSpy urlChanged(settings.get(), &AppSettings::workerURLChanged);
        QSignalSpy tokenChanged(settings.get(), &AppSettings::tokenChanged);
        QSignalSpy configuredChanged(settings.get(), &AppSettings::isConfiguredChanged);
        settings->setWorkerURL(QStringLiteral("https://w.example"));
        settings->setWorkerURL(QStringLiteral("https://w.example"));
        QCOMPARE(urlChanged.size(), 1);
        QCOMPARE(configuredChanged.size(), 0);
        settings->setToken(QStringLiteral("t"));
        settings->setToken(QStringLiteral("t"));
        QCOMPARE(tokenChanged.size(), 1);
        QCOMPARE(configuredChanged.size(), 1);
        settings->setWorkerURL(QStringLiteral("   "));
        QCOMPARE(configuredChanged.size(), 2);
        QVERIFY(!settings->isConfigured());
        waitForTask(settings->saved());
    }

    void tokenTypedCharacterByCharacterSurvivesRelaunch() {
        const auto settings = KeychainFixture::relaunch();
        for (const QString &typed : {QStringLiteral("s"), QStringLiteral("se"), QStringLiteral("sec")})
            settings->setToken(typed);
        QCOMPARE(settings->token(), QStringLiteral("sec"));
        waitForTask(settings->saved());
        QCOMPARE(settings->keychainError(), QString());
        QCOMPARE(KeychainFixture::itemCount(), 1);
        QCOMPARE(KeychainFixture::relaunch()->token(), QStringLiteral("sec"));
    }

    void clearedTokenIsStoredEmpty() {
        const auto settings = KeychainFixture::relaunch();
        settings->setToken(QStringLiteral("t"));
        settings->setToken(QString());
        waitForTask(settings->saved());
        // An item with no bytes, not a missing one.
        QCOMPARE(KeychainFixture::itemCount(), 1);
        QCOMPARE(KeychainFixture::readToken(), TokenRead(QString()));
        QCOMPARE(KeychainFixture::relaunch()->token(), QString());
    }

    void unchangedAssignmentStillWritesThrough() {
        const auto settings = KeychainFixture::relaunch();
        settings->setToken(QStringLiteral("same"));
        waitForTask(settings->saved());
        // Someone removes the item behind the program's back; assigning the same value restores it.
        QVERIFY(KeychainFixture::clearItems());
        settings->setToken(QStringLiteral("same"));
        waitForTask(settings->saved());
        QCOMPARE(KeychainFixture::readToken(), TokenRead(QStringLiteral("same")));
    }

    void storedTokenArrivesAfterConstruction() {
        QCOMPARE(
            waitForTask(KeychainStore().save(QStringLiteral("stored"), AppSettings::tokenAccount)).message(),
            QString());
        platform::UserDefaults::setValue(AppSettings::workerURLKey, QStringLiteral("https://w.example"));
        AppSettings settings(std::make_shared<KeychainStore>());
        // The read is on its way: nothing has blocked, and nothing is known yet.
        QVERIFY(!settings.isTokenLoaded());
        QCOMPARE(settings.token(), QString());
        QSignalSpy tokenChanged(&settings, &AppSettings::tokenChanged);
        QSignalSpy configuredChanged(&settings, &AppSettings::isConfiguredChanged);
        QSignalSpy loaded(&settings, &AppSettings::tokenLoaded);
        waitForTask(settings.ready());
        QCOMPARE(settings.token(), QStringLiteral("stored"));
        QVERIFY(settings.isConfigured());
        QCOMPARE(tokenChanged.size(), 1);
        QCOMPARE(configuredChanged.size(), 1);
        QCOMPARE(loaded.size(), 1);
        // Already loaded: resumes at once.
        waitForTask(settings.ready());
    }

    void tokenTypedBeforeTheReadArrivesWins() {
        QCOMPARE(
            waitForTask(KeychainStore().save(QStringLiteral("old"), AppSettings::tokenAccount)).message(),
            QString());
        AppSettings settings(std::make_shared<KeychainStore>());
        settings.setToken(QStringLiteral("new"));
        waitForTask(settings.ready());
        QCOMPARE(settings.token(), QStringLiteral("new"));
        waitForTask(settings.saved());
        QCOMPARE(KeychainFixture::relaunch()->token(), QStringLiteral("new"));
    }
};

QTEST_GUILESS_MAIN(AppSettingsTest)
#include "tst_appsettings.moc"
