#include "platform/userdefaults.h"
#include "support/modelprinting.h"
#include "support/secretservice.h"
#include "support/testsettings.h"
#include "sync/appsettings.h"
#include "sync/keychainstore.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroTask>

#include <memory>
#include <optional>

using syncing::AppSettings;
using syncing::KeychainStore;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

template <class T> T wait(QCoro::Task<T> task) {
    return QCoro::waitFor(std::move(task));
}

void wait(QCoro::Task<> task) {
    QCoro::waitFor(std::move(task));
}

using TokenRead = platform::Result<std::optional<QString>>;

TokenRead readToken() {
    return wait(KeychainStore::read(AppSettings::tokenAccount));
}

// What a new launch of the program would find.
std::unique_ptr<AppSettings> relaunch() {
    auto settings = std::make_unique<AppSettings>();
    wait(settings->ready());
    return settings;
}

} // namespace

class AppSettingsTest : public QObject {
    Q_OBJECT

private:
    std::optional<TestSettings> m_settings;

private Q_SLOTS:
    void initTestCase() {
        if (!secretService::isPrivate())
            QFAIL(secretService::notPrivateMessage());
        m_settings.emplace();
    }

    void init() {
        platform::UserDefaults::remove(AppSettings::workerURLKey);
        QVERIFY(secretService::clear());
    }

    // --- the keychain store ------------------------------------------------------------------------

    void keychainValuesRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "s3cret-token";
        QTest::newRow("empty") << "";
        QTest::newRow("one space") << " ";
        QTest::newRow("spaces around") << "  padded  ";
        QTest::newRow("tab inside") << "a\tb";
        QTest::newRow("not ASCII") << "ünïcödé ✓ 😀";
        QTest::newRow("long") << QString(4096, u'x');
    }
    void keychainValuesRoundTrip() {
        QFETCH(QString, value);
        QCOMPARE(wait(KeychainStore::save(value, AppSettings::tokenAccount)).message(), QString());
        QCOMPARE(readToken(), TokenRead(value));
        QCOMPARE(secretService::itemCount(), 1);
    }

    void missingItemReadsAsNothingWithoutError() { QCOMPARE(readToken(), TokenRead(std::nullopt)); }

    void accountsAreSeparate() {
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("mine"), AppSettings::tokenAccount)).message(),
                 QString());
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("other"), QStringLiteral("otherAccount"))).message(),
                 QString());
        QCOMPARE(readToken(), TokenRead(QStringLiteral("mine")));
        QCOMPARE(wait(KeychainStore::read(QStringLiteral("otherAccount"))),
                 TokenRead(QStringLiteral("other")));
    }

    void saveKeepsItemsOfOtherPrograms() {
        // Items another program (or an older version) left, with attributes of their own.
        QVERIFY(secretService::store("first", {QStringLiteral("type"), QStringLiteral("plaintext")}));
        QVERIFY(secretService::store("second", {QStringLiteral("type"), QStringLiteral("base64")}));
        QVERIFY(secretService::store("third", {QStringLiteral("extra"), QStringLiteral("1")}));
        QCOMPARE(secretService::itemCount(), 3);
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("new"), AppSettings::tokenAccount)).message(),
                 QString());
        // Written beside them, never over what another program wrote. Which item a read then finds is
        // the store's choice, so the new value is looked for among them all.
        QCOMPARE(secretService::itemCount(), 4);
        const QByteArray all =
            secretService::secretTool(QStringList{QStringLiteral("search"), QStringLiteral("--all")} +
                                      secretService::itemAttributes)
                .out;
        QVERIFY2(all.contains("secret = new\n"), all.constData());
    }

    // Written over in place, never deleted first: a write the store refuses would then lose the token.
    void saveReplacesTheItemInPlace() {
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("old"), AppSettings::tokenAccount)).message(),
                 QString());
        const QList<QByteArray> before = secretService::itemPaths();
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("new"), AppSettings::tokenAccount)).message(),
                 QString());
        QCOMPARE(secretService::itemPaths(), before);
        QCOMPARE(readToken(), TokenRead(QStringLiteral("new")));
    }

    void invalidUtf8ReadsAsNothing() {
        const QStringList plaintext{QStringLiteral("type"), QStringLiteral("plaintext")};
        if (!secretService::store("caf\xe9 \xff\xfe", plaintext)) {
            // libsecret 0.21's secret-tool refuses a secret that is not UTF-8 ("password not valid
            // UTF-8"); only the bytes may be refused, not the item.
            QVERIFY(secretService::store("valid", plaintext));
            QSKIP("This secret-tool stores only UTF-8 text, so the case can't be staged here");
        }
        QCOMPARE(readToken().message(), QStringLiteral("The stored token is not valid UTF-8 text."));
        const auto settings = relaunch();
        QCOMPARE(settings->token(), QString());
        QVERIFY(settings->isTokenLoaded());
    }

    // --- the settings ------------------------------------------------------------------------------

    void firstLaunchHasNothing() {
        const auto settings = relaunch();
        QCOMPARE(settings->workerURL(), QString());
        QCOMPARE(settings->token(), QString());
        QVERIFY(!settings->isConfigured());
        QCOMPARE(settings->keychainError(), QString());
    }

    void isConfigured_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("configured");
        QTest::newRow("both") << "https://w.example"
                              << "t" << true;
        QTest::newRow("no URL") << ""
                                << "t" << false;
        QTest::newRow("no token") << "https://w.example"
                                  << "" << false;
        QTest::newRow("URL of three spaces") << "   "
                                             << "t" << false;
        QTest::newRow("URL of tabs and spaces") << "\t \t"
                                                << "t" << false;
        QTest::newRow("URL ending in a line break") << "https://w.example\n"
                                                    << "t" << true;
        QTest::newRow("URL of a line break only") << "\n"
                                                  << "t" << true;
        QTest::newRow("token of one space") << "https://w.example"
                                            << " " << true;
    }
    void isConfigured() {
        QFETCH(QString, url);
        QFETCH(QString, token);
        QFETCH(bool, configured);
        QCOMPARE(AppSettings::isConfigured(url, token), configured);
        const auto settings = relaunch();
        settings->setWorkerURL(url);
        settings->setToken(token);
        QCOMPARE(settings->isConfigured(), configured);
        wait(settings->saved());
        QCOMPARE(relaunch()->isConfigured(), configured);
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
        const auto settings = relaunch();
        settings->setWorkerURL(url);
        QCOMPARE(settings->workerURL(), url);
        QCOMPARE(platform::UserDefaults::value(AppSettings::workerURLKey).toString(), url);
        QCOMPARE(relaunch()->workerURL(), url);
    }

    void workerURLNotTextReadsAsEmpty() {
        platform::UserDefaults::setValue(AppSettings::workerURLKey,
                                         QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QCOMPARE(relaunch()->workerURL(), QString());
    }

    void changesAreAnnounced() {
        const auto settings = relaunch();
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
        wait(settings->saved());
    }

    void tokenTypedCharacterByCharacterSurvivesRelaunch() {
        const auto settings = relaunch();
        for (const QString &typed : {QStringLiteral("s"), QStringLiteral("se"), QStringLiteral("sec")})
            settings->setToken(typed);
        QCOMPARE(settings->token(), QStringLiteral("sec"));
        wait(settings->saved());
        QCOMPARE(settings->keychainError(), QString());
        QCOMPARE(secretService::itemCount(), 1);
        QCOMPARE(relaunch()->token(), QStringLiteral("sec"));
    }

    void clearedTokenIsStoredEmpty() {
        const auto settings = relaunch();
        settings->setToken(QStringLiteral("t"));
        settings->setToken(QString());
        wait(settings->saved());
        // An item with no bytes, not a missing one.
        QCOMPARE(secretService::itemCount(), 1);
        QCOMPARE(readToken(), TokenRead(QString()));
        QCOMPARE(relaunch()->token(), QString());
    }

    void unchangedAssignmentStillWritesThrough() {
        const auto settings = relaunch();
        settings->setToken(QStringLiteral("same"));
        wait(settings->saved());
        // Someone removes the item behind the program's back; assigning the same value restores it.
        QVERIFY(secretService::clear());
        settings->setToken(QStringLiteral("same"));
        wait(settings->saved());
        QCOMPARE(readToken(), TokenRead(QStringLiteral("same")));
    }

    void storedTokenArrivesAfterConstruction() {
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("stored"), AppSettings::tokenAccount)).message(),
                 QString());
        platform::UserDefaults::setValue(AppSettings::workerURLKey, QStringLiteral("https://w.example"));
        AppSettings settings;
        // The read is on its way: nothing has blocked, and nothing is known yet.
        QVERIFY(!settings.isTokenLoaded());
        QCOMPARE(settings.token(), QString());
        QSignalSpy tokenChanged(&settings, &AppSettings::tokenChanged);
        QSignalSpy configuredChanged(&settings, &AppSettings::isConfiguredChanged);
        QSignalSpy loaded(&settings, &AppSettings::tokenLoaded);
        wait(settings.ready());
        QCOMPARE(settings.token(), QStringLiteral("stored"));
        QVERIFY(settings.isConfigured());
        QCOMPARE(tokenChanged.size(), 1);
        QCOMPARE(configuredChanged.size(), 1);
        QCOMPARE(loaded.size(), 1);
        // Already loaded: resumes at once.
        wait(settings.ready());
    }

    void tokenTypedBeforeTheReadArrivesWins() {
        QCOMPARE(wait(KeychainStore::save(QStringLiteral("old"), AppSettings::tokenAccount)).message(),
                 QString());
        AppSettings settings;
        settings.setToken(QStringLiteral("new"));
        wait(settings.ready());
        QCOMPARE(settings.token(), QStringLiteral("new"));
        wait(settings.saved());
        QCOMPARE(relaunch()->token(), QStringLiteral("new"));
    }

    void sharedIsOneInstanceOnTheMainThread() {
        QList<QFuture<AppSettings *>> made;
        for (int i = 0; i < 4; ++i)
            made.append(QtConcurrent::run([] { return AppSettings::shared(); }));
        AppSettings *const shared = AppSettings::shared();
        for (QFuture<AppSettings *> &future : made)
            QCOMPARE(future.result(), shared);
        QCOMPARE(shared->thread(), QCoreApplication::instance()->thread());
        wait(shared->ready());
        QVERIFY(shared->isTokenLoaded());
    }
};

QTEST_GUILESS_MAIN(AppSettingsTest)
#include "tst_appsettings.moc"
