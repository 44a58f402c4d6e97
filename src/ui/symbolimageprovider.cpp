#include "ui/symbolimageprovider.h"

#include "ui/symbols.h"

#include <QColor>

namespace ui {

SymbolImageProvider::SymbolImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage SymbolImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize) {
    const qsizetype slash = id.lastIndexOf(u'/');
    const QString name = slash < 0 ? id : id.left(slash);
    QColor color = slash < 0 ? QColor() : QColor(u'#' + id.mid(slash + 1));
    if (!color.isValid())
        color = Qt::black;

    QSize wanted = requestedSize;
    if (wanted.width() <= 0 && wanted.height() <= 0)
        wanted = QSize(32, 32);
    else if (wanted.width() <= 0)
        wanted.setWidth(wanted.height());
    else if (wanted.height() <= 0)
        wanted.setHeight(wanted.width());

    QImage image = Symbols::render(name, wanted, color);
    if (size)
        *size = image.size();
    return image;
}

} // namespace ui
