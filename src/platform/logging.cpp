#include "platform/logging.h"

namespace platform {

Q_LOGGING_CATEGORY(lcHaulwise, "haulwise")

} // namespace platform
