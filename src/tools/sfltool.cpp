#include "tools/sfltool.h"

#include "platform/trimming.h"

#include <QSet>

#include <optional>

namespace tools::sfltool {

using platform::trimSpacesAndTabs;

QList<model::BackgroundItem> parseBackgroundItems(const QString &dump) {
    static const QString nameLabel = QStringLiteral("Name:");
    static const QString developerLabel = QStringLiteral("Developer Name:");
    static const QString typeLabel = QStringLiteral("Type:");

    QList<model::BackgroundItem> items;
    std::optional<QString> name;
    std::optional<QString> developer;
    std::optional<QString> type;
    const auto valueAfter = [](QStringView line, const QString &label) {
        return trimSpacesAndTabs(line.sliced(label.size())).toString();
    };
    for (const QStringView rawLine : QStringView(dump).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringView line = trimSpacesAndTabs(rawLine);
        if (line.startsWith(nameLabel)) {
            if (name) {
                items.append({*name, developer, type});
                developer.reset();
                type.reset();
            }
            name = valueAfter(line, nameLabel);
        } else if (line.startsWith(developerLabel)) {
            developer = valueAfter(line, developerLabel);
        } else if (line.startsWith(typeLabel)) {
            type = valueAfter(line, typeLabel);
        }
    }
    if (name)
        items.append({*name, developer, type});

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
