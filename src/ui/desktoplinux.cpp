#include "ui/desktop.h"

#include <QIcon>
#include <QQuickStyle>

namespace ui::desktop {

void applyControlsStyle() {
    // The desktop-neutral style that follows the palette, light or dark.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
}

void adaptStatusIcon(QIcon &) {}

bool statusItemNeedsMenu() {
    return true;
}

// Asking the window for activation is all a Linux desktop takes.
void activateApplication() {}

bool hasSystemSettings() {
    return false;
}

} // namespace ui::desktop
