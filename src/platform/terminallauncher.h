#pragma once

#include "platform/result.h"

#include <QString>

#include <memory>

namespace platform {

// Opens the installer script in a terminal window where the user watches it run. Succeeds once the
// script has been handed over; what happens in the window afterwards is not followed.
class TerminalLauncher {
public:
    virtual ~TerminalLauncher() = default;
    [[nodiscard]] virtual Result<void> open(const QString &scriptPath) = 0;
};

// The launcher of the platform this program was built for; each platform's file defines it.
std::unique_ptr<TerminalLauncher> makeTerminalLauncher();

} // namespace platform
