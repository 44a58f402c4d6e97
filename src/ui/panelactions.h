#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <functional>

namespace ui {

// What the menu panel's window buttons do, handed to the panel by the application shell: open the
// restore window, open the settings window, quit. Kept apart from the shell so the panel can be shown
// and clicked without a whole application behind it.
class PanelActions final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application shell.")

public:
    struct Handlers {
        std::function<void()> showRestore;
        std::function<void()> showSettings;
        std::function<void()> quit;
    };

    explicit PanelActions(Handlers handlers, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(PanelActions)

    Q_INVOKABLE void showRestore() const;
    Q_INVOKABLE void showSettings() const;
    Q_INVOKABLE void quit() const;
    // Opens System Settings at Privacy & Security → Automation, where the permission to read login
    // items is given; only a Mac has it.
    Q_PROPERTY(bool canOpenPrivacySettings READ canOpenPrivacySettings CONSTANT)
    static bool canOpenPrivacySettings();
    Q_INVOKABLE void openPrivacySettings() const;

private:
    Handlers m_handlers;
};

} // namespace ui
