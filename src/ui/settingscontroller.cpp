#include "ui/settingscontroller.h"

#include "sync/appsettings.h"
#include "sync/setuptext.h"
#include "sync/syncclient.h"
#include "ui/qmlmodule.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QTimer>

#include <chrono>
#include <variant>

namespace ui {

using namespace std::chrono_literals;

SettingsController::SettingsController(QObject *parent)
    : QObject(parent) {}

SettingsController::~SettingsController() = default;

void SettingsController::classBegin() {
    if (!m_settings)
        setSettings(settingsOf(qmlEngine(this)));
}

void SettingsController::setSettings(syncing::AppSettings *settings) {
    if (m_settings == settings)
        return;
    m_settings = settings;
    watchWorkerURL();
    Q_EMIT settingsChanged();
    Q_EMIT workerURLProblemChanged();
}

void SettingsController::watchWorkerURL() {
    disconnect(m_workerURLWatch);
    if (m_settings)
        m_workerURLWatch = connect(m_settings, &syncing::AppSettings::workerURLChanged, this,
                                   &SettingsController::workerURLProblemChanged);
}

QString SettingsController::workerURLProblem() const {
    const QString url = m_settings ? m_settings->workerURL() : QString();
    if (url.isEmpty())
        return {};
    // The token plays no part in whether the address is acceptable.
    const syncing::SyncResult<QUrl> endpoint =
        syncing::SyncClient(url, QString()).safeEndpoint(syncing::SyncClient::manifestPath);
    return endpoint ? QString() : endpoint.message();
}

bool SettingsController::testPassed() const {
    return m_testResult == connectedWithManifest() || m_testResult == connectedWithoutManifest();
}

QString SettingsController::setupText(const QString &workerURL, const QString &token) {
    return syncing::SetupText{workerURL, token}.format();
}

void SettingsController::testConnection() {
    runTest();
}

void SettingsController::copyWorkerURL() {
    if (m_settings)
        copy(m_settings->workerURL(), workerURLCopied());
}

void SettingsController::copyToken() {
    if (m_settings)
        copy(m_settings->token(), tokenCopied());
}

void SettingsController::copySetup() {
    if (m_settings)
        copy(setupText(m_settings->workerURL(), m_settings->token()), setupCopied());
}

QCoro::Task<> SettingsController::runTest() {
    QPointer<SettingsController> self(this);
    if (!m_settings)
        co_return;
    setTesting(true);
    setTestResult({});
    // The values as they are now: edits made while the request is out do not change this test.
    const syncing::SyncClient client(m_settings->workerURL(), m_settings->token());
    const syncing::SyncResult<model::Manifest> result = co_await client.download();
    if (!self)
        co_return;
    if (result) {
        setTestResult(connectedWithManifest());
    } else {
        const auto &error = result.failure();
        // A Worker with nothing stored yet is a Worker that works.
        if (error.kind == syncing::SyncError::Kind::http && error.statusCode == 404)
            setTestResult(connectedWithoutManifest());
        else
            setTestResult(error.description());
    }
    setTesting(false);
}

void SettingsController::copy(const QString &text, const QString &note) {
    if (QClipboard *clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(text);
    }
    setCopiedNote(note);
    // Each copy clears only its own note; a later copy's note stays for its own two seconds.
    QTimer::singleShot(2s, this, [this, note] {
        if (m_copiedNote == note)
            setCopiedNote({});
    });
}

void SettingsController::setTestResult(const QString &result) {
    if (m_testResult == result)
        return;
    m_testResult = result;
    Q_EMIT testResultChanged();
}

void SettingsController::setTesting(bool testing) {
    if (m_testing == testing)
        return;
    m_testing = testing;
    Q_EMIT testingChanged();
}

void SettingsController::setCopiedNote(const QString &note) {
    if (m_copiedNote == note)
        return;
    m_copiedNote = note;
    Q_EMIT copiedNoteChanged();
}

} // namespace ui
