#pragma once

#include "platform/processrunner.h"

#include <QString>
#include <QStringList>

namespace restore {

// The restore side's way of running brew and osascript: Homebrew is kept from updating itself and
// from printing hints, and both output streams are merged, since the user reads them together. Waits
// for the tool within `limits`, so call it off the interface thread. Never fails: a tool that cannot
// start answers "Couldn't run <tool>: " and the reason, one that is stopped answers why (naming the
// tool and the wait), and output that is not UTF-8 reads as empty.
QString runCommand(const QString &executable, const QStringList &arguments,
                   const platform::ProcessLimits &limits);

} // namespace restore
