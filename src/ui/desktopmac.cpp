#include "ui/desktop.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QQuickStyle>

#include <objc/message.h>
#include <objc/runtime.h>

namespace ui::desktop {

void applyControlsStyle() {
    // The native style refuses the customised indicators and backgrounds of the views, so Fusion
    // draws them here too; the palette stays the Mac's own (light or dark, its accent colour), set
    // explicitly so that it is the one the controls take rather than Fusion's.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    if (qGuiApp)
        QGuiApplication::setPalette(QGuiApplication::palette());
}

void activateApplication() {
    // [NSApp activateIgnoringOtherApps:YES] through the runtime, so this file stays plain C++.
    const auto send = reinterpret_cast<id (*)(id, SEL)>(objc_msgSend);
    const auto sendBool = reinterpret_cast<void (*)(id, SEL, BOOL)>(objc_msgSend);
    id application =
        send(reinterpret_cast<id>(objc_getClass("NSApplication")), sel_registerName("sharedApplication"));
    if (application)
        sendBool(application, sel_registerName("activateIgnoringOtherApps:"), YES);
}

void adaptStatusIcon(QIcon &icon) {
    // A template image: the menu bar tints it for light and dark itself.
    icon.setIsMask(true);
}

bool statusItemNeedsMenu() {
    return false;
}

bool hasSystemSettings() {
    return true;
}

} // namespace ui::desktop
