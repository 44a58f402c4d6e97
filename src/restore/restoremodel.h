#pragma once

#include "inventory/inventoryengine.h"
#include "model/manifest.h"
#include "restore/loginitemstate.h"
#include "restore/restoreplan.h"
#include "restore/savepanel.h"
#include "restore/terminallauncher.h"
#include "sync/syncerror.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace restore {

// Everything the restore window shows and does on the new Mac: the manifest fetched from the Worker,
// what this Mac already has, the user's choice, and the plan derived from them. Lives on the main
// thread; only the Homebrew run of a preview happens elsewhere, and its answer comes back here.
class RestoreModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool hasManifest READ hasManifest NOTIFY hasManifestChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString savedBrewfilePath READ savedBrewfilePath NOTIFY savedBrewfilePathChanged)
    Q_PROPERTY(QString loginStatus READ loginStatus NOTIFY loginStatusChanged)
    Q_PROPERTY(QString previewText READ previewText NOTIFY previewTextChanged)
    Q_PROPERTY(bool hasPreview READ hasPreview NOTIFY previewTextChanged)

public:
    // This Mac as it is, the platform's save dialog and terminal.
    explicit RestoreModel(QObject *parent = nullptr);
    RestoreModel(inventory::InventoryEngine engine, std::unique_ptr<SavePanel> savePanel,
                 std::unique_ptr<TerminalLauncher> terminalLauncher, QObject *parent = nullptr);
    ~RestoreModel() override;
    Q_DISABLE_COPY_MOVE(RestoreModel)

    // --- published state --------------------------------------------------------------------------
    const std::optional<model::Manifest> &manifest() const { return m_manifest; }
    bool hasManifest() const { return m_manifest.has_value(); }
    QString status() const { return m_status; }
    bool isBusy() const { return m_isBusy; }
    // Empty while absent.
    QString errorMessage() const { return m_errorMessage.value_or(QString()); }
    QString savedBrewfilePath() const { return m_savedBrewfilePath.value_or(QString()); }
    QString loginStatus() const { return m_loginStatus.value_or(QString()); }
    QString previewText() const { return m_previewText.value_or(QString()); }
    bool hasPreview() const { return m_previewText.has_value(); }

    const QSet<QString> &selected() const { return m_selected; }
    const QSet<QString> &loginSelection() const { return m_loginSelection; }
    const QHash<QString, QString> &manualURLs() const { return m_manualURLs; }

    // What was learnt about this Mac at the last load (and, for login items, the last apply).
    const QSet<QString> &installedBundleIds() const { return m_installedBundleIds; }
    const QSet<QString> &installedNames() const { return m_installedNames; }
    const QHash<QString, QString> &installedAppPaths() const { return m_installedAppPaths; }
    const QSet<QString> &currentLoginSet() const { return m_currentLoginSet; }

    // --- loading and planning ---------------------------------------------------------------------
    // Fetches the manifest from the Worker in the settings and adopts it. A failure keeps everything
    // loaded before and only reports.
    QCoro::Task<> loadFromCloud();
    // Replaces the manifest and everything derived from this Mac; every installable application and
    // every login item starts chosen.
    void applyManifest(const model::Manifest &manifest);

    // Rebuilt on every call, so it always reflects the current choice. Absent without a manifest.
    std::optional<RestorePlan> plan() const;
    static RestorePlan buildPlan(const model::Manifest &manifest, const QSet<QString> &selected,
                                 const QSet<QString> &installedBundleIds,
                                 const QSet<QString> &installedNames);

    // The installable applications of one source, in manifest order.
    QList<model::AppRecord> appsWithSource(model::AppSource source) const;
    bool isSelected(const model::AppRecord &app) const;
    void setSelected(const model::AppRecord &app, bool on);
    void selectAll(const QList<model::AppRecord> &apps);
    void selectNone(const QList<model::AppRecord> &apps);

    // Runs a tool (a local path) with Homebrew kept quiet and both output streams merged; waits for it.
    // Never fails: a tool that cannot start answers "Couldn't run brew: " and the reason, output that
    // is not UTF-8 reads as empty.
    static QString runCommand(const QString &executable, const QStringList &arguments);
    // The names of this Mac's login items, as System Events lists them now.
    QSet<QString> readCurrentLoginItems() const;

    // --- handing the Brewfile on --------------------------------------------------------------------
    Q_INVOKABLE void copyBrewfile();
    Q_INVOKABLE void saveBrewfile();
    Q_INVOKABLE bool isHomebrewInstalled() const;
    Q_INVOKABLE void preview();
    Q_INVOKABLE void closePreview();
    Q_INVOKABLE void installInTerminal();
    // Where the Brewfile and the installer are written; created when missing.
    static QString supportDirectory();

    // --- login items and manual downloads ---------------------------------------------------------
    Q_INVOKABLE bool isLoginItemSelected(const QString &name) const;
    Q_INVOKABLE void setLoginItemSelected(const QString &name, bool on);
    LoginItemState loginItemState(const QString &name) const;
    // "alreadySet", "willAdd" or "needsApp".
    Q_INVOKABLE QString loginItemStateText(const QString &name) const;
    Q_INVOKABLE void applyLoginItems();

    QString manualURL(const model::AppRecord &app) const;
    void setManualURL(const model::AppRecord &app, const QString &text);
    void findDownload(const model::AppRecord &app) const;
    Q_INVOKABLE void openDownload(const QString &link) const;

    // --- for views, which know rows by path ---------------------------------------------------------
    Q_INVOKABLE bool isSelectedPath(const QString &path) const;
    Q_INVOKABLE void setSelectedPath(const QString &path, bool on);
    Q_INVOKABLE void selectAllSource(int source);
    Q_INVOKABLE void selectNoneSource(int source);
    Q_INVOKABLE QString manualURLForPath(const QString &path) const;
    Q_INVOKABLE void setManualURLForPath(const QString &path, const QString &text);
    Q_INVOKABLE void findDownloadForPath(const QString &path) const;
    Q_INVOKABLE void startLoad();

Q_SIGNALS:
    void hasManifestChanged();
    void statusChanged();
    void isBusyChanged();
    void errorMessageChanged();
    void savedBrewfilePathChanged();
    void loginStatusChanged();
    void previewTextChanged();
    // The choice, the links, the manifest or this Mac's login items changed: views re-read the plan.
    void planChanged();

private:
    void setStatus(const QString &status);
    void setBusy(bool busy);
    void setErrorMessage(const std::optional<QString> &message);
    void setSavedBrewfilePath(const std::optional<QString> &path);
    void setLoginStatus(const std::optional<QString> &status);
    void setPreviewText(const std::optional<QString> &text);

    std::optional<model::AppRecord> appWithPath(const QString &path) const;
    std::optional<QString> homebrewLocation() const;
    void adoptDownload(const syncing::SyncResult<model::Manifest> &result);
    QCoro::Task<> checkWithHomebrew(QString brewPath, QString brewfilePath);
    // Runs on the thread pool: what the preview shows after its introduction.
    static QString homebrewAnswer(const QString &brewPath, const QString &brewfilePath);
    void showHomebrewAnswer(const QString &answer);

    std::optional<model::Manifest> m_manifest;
    QSet<QString> m_selected;
    QString m_status;
    bool m_isBusy = false;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_savedBrewfilePath;
    inventory::InventoryEngine m_engine;
    QSet<QString> m_installedBundleIds;
    QSet<QString> m_installedNames;
    QHash<QString, QString> m_installedAppPaths;
    QSet<QString> m_currentLoginSet;
    QHash<QString, QString> m_manualURLs;
    QSet<QString> m_loginSelection;
    std::optional<QString> m_loginStatus;
    std::optional<QString> m_previewText;
    std::unique_ptr<SavePanel> m_savePanel;
    std::unique_ptr<TerminalLauncher> m_terminalLauncher;
};

} // namespace restore
