// Haulwise, the menu-bar program: a status item with the panel, and the restore and settings windows.
// It takes no arguments and does nothing at start but put the status item up.

#include "platform/userdefaults.h"
#include "ui/appshell.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    platform::setApplicationIdentity();
    ui::AppShell::prepareApplication();

    ui::AppShell shell;
    shell.start();
    return QApplication::exec();
}
