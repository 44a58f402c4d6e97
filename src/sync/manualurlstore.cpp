#include "sync/manualurlstore.h"

#include "platform/userdefaults.h"

#include <QVariantMap>

namespace syncing {

QString ManualURLStore::linkKey(const std::optional<QString> &bundleId, const QString &name) {
    return bundleId ? *bundleId : QStringLiteral("name:") + name;
}

LinkMap ManualURLStore::allURLs() {
    const QVariant stored = platform::UserDefaults::value(defaultsKey);
    if (stored.typeId() != QMetaType::QVariantMap)
        return {};
    const QVariantMap map = stored.toMap();
    LinkMap links;
    links.reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        // One foreign value spoils the whole dictionary: better no links than links of unknown origin.
        if (it.value().typeId() != QMetaType::QString)
            return {};
        links.insert(it.key(), it.value().toString());
    }
    return links;
}

std::optional<QString> ManualURLStore::url(const std::optional<QString> &bundleId, const QString &name) {
    const LinkMap links = allURLs();
    const auto it = links.constFind(linkKey(bundleId, name));
    if (it == links.cend())
        return std::nullopt;
    return *it;
}

void ManualURLStore::setURL(const std::optional<QString> &link, const std::optional<QString> &bundleId,
                            const QString &name) {
    LinkMap links = allURLs();
    const QString key = linkKey(bundleId, name);
    const QString trimmed = link ? link->trimmed() : QString();
    if (trimmed.isEmpty())
        links.remove(key);
    else
        links.insert(key, trimmed);

    QVariantMap stored;
    for (auto it = links.cbegin(); it != links.cend(); ++it)
        stored.insert(it.key(), it.value());
    platform::UserDefaults::setValue(defaultsKey, stored);
}

} // namespace syncing
