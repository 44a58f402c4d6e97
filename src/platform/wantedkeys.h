#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// The keys a quick property-list reader converts. Keys are compared as UTF-8 bytes: cheaper than
// making a QString of every key in a file. Refers to `keys`, which must outlive it.
class WantedKeys {
public:
    explicit WantedKeys(const QStringList &keys);

    // The key as text when it is one of the wanted ones.
    std::optional<QString> match(QByteArrayView utf8) const;
    bool contains(const QString &key) const { return m_keys.contains(key); }

private:
    const QStringList &m_keys;
    QList<QByteArray> m_utf8;
};

} // namespace platform
