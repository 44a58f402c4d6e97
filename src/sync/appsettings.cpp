#include "sync/appsettings.h"

#include "platform/trimming.h"
#include "platform/userdefaults.h"
#include "sync/keychainstore.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <QCoroSignal>

namespace syncing {

AppSettings::AppSettings(QObject *parent)
    : QObject(parent) {
    m_configured = isConfigured();
    // The keychain jobs need the main thread's event loop. An instance made elsewhere (shared() may
    // be first touched from any thread) moves there and starts its read from there.
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread() && !parent) {
        moveToThread(app->thread());
        QMetaObject::invokeMethod(
            this, [this] { load(); }, Qt::QueuedConnection);
    } else {
        load();
    }
}

AppSettings::~AppSettings() = default;

AppSettings *AppSettings::shared() {
    // A function-local static is initialised exactly once even when threads race to it.
    static AppSettings *const instance = new AppSettings;
    return instance;
}

QString AppSettings::workerURL() const {
    const QVariant stored = platform::UserDefaults::value(workerURLKey);
    return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
}

void AppSettings::setWorkerURL(const QString &url) {
    const bool changed = workerURL() != url;
    platform::UserDefaults::setValue(workerURLKey, url);
    if (changed)
        Q_EMIT workerURLChanged();
    publishConfigured();
}

void AppSettings::setToken(const QString &token) {
    m_assigned = true;
    const bool changed = token != m_token;
    m_token = token;
    if (changed)
        Q_EMIT tokenChanged();
    publishConfigured();
    // Runs on by itself; saved() waits for it.
    persist(token);
}

bool AppSettings::isConfigured() const {
    return isConfigured(workerURL(), m_token);
}

bool AppSettings::isConfigured(const QString &workerURL, const QString &token) {
    return !platform::trimSpacesAndTabs(workerURL).isEmpty() && !token.isEmpty();
}

QCoro::Task<> AppSettings::ready() {
    QPointer<AppSettings> self(this);
    while (self && !m_loaded)
        co_await qCoro(this, &AppSettings::tokenLoaded);
}

QCoro::Task<> AppSettings::saved() {
    QPointer<AppSettings> self(this);
    while (self && m_pendingSaves > 0)
        co_await qCoro(this, &AppSettings::savesFinished);
}

QCoro::Task<> AppSettings::load() {
    QPointer<AppSettings> self(this);
    const platform::Result<std::optional<QString>> stored = co_await KeychainStore::read(tokenAccount);
    if (!self)
        co_return;
    // Whatever the user assigned meanwhile is newer than what the store held.
    if (!m_assigned) {
        setKeychainError(stored ? QString()
                                : QStringLiteral("Couldn't read the token from the keychain: ") +
                                      stored.message());
        const QString token = stored ? stored->value_or(QString()) : QString();
        if (token != m_token) {
            m_token = token;
            Q_EMIT tokenChanged();
            publishConfigured();
        }
    }
    m_loaded = true;
    Q_EMIT tokenLoaded();
}

QCoro::Task<> AppSettings::persist(QString token) {
    QPointer<AppSettings> self(this);
    ++m_pendingSaves;
    const platform::Result<void> written = co_await KeychainStore::save(std::move(token), tokenAccount);
    if (!self)
        co_return;
    setKeychainError(written
                         ? QString()
                         : QStringLiteral("Couldn't save the token in the keychain: ") + written.message());
    if (--m_pendingSaves == 0)
        Q_EMIT savesFinished();
}

void AppSettings::publishConfigured() {
    const bool configured = isConfigured();
    if (configured == m_configured)
        return;
    m_configured = configured;
    Q_EMIT isConfiguredChanged();
}

void AppSettings::setKeychainError(const QString &error) {
    if (error == m_keychainError)
        return;
    m_keychainError = error;
    Q_EMIT keychainErrorChanged();
}

} // namespace syncing
