#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace ui {

// The one place where the program's symbol names ("magnifyingglass", "eye.slash", …) become pictures.
// A symbol is drawn from the desktop's icon theme when the theme has an icon that means the same,
// else from the small SVG of our own that ships with the views; either way it comes out as a
// one-colour glyph in the colour asked for, so it reads on light and dark backgrounds alike. A name
// we do not know draws a neutral placeholder instead of nothing.
class Symbols final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit Symbols(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(Symbols)

    // For QML: also installs the image provider behind url() in the engine that asks.
    static Symbols *create(QQmlEngine *qmlEngine, QJSEngine *jsEngine);

    // An image source for QML: the symbol in `color`.
    Q_INVOKABLE QUrl url(const QString &name, const QColor &color) const;

    static QStringList knownNames();
    static bool isKnown(const QString &name);
    // The freedesktop icon names tried first for a symbol, best first; empty when the theme has none
    // that reads the same.
    static QStringList themeNames(const QString &name);
    // Our own drawing of the symbol, a resource path.
    static QString svgPath(const QString &name);

    // The symbol at `size` device pixels, tinted with `color`. Never empty: an unknown name or an
    // unreadable drawing gives a placeholder glyph.
    static QImage render(const QString &name, QSize size, const QColor &color);
    // For the status item: the symbol as an icon in a few sizes. On macOS it is a template image, so
    // the menu bar tints it itself.
    static QIcon icon(const QString &name, const QColor &color);

    static inline const QString providerId = QStringLiteral("symbol");
};

} // namespace ui
