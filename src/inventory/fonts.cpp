#include "inventory/fonts.h"

#include <algorithm>

namespace inventory::fonts {

bool isFontFile(const QString &name) {
    if (name.startsWith(u'.'))
        return false;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return false;
    const QString extension = name.mid(dot + 1).toLower();
    return extension == u"ttf" || extension == u"otf" || extension == u"ttc" || extension == u"otc" ||
           extension == u"dfont";
}

bool isApples(const QString &name) {
    // The one font current systems install into /Library/Fonts rather than among their own.
    return name == u"Arial Unicode.ttf";
}

QList<model::FontRecord> read(const platform::FileManager &fm) {
    QList<model::FontRecord> found;
    const auto add = [&](const QString &folder, bool shared) {
        for (const QString &entry : fm.contentsOfDirectory(folder).value_or(QStringList())) {
            if (isFontFile(entry) && !(shared && isApples(entry)))
                found.append({entry, std::nullopt});
        }
    };
    add(fm.homeDirectory() + userFolder, false);
    add(sharedFolder, true);
    return model::sortedUnique(std::move(found));
}

QList<model::FontRecord> matchCasks(const QList<model::FontRecord> &fonts, const CaskCatalogue &catalogue,
                                    const QSet<QString> &installed) {
    QList<model::FontRecord> result;
    result.reserve(fonts.size());
    for (model::FontRecord font : fonts) {
        const QStringList tokens = catalogue.fontCasks(font.file);
        if (!tokens.isEmpty()) {
            if (std::any_of(tokens.cbegin(), tokens.cend(),
                            [&](const QString &token) { return installed.contains(token); }))
                continue;
            const auto stable = std::find_if(tokens.cbegin(), tokens.cend(),
                                             [](const QString &token) { return !token.contains(u'@'); });
            font.caskToken = stable != tokens.cend() ? *stable : tokens.constFirst();
        }
        result.append(std::move(font));
    }
    return result;
}

} // namespace inventory::fonts
