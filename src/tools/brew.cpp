#include "tools/brew.h"

namespace tools::brew {

QStringList bundleCheckArguments(const QString &brewfilePath) {
    return {QStringLiteral("bundle"), QStringLiteral("check"), QStringLiteral("--file=") + brewfilePath,
            QStringLiteral("--verbose")};
}

QStringList splitLines(const QString &output) {
    return output.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace tools::brew
