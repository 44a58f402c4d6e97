#include "tools/brew.h"

namespace tools::brew {

QStringList bundleCheckArguments(const QString &brewfilePath) {
    return {QStringLiteral("bundle"), QStringLiteral("check"), QStringLiteral("--file=") + brewfilePath,
            QStringLiteral("--verbose")};
}

QString caskroomFor(const QString &brewPath) {
    return brewPath.section(u'/', 0, -3) + QStringLiteral("/Caskroom");
}

QStringList splitLines(const QString &output) {
    return output.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace tools::brew
