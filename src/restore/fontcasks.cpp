#include "restore/fontcasks.h"

#include <QSet>

namespace restore {

QStringList fontCasks(const model::Manifest &manifest) {
    QStringList casks;
    QSet<QString> seen;
    for (const model::FontRecord &font : manifest.fonts) {
        if (font.caskToken && !seen.contains(*font.caskToken)) {
            seen.insert(*font.caskToken);
            casks.append(*font.caskToken);
        }
    }
    return casks;
}

QStringList fontsByHand(const model::Manifest &manifest) {
    QStringList files;
    for (const model::FontRecord &font : manifest.fonts) {
        if (!font.caskToken)
            files.append(font.file);
    }
    return files;
}

} // namespace restore
