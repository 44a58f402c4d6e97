#include "ui/appshell.h"
#include "platform/logging.h"

#include "inventory/inventorymodel.h"
#include "platform/savepanel.h"
#include "platform/terminallauncher.h"
#include "restore/restoremodel.h"
#include "sync/appsettings.h"
#include "ui/desktop.h"
#include "ui/panelactions.h"
#include "ui/qmlmodule.h"
#include "ui/symbols.h"
#include "ui/windowcontroller.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPalette>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QSystemTrayIcon>

#include <memory>

namespace ui {

namespace {

const QUrl panelSource(QStringLiteral("qrc:/Haulwise/MenuContentView.qml"));
const QUrl restoreSource(QStringLiteral("qrc:/Haulwise/RestoreView.qml"));
const QUrl settingsSource(QStringLiteral("qrc:/Haulwise/SettingsView.qml"));

} // namespace

AppShell::AppShell(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_settings(std::make_unique<syncing::AppSettings>(m_options.secrets)) {
    prepareEngine(m_engine, *m_settings);
    m_inventory = new inventory::InventoryModel(m_options.engine, *m_settings, this);
    m_actions = new PanelActions({.showRestore = [this] { m_restoreWindow->show(); },
                                  .showSettings = [this] { m_settingsWindow->show(); },
                                  .quit = [this] { quit(); }},
                                 this);

    auto makeRestoreModel = m_options.makeRestoreModel;
    if (!makeRestoreModel) {
        // The restore side looks at the same Mac as the scan unless told of another.
        makeRestoreModel = [engine = m_options.restoreEngine.value_or(m_options.engine)](
                               syncing::AppSettings &settings, QObject *parent) {
            return new restore::RestoreModel(engine, settings, platform::makeSavePanel(),
                                             platform::makeTerminalLauncher(), parent);
        };
    }
    m_restoreWindow = new WindowController(
        &m_engine,
        {.title = tr("Haulwise — Restore"),
         .source = restoreSource,
         .size = QSize(560, 640),
         .resizable = true,
         .minimumSize = QSize(460, 420),
         .initialProperties =
             [makeRestoreModel, settings = m_settings.get()](QObject *window) {
                 return QVariantMap{
                     {QStringLiteral("model"), QVariant::fromValue(makeRestoreModel(*settings, window))}};
             }},
        this);
    m_settingsWindow = new WindowController(&m_engine,
                                            {.title = tr("Haulwise Settings"),
                                             .source = settingsSource,
                                             .size = QSize(460, 320),
                                             .resizable = false,
                                             .minimumSize = {},
                                             .initialProperties = {}},
                                            this);
}

// The windows go before the engine that built them.
AppShell::~AppShell() {
    delete m_panel;
    delete m_restoreWindow;
    delete m_settingsWindow;
    delete m_tray;
}

void AppShell::prepareApplication() {
    desktop::applyControlsStyle();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Haulwise"));
    // A status-bar program keeps running with every window closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void AppShell::start() {
    if (m_options.allowStatusItem && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon;
        // A status area may be dark or light whatever the windows are; blue reads on both. (On macOS
        // the icon is a template image that the menu bar tints itself.)
        m_tray->setIcon(
            Symbols::icon(QStringLiteral("arrow.left.arrow.right.circle"), QColor(0x2f, 0x8c, 0xf5)));
        m_tray->setToolTip(QStringLiteral("Haulwise"));
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                togglePanel(m_tray->geometry());
        });
        if (desktop::statusItemNeedsMenu()) {
            m_trayMenu = std::make_unique<QMenu>();
            m_trayMenu->addAction(tr("Open Haulwise"), this, [this] { showPanel(); });
            m_trayMenu->addSeparator();
            m_trayMenu->addAction(tr("Quit Haulwise"), this, [this] { quit(); });
            m_tray->setContextMenu(m_trayMenu.get());
        }
        m_tray->show();
        return;
    }
    showPanel();
}

QQuickView *AppShell::ensurePanel() {
    if (m_panel)
        return m_panel;
    m_floating = m_tray != nullptr;
    m_panel = new QQuickView(&m_engine, nullptr);
    m_panel->setTitle(QStringLiteral("Haulwise"));
    m_panel->setColor(QGuiApplication::palette().color(QPalette::Window));
    if (m_floating)
        m_panel->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    else
        m_panel->setFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    m_panel->setResizeMode(QQuickView::SizeViewToRootObject);
    m_panel->setInitialProperties({
        {QStringLiteral("model"), QVariant::fromValue(m_inventory)},
        {QStringLiteral("actions"), QVariant::fromValue(m_actions)},
        {QStringLiteral("framed"), m_floating},
    });
    m_panel->setSource(panelSource);
    for (const QQmlError &error : m_panel->errors())
        qCWarning(platform::lcHaulwise, "%s", qUtf8Printable(error.toString()));
    m_panel->installEventFilter(this);
    if (m_floating) {
        // A dropped-down panel goes away when the user turns to something else, as menus do.
        connect(m_panel, &QWindow::activeChanged, this, [this] {
            if (!m_panel->isActive())
                m_panel->hide();
        });
    } else {
        centreOnScreen(m_panel);
    }
    return m_panel;
}

void AppShell::showPanel(const QRect &anchor) {
    QQuickView *panel = ensurePanel();
    if (m_floating)
        placePanel(anchor);
    panel->show();
    panel->raise();
    panel->requestActivate();
    Q_EMIT panelShown();
}

void AppShell::togglePanel(const QRect &anchor) {
    if (m_panel && m_panel->isVisible() && m_floating) {
        m_panel->hide();
        return;
    }
    showPanel(anchor);
}

void AppShell::placePanel(const QRect &anchor) {
    // Some status areas do not say where the icon is; the pointer just clicked it, so go there.
    const QRect item = anchor.isValid() && !anchor.isEmpty() ? anchor : QRect(QCursor::pos(), QSize(1, 1));
    QScreen *screen = QGuiApplication::screenAt(item.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QSize size = m_panel->size();
    QPoint position(item.center().x() - size.width() / 2, item.bottom() + 4);
    if (screen) {
        const QRect available = screen->availableGeometry();
        // A status area at the bottom of the screen: open upwards.
        if (position.y() + size.height() > available.bottom())
            position.setY(item.top() - size.height() - 4);
        position.setX(std::clamp(position.x(), available.left(),
                                 std::max(available.left(), available.right() - size.width())));
        position.setY(std::clamp(position.y(), available.top(),
                                 std::max(available.top(), available.bottom() - size.height())));
    }
    m_panel->setPosition(position);
}

void AppShell::quit() {
    finishAndQuit();
}

QCoro::Task<> AppShell::finishAndQuit() {
    if (m_quitting)
        co_return;
    m_quitting = true;
    QPointer<AppShell> self(this);
    // A token typed just before quitting is still on its way to the keychain; let it land.
    co_await m_settings->saved();
    if (self)
        QCoreApplication::exit(0);
}

bool AppShell::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_panel) {
        if (event->type() == QEvent::KeyPress && m_floating &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_panel->hide();
            return true;
        }
        // As its own window the panel is the program's main window: closing it ends the program.
        if (event->type() == QEvent::Close && !m_floating) {
            quit();
            return false;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ui
