#pragma once

#include "sync/appsettings.h"

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <QCoroTask>

namespace ui {

// The settings window's own state and actions: the outcome of the last connection test, whether one
// runs, and the note that confirms a copy for two seconds. The fields are edited on the settings
// object directly; this only reads them. Lives as long as the window's content, and starts afresh
// with it. Made by a view, it works on the settings of the view's engine unless given others.
// Not final: QML makes its instances through a subclass of its own.
class SettingsController : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(syncing::AppSettings *settings READ settings WRITE setSettings NOTIFY settingsChanged)
    Q_PROPERTY(QString testResult READ testResult NOTIFY testResultChanged)
    Q_PROPERTY(bool testPassed READ testPassed NOTIFY testResultChanged)
    Q_PROPERTY(bool testing READ testing NOTIFY testingChanged)
    Q_PROPERTY(QString copiedNote READ copiedNote NOTIFY copiedNoteChanged)
    Q_PROPERTY(QString workerURLProblem READ workerURLProblem NOTIFY workerURLProblemChanged)

public:
    explicit SettingsController(QObject *parent = nullptr);
    ~SettingsController() override;
    Q_DISABLE_COPY_MOVE(SettingsController)

    static QString connectedWithManifest() { return tr("✓ Connected (manifest found)"); }
    static QString connectedWithoutManifest() { return tr("✓ Connected (no manifest yet)"); }
    static QString workerURLCopied() { return tr("Worker URL copied"); }
    static QString tokenCopied() { return tr("Token copied"); }
    static QString setupCopied() { return tr("Setup (URL + token) copied"); }

    // Null until given, or until a view that makes this has begun it; every action then does nothing.
    syncing::AppSettings *settings() const { return m_settings; }
    void setSettings(syncing::AppSettings *settings);

    void classBegin() override;
    void componentComplete() override {}

    // Empty while there is no result (a result is never empty text).
    const QString &testResult() const { return m_testResult; }
    // The result says the Worker answered as a Worker should.
    bool testPassed() const;
    bool testing() const { return m_testing; }
    // Empty while no note shows.
    const QString &copiedNote() const { return m_copiedNote; }

    // Why the Worker URL as it stands would be refused (it isn't a URL, or it would send the token
    // unencrypted to another machine); empty while the URL is empty or fine. Follows every edit.
    QString workerURLProblem() const;

    // What "Copy setup for new Mac" puts on the clipboard; `haulwise-cli setup` reads it back.
    static QString setupText(const QString &workerURL, const QString &token);

    // Returns at once; the outcome arrives in testResult.
    Q_INVOKABLE void testConnection();
    Q_INVOKABLE void copyWorkerURL();
    Q_INVOKABLE void copyToken();
    Q_INVOKABLE void copySetup();

Q_SIGNALS:
    void settingsChanged();
    void testResultChanged();
    void testingChanged();
    void copiedNoteChanged();
    void workerURLProblemChanged();

private:
    QCoro::Task<> runTest();
    void copy(const QString &text, const QString &note);
    void setTestResult(const QString &result);
    void setTesting(bool testing);
    void setCopiedNote(const QString &note);

    void watchWorkerURL();

    QPointer<syncing::AppSettings> m_settings;
    QMetaObject::Connection m_workerURLWatch;
    QString m_testResult;
    bool m_testing = false;
    QString m_copiedNote;
};

} // namespace ui
