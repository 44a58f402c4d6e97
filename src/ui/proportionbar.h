#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace ui {

// The panel's bar: automatic, manual and built-in applications side by side, 2 points apart, on a
// rounded track. The first two segments take their share of the whole width; the third takes what
// is left, so a manifest with nothing to install is all third colour.
// Not final: QML makes its instances through a subclass of its own.
class ProportionBar : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int autoCount READ autoCount WRITE setAutoCount NOTIFY countsChanged)
    Q_PROPERTY(int manualCount READ manualCount WRITE setManualCount NOTIFY countsChanged)
    Q_PROPERTY(int builtInCount READ builtInCount WRITE setBuiltInCount NOTIFY countsChanged)
    Q_PROPERTY(QColor autoColor MEMBER m_autoColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor manualColor MEMBER m_manualColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor builtInColor MEMBER m_builtInColor NOTIFY colorsChanged)
    Q_PROPERTY(qreal autoWidth READ autoWidth NOTIFY geometryUpdated)
    Q_PROPERTY(qreal manualWidth READ manualWidth NOTIFY geometryUpdated)
    Q_PROPERTY(qreal builtInWidth READ builtInWidth NOTIFY geometryUpdated)

public:
    explicit ProportionBar(QQuickItem *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ProportionBar)

    static constexpr qreal gap = 2;
    static constexpr qreal cornerRadius = 4;

    int autoCount() const { return m_auto; }
    void setAutoCount(int count);
    int manualCount() const { return m_manual; }
    void setManualCount(int count);
    int builtInCount() const { return m_builtIn; }
    void setBuiltInCount(int count);

    qreal autoWidth() const;
    qreal manualWidth() const;
    qreal builtInWidth() const;

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void countsChanged();
    void colorsChanged();
    void geometryUpdated();

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    // Never 0, so an empty manifest gives zero-width shares instead of a division by zero.
    int total() const;
    void countsUpdated();

    int m_auto = 0;
    int m_manual = 0;
    int m_builtIn = 0;
    QColor m_autoColor;
    QColor m_manualColor;
    QColor m_builtInColor;
};

} // namespace ui
