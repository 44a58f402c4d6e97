#include "ui/windowcontroller.h"

#include "ui/desktop.h"

#include "platform/logging.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlError>
#include <QQuickView>
#include <QScreen>

namespace ui {

WindowController::WindowController(QQmlEngine *engine, Options options, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_options(std::move(options)) {}

// The windows live as long as the program; they are deleted with the controller at the very end.
WindowController::~WindowController() {
    delete m_window;
}

void WindowController::show() {
    if (!m_window)
        create();
    desktop::activateApplication();
    m_window->show();
    m_window->raise();
    // A status-bar program is usually not the active one; asking for activation brings the window
    // in front of the others instead of behind them.
    m_window->requestActivate();
}

bool WindowController::eventFilter(QObject *watched, QEvent *event) {
    // The user closing the window hides it: the platform window stays, and with it the place and size
    // the user gave it. A close the program asks for itself (when it ends) goes through.
    if (watched == m_window && event->type() == QEvent::Close && event->spontaneous()) {
        event->ignore();
        m_window->hide();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void WindowController::create() {
    m_window = new QQuickView(m_engine, nullptr);
    m_window->setTitle(m_options.title);
    m_window->setFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint |
                       (m_options.resizable ? Qt::WindowMaximizeButtonHint : Qt::WindowType(0)));
    m_window->setColor(QGuiApplication::palette().color(QPalette::Window));
    m_window->setResizeMode(QQuickView::SizeRootObjectToView);
    if (m_options.initialProperties)
        m_window->setInitialProperties(m_options.initialProperties(m_window));
    m_window->setSource(m_options.source);
    if (m_window->status() == QQuickView::Error) {
        QStringList messages;
        for (const QQmlError &error : m_window->errors())
            messages.append(error.toString());
        m_error = messages.join(u'\n');
        qCWarning(platform::lcHaulwise, "%s", qUtf8Printable(m_error));
    }
    m_window->resize(m_options.size);
    if (!m_options.resizable) {
        m_window->setMinimumSize(m_options.size);
        m_window->setMaximumSize(m_options.size);
    } else if (!m_options.minimumSize.isEmpty()) {
        m_window->setMinimumSize(m_options.minimumSize);
    }
    centreOnScreen(m_window);
    m_window->installEventFilter(this);
    Q_EMIT created();
}

void centreOnScreen(QWindow *window) {
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->setScreen(screen);
    const QRect available = screen->availableGeometry();
    window->setPosition(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

} // namespace ui
