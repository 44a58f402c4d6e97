#include "platform/savepanel.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace platform {

namespace {

class FileDialogSavePanel final : public SavePanel {
public:
    std::optional<QString> askForPath(const QString &title, const QString &proposedName) override {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return std::nullopt;
        // Creating folders is allowed and no file type is imposed; the dialog asks before replacing.
        const QString path =
            QFileDialog::getSaveFileName(nullptr, title, QDir::home().filePath(proposedName));
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }
};

} // namespace

std::unique_ptr<SavePanel> makeSavePanel() {
    return std::make_unique<FileDialogSavePanel>();
}

} // namespace platform
