#include "ui/desktop.h"

#include <QIcon>

namespace ui::desktop {

// The platform's own style is the default there.
void applyControlsStyle() {}

void adaptStatusIcon(QIcon &icon) {
    // A template image: the menu bar tints it for light and dark itself.
    icon.setIsMask(true);
}

bool statusItemNeedsMenu() {
    return false;
}

} // namespace ui::desktop
