#pragma once

#include "memorysecretstore.h"

#include "sync/appsettings.h"
#include "ui/appshell.h"
#include "ui/qmlmodule.h"

#include <QColor>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSet>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <memory>

// One view of the program in a window of its own, as the program shows it, for a test to look at and
// click. Items are found by their objectName. The view sees `settings` as its AppSettings; without
// them, settings of its own over an empty store in memory.
class ViewHarness {
public:
    ViewHarness(const QString &view, const QVariantMap &properties, QSize size = {},
                syncing::AppSettings *settings = nullptr) {
        static const bool prepared = [] {
            ui::AppShell::prepareApplication();
            return true;
        }();
        Q_UNUSED(prepared);
        if (!settings) {
            m_ownSettings = std::make_unique<syncing::AppSettings>(std::make_shared<MemorySecretStore>());
            settings = m_ownSettings.get();
        }
        ui::prepareEngine(m_engine, *settings);
        QObject::connect(&m_engine, &QQmlEngine::warnings, [this](const QList<QQmlError> &warnings) {
            for (const QQmlError &warning : warnings)
                m_warnings.append(warning.toString());
        });
        m_view = std::make_unique<QQuickView>(&m_engine, nullptr);
        m_view->setInitialProperties(properties);
        m_view->setResizeMode(size.isEmpty() ? QQuickView::SizeViewToRootObject
                                             : QQuickView::SizeRootObjectToView);
        m_view->setSource(QUrl(QStringLiteral("qrc:/Haulwise/") + view + QStringLiteral(".qml")));
        for (const QQmlError &error : m_view->errors())
            m_warnings.append(error.toString());
        if (!size.isEmpty())
            m_view->resize(size);
        m_view->show();
        m_exposed = QTest::qWaitForWindowExposed(m_view.get());
    }
    ~ViewHarness() {
        m_view.reset();
        m_engine.collectGarbage();
    }

    bool isReady() const { return m_exposed && m_view->rootObject() != nullptr; }
    // Everything the QML engine complained about so far: a view that works complains about nothing.
    const QStringList &warnings() const { return m_warnings; }
    QQuickView *view() const { return m_view.get(); }
    QQuickItem *root() const { return m_view->rootObject(); }

    // Looks through both trees: the items on screen (list rows and popups are only there) and the
    // objects the views own (models and controllers).
    template <class T = QQuickItem> T *find(const QString &objectName) const {
        if (QObject *found = search(m_view->contentItem(), objectName))
            return qobject_cast<T *>(found);
        return nullptr;
    }
    QObject *object(const QString &objectName) const { return find<QObject>(objectName); }
    // The first item of that name inside `scope` (a row of a list, say).
    static QQuickItem *findIn(QObject *scope, const QString &objectName) {
        return qobject_cast<QQuickItem *>(search(scope, objectName));
    }
    static QObject *search(QObject *scope, const QString &objectName) {
        if (!scope)
            return nullptr;
        QList<QObject *> queue{scope};
        QSet<QObject *> seen;
        while (!queue.isEmpty()) {
            QObject *object = queue.takeFirst();
            if (seen.contains(object))
                continue;
            seen.insert(object);
            if (object != scope && object->objectName() == objectName)
                return object;
            queue.append(object->children());
            if (auto *item = qobject_cast<QQuickItem *>(object)) {
                for (QQuickItem *child : item->childItems())
                    queue.append(child);
            }
        }
        return nullptr;
    }

    // A click in the middle of the item, as the user would make it. Layouts place their children
    // only when the window is next polished, so a row that has just appeared may still have its
    // buttons piled at its origin; the click waits for that, as a user's eye would.
    void click(QQuickItem *item) const {
        QVERIFY2(item, "no item to click");
        QVERIFY(QQuickTest::qWaitForPolish(m_view.get()));
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(m_view.get(), Qt::LeftButton, {}, centre);
    }

    // Visible on screen: itself and every item above it.
    static bool isShown(const QQuickItem *item) { return item && item->isVisible() && item->opacity() > 0; }

    static QString text(const QObject *item) { return item ? item->property("text").toString() : QString(); }

    // Which named colour an item's colour reads as: "red", "orange", "green", "blue", or "grey" for the
    // unsaturated secondary and grey tones. Light and dark palettes use different shades of each.
    static QString colourName(const QColor &colour) {
        if (colour.hsvSaturation() < 60)
            return QStringLiteral("grey");
        const int hue = colour.hsvHue();
        if (hue < 20 || hue >= 340)
            return QStringLiteral("red");
        if (hue < 50)
            return QStringLiteral("orange");
        if (hue >= 90 && hue < 170)
            return QStringLiteral("green");
        if (hue >= 190 && hue < 250)
            return QStringLiteral("blue");
        return colour.name();
    }
    static QString colourName(const QObject *item, const char *property = "color") {
        return item ? colourName(item->property(property).value<QColor>()) : QString();
    }

private:
    std::unique_ptr<syncing::AppSettings> m_ownSettings;
    QQmlEngine m_engine;
    std::unique_ptr<QQuickView> m_view;
    bool m_exposed = false;
    QStringList m_warnings;
};
