#include "tools/mdls.h"

namespace tools::mdls {

QStringList appStoreIdArguments(const QString &bundlePath) {
    return {QStringLiteral("-raw"), QStringLiteral("-name"), QStringLiteral("kMDItemAppStoreAdamID"),
            bundlePath};
}

std::optional<qint64> parseAppStoreId(const QString &output) {
    const QStringView digits = QStringView(output).trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        // Only ASCII digits: toLongLong alone would also take a sign.
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 id = digits.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

} // namespace tools::mdls
