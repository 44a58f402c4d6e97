#include "ui/panelactions.h"

#include "ui/desktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace ui {

PanelActions::PanelActions(Handlers handlers, QObject *parent)
    : QObject(parent)
    , m_handlers(std::move(handlers)) {}

void PanelActions::showRestore() const {
    if (m_handlers.showRestore)
        m_handlers.showRestore();
}

void PanelActions::showSettings() const {
    if (m_handlers.showSettings)
        m_handlers.showSettings();
}

void PanelActions::quit() const {
    if (m_handlers.quit)
        m_handlers.quit();
}

bool PanelActions::canOpenPrivacySettings() {
    return desktop::hasSystemSettings();
}

void PanelActions::openPrivacySettings() const {
    if (canOpenPrivacySettings())
        QDesktopServices::openUrl(QUrl(
            QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation")));
}

} // namespace ui
