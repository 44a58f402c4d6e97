#pragma once

#include "inventory/inventoryengine.h"

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QRect>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QQuickView;
class QSystemTrayIcon;

namespace inventory {
class InventoryModel;
}
namespace restore {
class RestoreModel;
}
namespace syncing {
class AppSettings;
class SecretStore;
} // namespace syncing

namespace ui {

class PanelActions;
class WindowController;

// The program around the views: one status item whose click drops the panel below it, the one
// inventory model of the run, and the restore and settings windows, each made once on first use.
// Where the desktop has no status area the panel is an ordinary small window instead, shown at start,
// so the program can always be reached. Nothing is scanned or fetched at start.
class AppShell final : public QObject {
    Q_OBJECT

public:
    struct Options {
        // Where the Worker's token is kept. The shell's settings read it at once; every model and view
        // of the shell uses those settings.
        std::shared_ptr<syncing::SecretStore> secrets;
        // What the panel scans.
        inventory::InventoryEngine engine;
        // What the restore window restores onto; the scanned Mac when absent.
        std::optional<inventory::InventoryEngine> restoreEngine;
        // The restore window's model, made when the window is first opened; the window is its parent.
        std::function<restore::RestoreModel *(syncing::AppSettings &settings, QObject *parent)>
            makeRestoreModel;
        // Use the status area when the desktop has one.
        bool allowStatusItem = true;
    };

    explicit AppShell(Options options, QObject *parent = nullptr);
    ~AppShell() override;
    Q_DISABLE_COPY_MOVE(AppShell)

    // The application-wide settings the views rely on: the widget style, and staying alive with no
    // window open. Call once, after the application object exists and before the first shell.
    static void prepareApplication();

    // Puts the status item up, or shows the panel window where there is no status area.
    void start();

    syncing::AppSettings &settings() const { return *m_settings; }
    inventory::InventoryModel *inventory() const { return m_inventory; }
    QQmlEngine *engine() { return &m_engine; }
    bool hasStatusItem() const { return m_tray != nullptr; }
    // Null until the panel is first shown.
    QQuickView *panel() const { return m_panel; }
    WindowController *restoreWindow() const { return m_restoreWindow; }
    WindowController *settingsWindow() const { return m_settingsWindow; }

    // Shows the panel: below `anchor` (the status item) when it floats, else as its own window.
    void showPanel(const QRect &anchor = {});
    void togglePanel(const QRect &anchor = {});
    // Ends the program once the settings still being written have been saved.
    void quit();

Q_SIGNALS:
    void panelShown();

private:
    QQuickView *ensurePanel();
    void placePanel(const QRect &anchor);
    QCoro::Task<> finishAndQuit();
    bool eventFilter(QObject *watched, QEvent *event) override;

    Options m_options;
    // Before the engine, which hands it to the views, so that it outlives them.
    std::unique_ptr<syncing::AppSettings> m_settings;
    QQmlEngine m_engine;
    inventory::InventoryModel *m_inventory = nullptr;
    PanelActions *m_actions = nullptr;
    WindowController *m_restoreWindow = nullptr;
    WindowController *m_settingsWindow = nullptr;
    QQuickView *m_panel = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    std::unique_ptr<QMenu> m_trayMenu;
    bool m_floating = false;
    bool m_quitting = false;
};

} // namespace ui
