// Property-list reading on arbitrary bytes: the general parser and the quick readers must never crash,
// and whenever a quick reader accepts the bytes it must give exactly the entries the general parser
// gives; the combined entry reader must always match the general parser. Otherwise the target aborts.

#include "platform/propertylist.h"
#include "platform/propertylistbinary.h"
#include "platform/propertylistxml.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

const QStringList &keys() {
    static const QStringList list{
        QStringLiteral("CFBundleIdentifier"), QStringLiteral("CFBundleShortVersionString"),
        QStringLiteral("CFBundleVersion"),    QStringLiteral("LSUIElement"),
        QStringLiteral("SUFeedURL"),          QStringLiteral("a")};
    return list;
}

// Equality that counts a NaN as equal to itself: both readers convert the same bytes.
bool same(const QVariant &a, const QVariant &b) {
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        return x.size() == y.size() && std::equal(x.cbegin(), x.cend(), y.cbegin(), same);
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        return x.keys() == y.keys() && std::equal(x.cbegin(), x.cend(), y.cbegin(), same);
    }
    default:
        return a == b;
    }
}

bool same(const std::optional<QVariantMap> &a, const std::optional<QVariantMap> &b) {
    return a.has_value() == b.has_value() && (!a || same(QVariant(*a), QVariant(*b)));
}

[[noreturn]] void mismatch(const char *what, const std::optional<QVariantMap> &expected,
                           const std::optional<QVariantMap> &actual) {
    qCritical() << what << "general:" << (expected ? QVariant(*expected) : QVariant())
                << "other:" << (actual ? QVariant(*actual) : QVariant());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto general = platform::parsePropertyList(bytes);
    std::optional<QVariantMap> expected;
    if (general && general->typeId() == QMetaType::QVariantMap) {
        const QVariantMap all = general->toMap();
        expected.emplace();
        for (const QString &key : keys()) {
            if (all.contains(key))
                expected->insert(key, all.value(key));
        }
    }

    const auto quick = bytes.startsWith("bplist00") ? platform::quickBinaryEntries(bytes, keys())
                                                    : platform::quickXmlEntries(bytes, keys());
    if (quick && !same(quick, expected))
        mismatch("quick reader disagrees", expected, quick);
    const auto entries = platform::parsePropertyListEntries(bytes, keys());
    if (!same(entries, expected))
        mismatch("entry reader disagrees", expected, entries);
    return 0;
}
