#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace platform {

// Asks the user where to save a file. Nothing when they cancel.
class SavePanel {
public:
    virtual ~SavePanel() = default;
    virtual std::optional<QString> askForPath(const QString &title, const QString &proposedName) = 0;
};

// The platform's own modal save dialog. It needs a QApplication; in any other application object
// there is no dialog to show, which reads as a cancel.
std::unique_ptr<SavePanel> makeSavePanel();

} // namespace platform
