#pragma once

#include "restore/savepanel.h"

namespace restore {

// The platform's own modal save dialog (a sheet-less panel on macOS). Needs a QApplication; in any
// other application object there is no dialog to show, which reads as a cancel.
class FileDialogSavePanel final : public SavePanel {
public:
    std::optional<QString> askForPath(const QString &title, const QString &proposedName) override;
};

} // namespace restore
