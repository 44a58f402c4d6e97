// Haulwise, the menu-bar program: a status item with the panel, and the restore and settings windows.
// It takes no arguments and does nothing at start but put the status item up.

#include "platform/processrunner.h"
#include "platform/userdefaults.h"
#include "ui/appshell.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    platform::setApplicationIdentity();
    ui::AppShell::prepareApplication();

    // A tool still running then (a scan's brew, a preview) is stopped, or the thread pool it runs on
    // would hold the program open until the tool's deadline.
    QObject::connect(&app, &QCoreApplication::aboutToQuit,
                     [] { platform::ProcessRunner::setShuttingDown(true); });

    ui::AppShell shell;
    shell.start();
    return QApplication::exec();
}
