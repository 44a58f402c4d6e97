#include "ui/panelactions.h"

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

} // namespace ui
