#pragma once

#include <QLoggingCategory>

namespace platform {

// The program's one logging category, "haulwise": what goes wrong out of the user's sight (a view
// that would not load, a helper that would not start) is logged here, so it can be switched on and
// off as a whole with QT_LOGGING_RULES.
Q_DECLARE_LOGGING_CATEGORY(lcHaulwise)

} // namespace platform
