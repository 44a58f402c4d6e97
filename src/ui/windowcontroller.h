#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

class QQmlEngine;
class QQuickView;
class QWindow;

namespace ui {

// One secondary window (restore or settings): made the first time it is asked for, then kept. Closing
// it only hides it, so its view and whatever the view holds stay as the user left them; showing it
// again brings the same window forward with the size and place the user gave it.
class WindowController final : public QObject {
    Q_OBJECT

public:
    struct Options {
        QString title;
        QUrl source; // the root view
        QSize size;  // of the content, at creation
        bool resizable = true;
        QSize minimumSize; // when resizable
        // The root view's required properties; called once, when the window is made, with the
        // window as the parent for anything it creates.
        std::function<QVariantMap(QObject *window)> initialProperties;
    };

    WindowController(QQmlEngine *engine, Options options, QObject *parent = nullptr);
    ~WindowController() override;
    Q_DISABLE_COPY_MOVE(WindowController)

    // Null until the first show().
    QQuickView *window() const { return m_window; }
    // Errors of the root view, when it could not be built.
    QString errorString() const { return m_error; }

    // Makes the window when there is none (centred on the screen), then shows it in front with the
    // keyboard focus.
    void show();

Q_SIGNALS:
    void created();

private:
    void create();
    bool eventFilter(QObject *watched, QEvent *event) override;

    QQmlEngine *m_engine;
    Options m_options;
    QQuickView *m_window = nullptr;
    QString m_error;
};

// Centres a window on the screen under the mouse pointer (the primary screen when there is none).
void centreOnScreen(QWindow *window);

} // namespace ui
