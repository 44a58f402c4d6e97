#include "platform/terminallauncher.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {

// A ".command" file opened through the workspace opens in Terminal, which runs it.
class MacTerminalLauncher final : public TerminalLauncher {
public:
    Result<void> open(const QString &scriptPath) override {
        // Whether Terminal took it is not something the workspace tells reliably; the script speaks
        // for itself in its window.
        QDesktopServices::openUrl(QUrl::fromLocalFile(scriptPath));
        return {};
    }
};

} // namespace

std::unique_ptr<TerminalLauncher> makeTerminalLauncher() {
    return std::make_unique<MacTerminalLauncher>();
}

} // namespace platform
