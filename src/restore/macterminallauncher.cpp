#include "restore/macterminallauncher.h"

#include <QDesktopServices>
#include <QUrl>

namespace restore {

std::optional<QString> MacTerminalLauncher::open(const QString &scriptPath) {
    // Whether Terminal took it is not something the workspace tells reliably; the script speaks for
    // itself in its window.
    QDesktopServices::openUrl(QUrl::fromLocalFile(scriptPath));
    return std::nullopt;
}

} // namespace restore
