#pragma once

#include "model/manifestjson.h"

#include <QTest>

// Readable failure messages: QCOMPARE on records (and on lists of them) prints their JSON form.
namespace model {

inline char *toString(const AppRecord &record) {
    return QTest::toString(QString::fromUtf8(encodeAppRecord(record)));
}

inline char *toString(const BackgroundItem &item) {
    return QTest::toString(QStringLiteral("{name: %1, developer: %2, type: %3}")
                               .arg(item.name, item.developer.value_or(QStringLiteral("<absent>")),
                                    item.type.value_or(QStringLiteral("<absent>"))));
}

inline char *toString(AppSource source) {
    return QTest::toString(toJsonText(source));
}

} // namespace model

namespace platform {

// The value as QTest prints it, or the failure's message.
template <class T, class E> char *toString(const Result<T, E> &result) {
    if (!result)
        return QTest::toString(QStringLiteral("failure: ") + result.message());
    if constexpr (std::is_void_v<T>) {
        return qstrdup("success");
    } else {
        using QTest::toString;
        return toString(result.value());
    }
}

} // namespace platform

// Found by argument-dependent lookup through QString.
inline char *toString(const std::optional<QString> &text) {
    return text ? QTest::toString(u'"' + *text + u'"') : qstrdup("<absent>");
}
