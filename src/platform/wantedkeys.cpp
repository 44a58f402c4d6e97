#include "platform/wantedkeys.h"

#include <algorithm>

namespace platform {

WantedKeys::WantedKeys(const QStringList &keys)
    : m_keys(keys) {
    m_utf8.reserve(keys.size());
    for (const QString &key : keys)
        m_utf8.append(key.toUtf8());
}

std::optional<QString> WantedKeys::match(QByteArrayView utf8) const {
    if (std::all_of(utf8.cbegin(), utf8.cend(), [](char c) { return static_cast<uchar>(c) < 0x80; })) {
        for (qsizetype i = 0; i < m_utf8.size(); ++i) {
            if (m_utf8.at(i) == utf8)
                return m_keys.at(i);
        }
        return std::nullopt;
    }
    QString name = QString::fromUtf8(utf8);
    if (m_keys.contains(name))
        return name;
    return std::nullopt;
}

} // namespace platform
