#include "sync/manualurlstore.h"

#include "platform/logging.h"
#include "platform/userdefaults.h"

#include <QCoreApplication>
#include <QVariantMap>

namespace syncing {

QString ManualURLStore::linkKey(const std::optional<QString> &bundleId, const QString &name) {
    return bundleId ? *bundleId : QStringLiteral("name:") + name;
}

namespace {

platform::Failure unreadable(const QString &why) {
    const QString message =
        QCoreApplication::translate(
            "syncing::ManualURLStore",
            "The remembered download links can't be read (%1); they are left as they are, and "
            "no link is remembered until they are removed.")
            .arg(why);
    qCWarning(platform::lcHaulwise, "%s", qUtf8Printable(message));
    return platform::fail(message);
}

} // namespace

platform::Result<LinkMap> ManualURLStore::readURLs() {
    const QVariant stored = platform::UserDefaults::value(defaultsKey);
    if (!stored.isValid())
        return LinkMap();
    if (stored.typeId() != QMetaType::QVariantMap)
        return unreadable(
            QCoreApplication::translate("syncing::ManualURLStore", "the stored value is not a dictionary"));
    const QVariantMap map = stored.toMap();
    LinkMap links;
    links.reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        // One foreign value spoils the whole dictionary: better no links than links of unknown origin.
        if (it.value().typeId() != QMetaType::QString)
            return unreadable(
                QCoreApplication::translate("syncing::ManualURLStore", "the entry \"%1\" is not text")
                    .arg(it.key()));
        links.insert(it.key(), it.value().toString());
    }
    return links;
}

LinkMap ManualURLStore::allURLs() {
    return readURLs().value_or(LinkMap());
}

std::optional<QString> ManualURLStore::url(const std::optional<QString> &bundleId, const QString &name) {
    const LinkMap links = allURLs();
    const auto it = links.constFind(linkKey(bundleId, name));
    if (it == links.cend())
        return std::nullopt;
    return *it;
}

platform::Result<void> ManualURLStore::setURL(const std::optional<QString> &link,
                                              const std::optional<QString> &bundleId, const QString &name) {
    // Writing back what could be read would wipe every entry that could not.
    platform::Result<LinkMap> read = readURLs();
    if (!read)
        return read.failure();
    LinkMap links = std::move(read).value();
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
    return {};
}

} // namespace syncing
