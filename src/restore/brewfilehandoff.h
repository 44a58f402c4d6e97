#pragma once

#include "inventory/inventoryengine.h"
#include "platform/result.h"
#include "platform/savepanel.h"
#include "platform/terminallauncher.h"
#include "restore/restoreplan.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace restore {

// Hands the plan's Brewfile on: to the clipboard, to a file the user picks, to Homebrew for a preview
// (which runs on the thread pool while the window stays live), and to Terminal through the installer
// script. Each action reports how it went through `finished` or `failed`, for the window's status.
class BrewfileHandoff final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString previewText READ previewText NOTIFY previewTextChanged)
    Q_PROPERTY(bool hasPreview READ hasPreview NOTIFY previewTextChanged)
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)
    Q_PROPERTY(QString savedPath READ savedPath NOTIFY savedPathChanged)
    Q_PROPERTY(bool homebrewInstalled READ homebrewInstalled NOTIFY homebrewInstalledChanged)

public:
    // The current plan, or nothing while there is none to hand on.
    using PlanSource = std::function<std::optional<RestorePlan>()>;

    BrewfileHandoff(inventory::InventoryEngine engine, PlanSource plan,
                    std::unique_ptr<platform::SavePanel> savePanel,
                    std::unique_ptr<platform::TerminalLauncher> terminalLauncher, QObject *parent = nullptr);
    ~BrewfileHandoff() override;
    Q_DISABLE_COPY_MOVE(BrewfileHandoff)

    static QString checkingText() { return tr("Checking…"); }

    // Empty while absent; present exactly while the preview is on screen.
    QString previewText() const { return m_previewText.value_or(QString()); }
    bool hasPreview() const { return m_previewText.has_value(); }
    bool isChecking() const { return m_checking; }
    // Where the Brewfile was last saved; empty before.
    QString savedPath() const { return m_savedPath; }
    // As of the last refresh (construction, refreshHomebrew, or an action that needed to know).
    bool homebrewInstalled() const { return m_homebrewInstalled; }

    Q_INVOKABLE void copy();
    Q_INVOKABLE void save();
    Q_INVOKABLE void preview();
    Q_INVOKABLE void closePreview();
    Q_INVOKABLE void installInTerminal();
    // Looks again whether Homebrew is here: the user may have installed it meanwhile.
    Q_INVOKABLE void refreshHomebrew();

    // Where the Brewfile and the installer are written; created when missing.
    static QString supportDirectory();

Q_SIGNALS:
    void previewTextChanged();
    void isCheckingChanged();
    void savedPathChanged();
    void homebrewInstalledChanged();
    // An action began; an earlier failure no longer stands.
    void started();
    // An action is done; `status` is its one line for the window.
    void finished(const QString &status);
    void failed(const QString &status, const QString &message);

private:
    std::optional<RestorePlan> planToHandOn();
    platform::Result<QString> writeBrewfile(const RestorePlan &plan);
    void setPreviewText(const std::optional<QString> &text);
    void setChecking(bool checking);
    QCoro::Task<> checkWithHomebrew(QString brewPath, QString brewfilePath);

    inventory::InventoryEngine m_engine;
    PlanSource m_plan;
    std::unique_ptr<platform::SavePanel> m_savePanel;
    std::unique_ptr<platform::TerminalLauncher> m_terminalLauncher;
    std::optional<QString> m_previewText;
    bool m_checking = false;
    QString m_savedPath;
    bool m_homebrewInstalled = false;
};

} // namespace restore
