#pragma once

#include "inventory/inventoryengine.h"
#include "model/manifest.h"
#include "platform/savepanel.h"
#include "platform/terminallauncher.h"
#include "restore/brewfilehandoff.h"
#include "restore/installedapps.h"
#include "restore/loginitems.h"
#include "restore/manualdownloads.h"
#include "restore/restoreplan.h"
#include "sync/syncclient.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace syncing {
class AppSettings;
}

namespace restore {

// The restore on the new Mac: the manifest fetched from the Worker, what this Mac already has, the
// user's choice, and the plan derived from them. The three steps that act on the plan are objects of
// their own, reached through brewfile, loginItems and downloads; their outcomes become this object's
// status and error. Lives on the main thread; looking at this Mac happens on the thread pool.
class RestoreModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasManifest READ hasManifest NOTIFY hasManifestChanged)
    Q_PROPERTY(QString hostname READ hostname NOTIFY hasManifestChanged)
    // What the loaded manifest could not read on the old Mac, one line each: an empty list there is
    // not known to be empty.
    Q_PROPERTY(QStringList unreadSections READ unreadSections NOTIFY planChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(restore::BrewfileHandoff *brewfile READ brewfile CONSTANT)
    Q_PROPERTY(restore::LoginItems *loginItems READ loginItems CONSTANT)
    Q_PROPERTY(restore::ManualDownloads *downloads READ downloads CONSTANT)

public:
    // Loads come from the Worker that `settings` names; they must outlive this model.
    RestoreModel(inventory::InventoryEngine engine, syncing::AppSettings &settings,
                 std::unique_ptr<platform::SavePanel> savePanel,
                 std::unique_ptr<platform::TerminalLauncher> terminalLauncher, QObject *parent = nullptr);
    ~RestoreModel() override;
    Q_DISABLE_COPY_MOVE(RestoreModel)

    static QString initialStatus() { return tr("Load a manifest to begin."); }

    const std::optional<model::Manifest> &manifest() const { return m_manifest; }
    bool hasManifest() const { return m_manifest.has_value(); }
    QString hostname() const { return m_manifest ? m_manifest->hostname : QString(); }
    QStringList unreadSections() const { return m_manifest ? m_manifest->unreadLines() : QStringList(); }
    const QString &status() const { return m_status; }
    // A load, a look at this Mac, a preview or a login-item apply is under way.
    bool isBusy() const { return m_isBusy; }
    // The last failure; empty once the next action starts.
    QString errorMessage() const { return m_errorMessage.value_or(QString()); }

    BrewfileHandoff *brewfile() const { return m_brewfile; }
    LoginItems *loginItems() const { return m_loginItems; }
    ManualDownloads *downloads() const { return m_downloads; }

    // The chosen applications, by position in the manifest's list.
    const QSet<qsizetype> &selected() const { return m_selected; }
    // What the last load learnt about this Mac.
    const InstalledApps &installed() const { return m_installed; }

    // Fetches a manifest from the Worker in the settings and adopts it: the newest one exported from
    // another Mac (this one's own exports are not what a restore wants), else the newest of all; from
    // a Worker that keeps only one, that one. A failure keeps everything loaded before and only reports.
    QCoro::Task<> loadFromCloud();
    Q_INVOKABLE void startLoad();
    // The same for one kept manifest the user picked.
    QCoro::Task<> loadVersion(QString id);
    Q_INVOKABLE void startLoadVersion(const QString &id);
    // Asks the Worker again which manifests it keeps.
    Q_INVOKABLE void refreshVersions();
    // The manifests the Worker keeps, newest first, as it last listed them. Empty when it keeps only one.
    const QList<syncing::StoredVersion> &versions() const { return m_versions; }
    // Looks at this Mac (its applications and login items, on the thread pool), then replaces the
    // manifest and everything derived from it; every installable application and every login item
    // starts chosen.
    QCoro::Task<> applyManifest(model::Manifest manifest);

    // Rebuilt on every call, so it always reflects the current choice. Absent without a manifest.
    std::optional<RestorePlan> plan() const;

    // The installable applications of one source, in manifest order.
    QList<model::AppRecord> appsWithSource(model::AppSource source) const;
    // Each application's own tick box, by its position in the manifest's list. Built-in applications
    // and positions the manifest doesn't have are never chosen.
    Q_INVOKABLE bool isAppSelected(int position) const;
    Q_INVOKABLE void setAppSelected(int position, bool on);
    // The same for the one application at `path`; a path the manifest gives more than one
    // application names none of them.
    Q_INVOKABLE bool isSelected(const QString &path) const;
    Q_INVOKABLE void setSelected(const QString &path, bool on);
    Q_INVOKABLE void selectAll(model::AppSource source);
    Q_INVOKABLE void selectNone(model::AppSource source);

    const HomebrewChoice &homebrewChoice() const { return m_homebrew; }
    // Names the manifest doesn't list change nothing.
    Q_INVOKABLE void setTapChosen(const QString &tap, bool on);
    Q_INVOKABLE void setFormulaChosen(const QString &formula, bool on);
    Q_INVOKABLE void chooseAllTaps(bool on);
    Q_INVOKABLE void chooseAllFormulae(bool on);
    // The casks no application stands for (fonts, command-line tools, drivers).
    Q_INVOKABLE void setCaskChosen(const QString &cask, bool on);
    Q_INVOKABLE void chooseAllCasks(bool on);
    // The other kinds, by restore::BrewfileKind (one of restore::packageKinds): editor extensions, npm
    // packages, crates, Python tools and font casks. Any other kind changes nothing.
    Q_INVOKABLE void setPackageChosen(int kind, const QString &name, bool on);
    Q_INVOKABLE void chooseAllPackages(int kind, bool on);

Q_SIGNALS:
    void hasManifestChanged();
    void statusChanged();
    void isBusyChanged();
    void errorMessageChanged();
    void versionsChanged();
    // The manifest, the choice or this Mac's state changed: views re-read the plan.
    void planChanged();

private:
    struct ThisMac;
    static ThisMac lookAtThisMac(const inventory::InventoryEngine &engine);

    void adopt(model::Manifest manifest, ThisMac mac);
    // Shows the load as started and gives a client once the settings are known.
    QCoro::Task<syncing::SyncClient> beginLoad();
    QCoro::Task<> fetchAndAdopt(syncing::SyncClient client, std::optional<QString> id);
    void setVersions(QList<syncing::StoredVersion> versions);
    void failLoad(const QString &message);
    // The version a load picks when the user didn't: the newest not exported from this Mac, which is
    // called `own`.
    std::optional<syncing::StoredVersion> defaultVersion(const QString &own) const;
    void setStatus(const QString &status);
    void setError(const std::optional<QString> &message);
    void setLoading(int delta);
    void updateBusy();
    // The position of the one application at `path`; -1 for none or more than one.
    int positionOf(const QString &path) const;
    void setUnchosen(QSet<QString> &unchosen, const QStringList &listed, const QString &name, bool on);
    void setAllUnchosen(QSet<QString> &unchosen, const QStringList &listed, bool on);

    inventory::InventoryEngine m_engine;
    const QPointer<syncing::AppSettings> m_settings;
    std::optional<model::Manifest> m_manifest;
    QSet<qsizetype> m_selected;
    HomebrewChoice m_homebrew;
    InstalledApps m_installed;
    QString m_status = initialStatus();
    std::optional<QString> m_errorMessage;
    QList<syncing::StoredVersion> m_versions;
    int m_loading = 0;
    bool m_isBusy = false;
    BrewfileHandoff *m_brewfile = nullptr;
    LoginItems *m_loginItems = nullptr;
    ManualDownloads *m_downloads = nullptr;
};

} // namespace restore
