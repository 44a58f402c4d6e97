#include "ui/proportionbar.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace ui {

ProportionBar::ProportionBar(QQuickItem *parent)
    : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &ProportionBar::colorsChanged, this, [this] { update(); });
}

void ProportionBar::setAutoCount(int count) {
    if (m_auto == count)
        return;
    m_auto = count;
    countsUpdated();
}

void ProportionBar::setManualCount(int count) {
    if (m_manual == count)
        return;
    m_manual = count;
    countsUpdated();
}

void ProportionBar::setBuiltInCount(int count) {
    if (m_builtIn == count)
        return;
    m_builtIn = count;
    countsUpdated();
}

int ProportionBar::total() const {
    return std::max(1, m_auto + m_manual + m_builtIn);
}

qreal ProportionBar::autoWidth() const {
    return width() * std::max(0, m_auto) / total();
}

qreal ProportionBar::manualWidth() const {
    return width() * std::max(0, m_manual) / total();
}

qreal ProportionBar::builtInWidth() const {
    return std::max<qreal>(0, width() - autoWidth() - manualWidth() - 2 * gap);
}

void ProportionBar::paint(QPainter *painter) {
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    track.addRoundedRect(QRectF(0, 0, width(), height()), cornerRadius, cornerRadius);
    painter->setClipPath(track);

    qreal x = 0;
    const auto segment = [&](qreal segmentWidth, const QColor &color) {
        if (segmentWidth > 0)
            painter->fillRect(QRectF(x, 0, segmentWidth, height()), color);
        x += segmentWidth + gap;
    };
    segment(autoWidth(), m_autoColor);
    segment(manualWidth(), m_manualColor);
    segment(builtInWidth(), m_builtInColor);
}

void ProportionBar::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        Q_EMIT geometryUpdated();
        update();
    }
}

void ProportionBar::countsUpdated() {
    Q_EMIT countsChanged();
    Q_EMIT geometryUpdated();
    update();
}

} // namespace ui
