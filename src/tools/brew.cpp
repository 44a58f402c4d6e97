#include "tools/brew.h"

namespace tools::brew {

QStringList bundleCheckArguments(const QString &brewfilePath) {
    return {QStringLiteral("bundle"), QStringLiteral("check"), QStringLiteral("--file=") + brewfilePath,
            QStringLiteral("--verbose")};
}

} // namespace tools::brew
