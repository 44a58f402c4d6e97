#include "sync/appsettings.h"

#include "platform/trimming.h"
#include "platform/userdefaults.h"
#include "sync/secretstore.h"

#include <QPointer>

#include <QCoroSignal>

namespace syncing {

AppSettings::AppSettings(std::shared_ptr<SecretStore> secrets, QObject *parent)
    : QObject(parent)
    , m_secrets(std::move(secrets)) {
    m_configured = isConfigured();
    load();
}

AppSettings::~AppSettings() = default;

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
    // The store outlives this object for as long as the read runs.
    const std::shared_ptr<SecretStore> secrets = m_secrets;
    const platform::Result<std::optional<QString>> stored = co_await secrets->read(tokenAccount);
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
    const std::shared_ptr<SecretStore> secrets = m_secrets;
    const platform::Result<void> written = co_await secrets->save(std::move(token), tokenAccount);
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
