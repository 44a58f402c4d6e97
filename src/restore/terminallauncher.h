#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace restore {

// Opens the installer script in a terminal window where the user watches it run. Gives the
// user-facing failure text, or nothing once the script has been handed over; what happens in the
// window afterwards is not followed.
class TerminalLauncher {
public:
    virtual ~TerminalLauncher() = default;
    virtual std::optional<QString> open(const QString &scriptPath) = 0;
};

// The launcher of the platform this program was built for.
std::unique_ptr<TerminalLauncher> makeTerminalLauncher();

} // namespace restore
