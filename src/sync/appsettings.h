#pragma once

#include <QObject>
#include <QString>

#include <QCoroTask>

#include <memory>

namespace syncing {

class SecretStore;

// The connection to the user's Worker: its base URL, kept in the user defaults under "workerURL", and
// the bearer token, kept in memory and mirrored into the secret store (account "syncToken"). Both are
// stored as typed; trimming happens where they are used. Every write goes straight to its store, so
// there is no save step. Lives on the main thread.
//
// Reading the keychain takes a round trip to the secret store, and the event loop must not stall on
// it, so construction only starts the read. Until it arrives the token is "" and isTokenLoaded is
// false; when it arrives, tokenChanged fires if it brought a token. Code that needs the stored token
// before going on (haulwise-cli, the export) awaits ready() first. A token assigned before the read
// arrives wins: the late read is then dropped instead of overwriting what the user just typed.
//
// Secret-store failures never stop the program: a failed read leaves the token empty and a failed save
// leaves only the in-memory token. keychainError says what went wrong, so the settings window and the
// command-line tool can tell the user instead of failing silently.
class AppSettings final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString workerURL READ workerURL WRITE setWorkerURL NOTIFY workerURLChanged)
    Q_PROPERTY(QString token READ token WRITE setToken NOTIFY tokenChanged)
    Q_PROPERTY(bool isConfigured READ isConfigured NOTIFY isConfiguredChanged)
    Q_PROPERTY(bool isTokenLoaded READ isTokenLoaded NOTIFY tokenLoaded)
    Q_PROPERTY(QString keychainError READ keychainError NOTIFY keychainErrorChanged)

public:
    static inline const QString workerURLKey = QStringLiteral("workerURL");
    static inline const QString tokenAccount = QStringLiteral("syncToken");

    // Reads the token from `secrets` at once; a second instance over the same stores reads them afresh
    // (what a new launch would see).
    explicit AppSettings(std::shared_ptr<SecretStore> secrets, QObject *parent = nullptr);
    ~AppSettings() override;
    Q_DISABLE_COPY_MOVE(AppSettings)

    // What the user defaults hold now; "" when the key is absent or not text.
    QString workerURL() const;
    void setWorkerURL(const QString &url);

    const QString &token() const { return m_token; }
    // Saves to the keychain on every assignment, also of an empty or unchanged value.
    void setToken(const QString &token);

    // A Worker URL that is not blank once spaces and tabs are trimmed (line breaks count as text)
    // and a token of at least one character.
    bool isConfigured() const;
    static bool isConfigured(const QString &workerURL, const QString &token);

    bool isTokenLoaded() const { return m_loaded; }
    // The latest keychain failure, meant for the user; empty after a read or save that worked.
    const QString &keychainError() const { return m_keychainError; }

    // Resumes once the stored token has been read (at once when it has been).
    QCoro::Task<> ready();
    // Resumes once every keychain save started so far has finished. A process that exits right after
    // an assignment awaits this, or the save would be lost.
    QCoro::Task<> saved();

Q_SIGNALS:
    void workerURLChanged();
    void tokenChanged();
    void isConfiguredChanged();
    void tokenLoaded();
    void keychainErrorChanged();
    void savesFinished();

private:
    QCoro::Task<> load();
    QCoro::Task<> persist(QString token);
    void publishConfigured();
    void setKeychainError(const QString &error);

    const std::shared_ptr<SecretStore> m_secrets;
    QString m_token;
    bool m_loaded = false;
    bool m_assigned = false;
    bool m_configured = false;
    int m_pendingSaves = 0;
    QString m_keychainError;
};

} // namespace syncing
