#include "ui/symbols.h"

#include "ui/desktop.h"
#include "ui/symbolimageprovider.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>
#include <QSvgRenderer>

namespace ui {

namespace {

struct Entry {
    QStringList themeNames;
};

// Theme names are given only where the desktop's icon says the same thing; the program's own marks
// (the two-way arrows, the stacked squares) and the filled variants always come from our drawings,
// so they look alike on every desktop.
const QHash<QString, Entry> &table() {
    static const QHash<QString, Entry> entries = {
        {QStringLiteral("arrow.left.arrow.right.circle"), {}},
        {QStringLiteral("arrow.left.arrow.right.circle.fill"), {}},
        {QStringLiteral("magnifyingglass"),
         {{QStringLiteral("system-search-symbolic"), QStringLiteral("edit-find-symbolic")}}},
        {QStringLiteral("arrow.up.to.line"), {{QStringLiteral("go-top-symbolic")}}},
        {QStringLiteral("square.and.arrow.down.on.square"), {}},
        {QStringLiteral("arrow.down.circle"), {}},
        {QStringLiteral("cloud"), {{QStringLiteral("weather-overcast-symbolic")}}},
        {QStringLiteral("eye"), {{QStringLiteral("view-reveal-symbolic")}}},
        {QStringLiteral("eye.slash"), {{QStringLiteral("view-conceal-symbolic")}}},
        {QStringLiteral("arrow.up.forward.app"), {}},
        {QStringLiteral("checkmark.circle.fill"), {}},
        {QStringLiteral("checkmark"), {}},
        {QStringLiteral("exclamationmark.triangle.fill"), {}},
        {QStringLiteral("terminal"), {{QStringLiteral("utilities-terminal-symbolic")}}},
    };
    return entries;
}

// Keeps the shape and puts `color` everywhere it is drawn, so any single-colour drawing takes the tint.
void tint(QImage &image, const QColor &color) {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
}

QImage blank(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A dotted ring: says "a symbol belongs here" without pretending to be one.
QImage placeholder(QSize size, const QColor &color) {
    QImage image = blank(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(size.width(), size.height());
    QPen pen(color, std::max<qreal>(1.0, side / 12.0), Qt::DotLine, Qt::RoundCap);
    painter.setPen(pen);
    const qreal inset = side / 8.0;
    painter.drawEllipse(QRectF(inset, inset, side - 2 * inset, side - 2 * inset));
    return image;
}

bool hasInk(const QImage &image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 0)
                return true;
    }
    return false;
}

} // namespace

Symbols::Symbols(QObject *parent)
    : QObject(parent) {}

Symbols *Symbols::create(QQmlEngine *qmlEngine, QJSEngine *) {
    if (qmlEngine && !qmlEngine->imageProvider(providerId))
        qmlEngine->addImageProvider(providerId, new SymbolImageProvider);
    return new Symbols;
}

QUrl Symbols::url(const QString &name, const QColor &color) const {
    QUrl url;
    url.setScheme(QStringLiteral("image"));
    url.setHost(providerId);
    // The colour is part of the path so that a change of palette asks for a new picture.
    url.setPath(u'/' + name + u'/' + color.name(QColor::HexArgb).mid(1));
    return url;
}

QStringList Symbols::knownNames() {
    QStringList names = table().keys();
    names.sort();
    return names;
}

bool Symbols::isKnown(const QString &name) {
    return table().contains(name);
}

QStringList Symbols::themeNames(const QString &name) {
    return table().value(name).themeNames;
}

QString Symbols::svgPath(const QString &name) {
    return QStringLiteral(":/Haulwise/icons/") + name + QStringLiteral(".svg");
}

QImage Symbols::render(const QString &name, QSize size, const QColor &color) {
    if (size.isEmpty())
        size = QSize(16, 16);
    if (!isKnown(name))
        return placeholder(size, color);

    for (const QString &themeName : themeNames(name)) {
        if (!QIcon::hasThemeIcon(themeName))
            continue;
        QImage image = blank(size);
        {
            QPainter painter(&image);
            QIcon::fromTheme(themeName).paint(&painter, image.rect());
        }
        if (hasInk(image)) {
            tint(image, color);
            return image;
        }
    }

    QSvgRenderer renderer(svgPath(name));
    if (!renderer.isValid())
        return placeholder(size, color);
    QImage image = blank(size);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    if (!hasInk(image))
        return placeholder(size, color);
    tint(image, color);
    return image;
}

QIcon Symbols::icon(const QString &name, const QColor &color) {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 44, 64})
        icon.addPixmap(QPixmap::fromImage(render(name, QSize(side, side), color)));
    desktop::adaptStatusIcon(icon);
    return icon;
}

} // namespace ui
