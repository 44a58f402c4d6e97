#include "restore/terminallauncher.h"

#include <QtGlobal>

#if defined(Q_OS_MACOS)
#include "restore/macterminallauncher.h"
#else
#include "restore/linuxterminallauncher.h"
#endif

namespace restore {

std::unique_ptr<TerminalLauncher> makeTerminalLauncher() {
#if defined(Q_OS_MACOS)
    return std::make_unique<MacTerminalLauncher>();
#else
    return std::make_unique<LinuxTerminalLauncher>();
#endif
}

} // namespace restore
