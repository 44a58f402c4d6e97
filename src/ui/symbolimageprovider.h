#pragma once

#include <QQuickImageProvider>

namespace ui {

// Serves "image://symbol/<name>/<aarrggbb>": the symbol drawn by Symbols in that colour, at the size
// the image item asks for.
class SymbolImageProvider final : public QQuickImageProvider {
public:
    SymbolImageProvider();

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};

} // namespace ui
