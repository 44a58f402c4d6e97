#include "inventory/uvtools.h"

#include "model/manifest.h"

namespace inventory::uvTools {

QStringList read(const platform::FileManager &fm) {
    const QString tools = fm.homeDirectory() + folder;
    QStringList names;
    for (const QString &entry : fm.contentsOfDirectory(tools).value_or(QStringList())) {
        if (!entry.startsWith(u'.') && fm.contentsOfDirectory(tools + u'/' + entry))
            names.append(entry);
    }
    return model::sortedUnique(names);
}

} // namespace inventory::uvTools
