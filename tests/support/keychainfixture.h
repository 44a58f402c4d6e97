#pragma once

#include "secretservice.h"
#include "testsettings.h"
#include "waitfortask.h"

#include "platform/userdefaults.h"
#include "sync/appsettings.h"
#include "sync/keychainstore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

// For the tests about the machine's own secret store: the settings in a temporary folder and a secret
// store that is not the user's. On Linux that is the private Secret Service of scripts/with-services;
// on a Mac, a throwaway keychain made for the run and put in place of the login keychain while it runs.
// Every test starts with no item of this program's and no Worker URL.
//
// Tests that look at the items from outside through the Secret Service's own tool (secret-tool: other
// programs' items, object paths, raw bytes) begin with HAULWISE_SECRET_SERVICE_ONLY(), which skips them
// on a Mac, where neither the tool nor those notions exist.
#ifdef Q_OS_MACOS
#define HAULWISE_SECRET_SERVICE_ONLY()                                                                       \
    QSKIP("This looks at the Secret Service's items through secret-tool, which a Mac does not have")
#else
#define HAULWISE_SECRET_SERVICE_ONLY()                                                                       \
    do {                                                                                                     \
    } while (false)
#endif

class KeychainFixture {
public:
    using TokenRead = platform::Result<std::optional<QString>>;

    // Call from initTestCase; fails or skips the test case when the store would be the user's own.
    void initTestCase() {
#ifdef Q_OS_MACOS
        // Swapping the login keychain out is safe only where nobody else uses it meanwhile.
        if (qgetenv("HAULWISE_THROWAWAY_KEYCHAIN") != "1")
            QSKIP("These tests put a throwaway keychain in place of the login keychain while they run; set "
                  "HAULWISE_THROWAWAY_KEYCHAIN=1 where that is safe (a CI machine)");
        QVERIFY(m_keychainDir.isValid());
        m_keychain = m_keychainDir.filePath(QStringLiteral("haulwise-test.keychain-db"));
        m_savedSearchList =
            security({QStringLiteral("list-keychains"), QStringLiteral("-d"), QStringLiteral("user")});
        m_savedDefault =
            security({QStringLiteral("default-keychain"), QStringLiteral("-d"), QStringLiteral("user")});
        QVERIFY(run({QStringLiteral("create-keychain"), QStringLiteral("-p"), password, m_keychain}));
        m_made = true;
        // Reads search the list, new items go to the default keychain: both are the throwaway one.
        QVERIFY(run({QStringLiteral("list-keychains"), QStringLiteral("-d"), QStringLiteral("user"),
                     QStringLiteral("-s"), m_keychain}));
        QVERIFY(run({QStringLiteral("default-keychain"), QStringLiteral("-d"), QStringLiteral("user"),
                     QStringLiteral("-s"), m_keychain}));
        QVERIFY(run({QStringLiteral("unlock-keychain"), QStringLiteral("-p"), password, m_keychain}));
        // Without a time-out, so it stays unlocked however long the run takes.
        QVERIFY(run({QStringLiteral("set-keychain-settings"), m_keychain}));
#else
        if (!secretService::isPrivate())
            QFAIL(secretService::notPrivateMessage());
#endif
        m_settings.emplace();
    }

    ~KeychainFixture() {
#ifdef Q_OS_MACOS
        if (!m_made)
            return;
        QStringList searchList;
        for (const QString &line : m_savedSearchList.split(u'\n', Qt::SkipEmptyParts))
            searchList.append(line.trimmed().remove(u'"'));
        run(QStringList{QStringLiteral("list-keychains"), QStringLiteral("-d"), QStringLiteral("user"),
                        QStringLiteral("-s")} +
            searchList);
        run({QStringLiteral("default-keychain"), QStringLiteral("-d"), QStringLiteral("user"),
             QStringLiteral("-s"), m_savedDefault.trimmed().remove(u'"')});
        run({QStringLiteral("delete-keychain"), m_keychain});
#endif
    }

    // Call from init.
    void init() {
        platform::UserDefaults::remove(syncing::AppSettings::workerURLKey);
        QVERIFY(clearItems());
    }

    const TestSettings &settings() const {
        return *m_settings;
    }

    // Removes every item of this program's service and account.
    static bool clearItems() {
#ifdef Q_OS_MACOS
        while (run({QStringLiteral("delete-generic-password"), QStringLiteral("-s"),
                    syncing::KeychainStore::service, QStringLiteral("-a"),
                    syncing::AppSettings::tokenAccount})) {
        }
        return itemCount() == 0;
#else
        return secretService::clear();
#endif
    }

    // How many items of this program's service and account the store holds. A keychain on a Mac
    // refuses a second one outright, so there it is 0 or 1.
    static int itemCount() {
#ifdef Q_OS_MACOS
        return run({QStringLiteral("find-generic-password"), QStringLiteral("-s"),
                    syncing::KeychainStore::service, QStringLiteral("-a"),
                    syncing::AppSettings::tokenAccount})
                   ? 1
                   : 0;
#else
        return secretService::itemCount();
#endif
    }

    static TokenRead readToken() {
        return waitForTask(syncing::KeychainStore().read(syncing::AppSettings::tokenAccount));
    }

    // What a new launch of the program would find.
    static std::unique_ptr<syncing::AppSettings> relaunch() {
        auto settings = std::make_unique<syncing::AppSettings>(std::make_shared<syncing::KeychainStore>());
        waitForTask(settings->ready());
        return settings;
    }

    // Stores a Worker URL and token as the settings window would.
    static void configure(const QString &url, const QString &token) {
        const auto settings = relaunch();
        settings->setWorkerURL(url);
        settings->setToken(token);
        waitForTask(settings->saved());
    }

private:
#ifdef Q_OS_MACOS
    static inline const QString password = QStringLiteral("haulwise-test");

    static QString security(const QStringList &arguments, int *exitCode = nullptr) {
        QProcess process;
        process.start(QStringLiteral("/usr/bin/security"), arguments);
        process.waitForFinished(30000);
        if (exitCode)
            *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    static bool run(const QStringList &arguments) {
        int exitCode = -1;
        security(arguments, &exitCode);
        return exitCode == 0;
    }

    QTemporaryDir m_keychainDir;
    QString m_keychain;
    QString m_savedSearchList;
    QString m_savedDefault;
    bool m_made = false;
#endif
    std::optional<TestSettings> m_settings;
};
