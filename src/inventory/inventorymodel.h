#pragma once

#include "inventory/inventoryengine.h"
#include "model/manifest.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <optional>

namespace syncing {
class AppSettings;
}

namespace inventory {

// The state behind the menu panel on the old Mac: the latest manifest, what the scan or export is
// doing, and how the last export went. Scan and export never fail to their caller; a failed export
// becomes errorMessage and the status "Export failed". Lives on the main thread.
//
// Nothing stops a second scan or export while one runs (the panel keeps Scan enabled); their property
// changes then interleave and each property keeps the last value written.
class InventoryModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasManifest READ hasManifest NOTIFY manifestChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(QString lastExport READ lastExportText NOTIFY lastExportChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(int appCount READ appCount NOTIFY manifestChanged)
    Q_PROPERTY(int autoCount READ autoCount NOTIFY manifestChanged)
    Q_PROPERTY(int manualCount READ manualCount NOTIFY manifestChanged)
    Q_PROPERTY(int builtInCount READ builtInCount NOTIFY manifestChanged)
    Q_PROPERTY(QStringList manualNames READ manualNames NOTIFY manifestChanged)
    Q_PROPERTY(QString hostname READ hostname NOTIFY manifestChanged)
    Q_PROPERTY(QStringList unreadSections READ unreadSections NOTIFY manifestChanged)
    Q_PROPERTY(QString alsoText READ alsoText NOTIFY manifestChanged)

public:
    static QString notScannedText() { return tr("Not scanned yet"); }
    static QString scanningText() { return tr("Scanning apps…"); }
    static QString matchingText() { return tr("Matching casks & App Store IDs…"); }
    static QString pushingText() { return tr("Pushing to Cloud…"); }
    static QString exportedText() { return tr("Exported ✓"); }
    static QString exportFailedText() { return tr("Export failed"); }
    // A scan whose work broke off; errorMessage says why.
    static QString scanFailedText() { return tr("Scan failed"); }

    // Exports go to the Worker that `settings` names; they must outlive this model. The Worker
    // exchange gives up after the engine's transfer time-out, like every other request of a scan.
    InventoryModel(InventoryEngine engine, syncing::AppSettings &settings, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(InventoryModel)

    const InventoryEngine &engine() const { return m_engine; }
    const std::optional<model::Manifest> &manifest() const { return m_manifest; }
    bool hasManifest() const { return m_manifest.has_value(); }
    bool isBusy() const { return m_busy; }
    const QString &status() const { return m_status; }
    // How far the online pass of a scan has got ("Looking up App Store ids 3 of 12"); empty when no
    // scan is in its online pass.
    const QString &progress() const { return m_progress; }
    // The Worker's stored-at text (or "just now") of the latest successful export.
    const std::optional<QString> &lastExport() const { return m_lastExport; }
    // The description of the latest failed export, until the next scan or export starts.
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    // For QML, where "" stands for absent.
    QString lastExportText() const { return m_lastExport.value_or(QString()); }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }

    // Counts of the current manifest for the panel; 0 and empty without one.
    int appCount() const;
    int autoCount() const; // App Store and cask: reinstalled without the user
    int manualCount() const;
    int builtInCount() const;
    QStringList manualNames() const; // in manifest order
    // Which Mac the manifest describes; empty without one.
    QString hostname() const { return m_manifest ? m_manifest->hostname : QString(); }
    // What the scan could not read, one line each with its reason; empty without a manifest.
    QStringList unreadSections() const { return m_manifest ? m_manifest->unreadLines() : QStringList(); }

    // An offline pass, published, then the whole scan again with online matching, published.
    QCoro::Task<> scan();
    // Uploads the manifest held when called; does nothing at all without one.
    QCoro::Task<> exportManifest();

    // "N installable · M built-in" for the current manifest; "" without one.
    QString summary() const;
    static QString summary(const model::Manifest &manifest);
    // What else the manifest carries besides applications, counted in one line ("Also: 14
    // extensions, 6 npm packages, 3 fonts"); kinds without entries are not named, and a manifest
    // with none of them gives "".
    QString alsoText() const;
    static QString alsoText(const model::Manifest &manifest);

    Q_INVOKABLE void startScan();
    Q_INVOKABLE void startExport();

Q_SIGNALS:
    void manifestChanged();
    void isBusyChanged();
    void statusChanged();
    void progressChanged();
    void lastExportChanged();
    void errorMessageChanged();

private:
    void setManifest(model::Manifest manifest);
    void setBusy(bool busy);
    void scanFailed(const QString &message);
    void setStatus(const QString &status);
    void setProgress(const QString &progress);
    void setLastExport(const std::optional<QString> &text);
    void setErrorMessage(const std::optional<QString> &text);

    const InventoryEngine m_engine;
    QPointer<syncing::AppSettings> m_settings;
    std::optional<model::Manifest> m_manifest;
    bool m_busy = false;
    QString m_status = notScannedText();
    QString m_progress;
    std::optional<QString> m_lastExport;
    std::optional<QString> m_errorMessage;
};

} // namespace inventory
