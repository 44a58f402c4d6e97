#include "tools/sfltool.h"

#include "platform/trimming.h"

#include <QSet>

#include <optional>

namespace tools::sfltool {

using platform::trimSpacesAndTabs;

QList<model::BackgroundItem> parseBackgroundItems(const QString &dump, qint64 userId) {
    static const QString recordsLabel = QStringLiteral("Records for UID ");
    static const QString nameLabel = QStringLiteral("Name:");
    static const QString developerLabel = QStringLiteral("Developer Name:");
    static const QString typeLabel = QStringLiteral("Type:");

    QList<model::BackgroundItem> items;
    std::optional<QString> name;
    std::optional<QString> developer;
    std::optional<QString> type;
    // Records before any section heading count as this user's.
    bool wantedSection = true;
    const auto valueAfter = [](QStringView line, const QString &label) {
        return trimSpacesAndTabs(line.sliced(label.size())).toString();
    };
    const auto finishItem = [&] {
        // A developer row heads the items of one developer; it is not an item of its own.
        if (name && wantedSection && !(type && type->startsWith(QStringLiteral("developer ("))))
            items.append({*name, developer, type});
        name.reset();
        developer.reset();
        type.reset();
    };
    for (const QStringView rawLine : QStringView(dump).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringView line = trimSpacesAndTabs(rawLine);
        if (line.startsWith(recordsLabel)) {
            finishItem();
            // The system's records are under UID -2; other users' are theirs to move.
            bool isNumber = false;
            const qint64 uid =
                line.sliced(recordsLabel.size()).split(u' ').constFirst().toLongLong(&isNumber);
            wantedSection = isNumber && (uid == userId || uid == systemUserId);
        } else if (line.startsWith(nameLabel)) {
            if (name)
                finishItem();
            name = valueAfter(line, nameLabel);
        } else if (line.startsWith(developerLabel)) {
            developer = valueAfter(line, developerLabel);
            // What sfltool prints for a value it does not have.
            if (developer == u"(null)")
                developer.reset();
        } else if (line.startsWith(typeLabel)) {
            type = valueAfter(line, typeLabel);
        }
    }
    finishItem();

    QSet<QString> seen;
    QList<model::BackgroundItem> unique;
    for (auto &item : items) {
        if (!seen.contains(item.name)) {
            seen.insert(item.name);
            unique.append(std::move(item));
        }
    }
    return unique;
}

} // namespace tools::sfltool
