#pragma once

#include "restore/terminallauncher.h"

namespace restore {

// A ".command" file opened through the workspace opens in Terminal, which runs it.
class MacTerminalLauncher final : public TerminalLauncher {
public:
    std::optional<QString> open(const QString &scriptPath) override;
};

} // namespace restore
