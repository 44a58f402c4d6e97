#include "restore/filedialogsavepanel.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace restore {

std::optional<QString> FileDialogSavePanel::askForPath(const QString &title, const QString &proposedName) {
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return std::nullopt;
    // Creating folders is allowed and no file type is imposed; the dialog asks before replacing.
    const QString path = QFileDialog::getSaveFileName(nullptr, title, QDir::home().filePath(proposedName));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace restore
