#include "inventory/cargocrates.h"

#include "model/manifest.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace inventory::cargoCrates {

namespace {

constexpr qint64 maxRecordBytes = 16 * 1024 * 1024;

// crates.io through its git index and through its sparse one.
bool isCratesIo(QStringView source) {
    return source == u"registry+https://github.com/rust-lang/crates.io-index" ||
           source == u"sparse+https://index.crates.io/";
}

} // namespace

QStringList parse(QByteArrayView json) {
    const QJsonObject installs =
        QJsonDocument::fromJson(json.toByteArray()).object().value(QLatin1StringView("installs")).toObject();
    QStringList crates;
    for (auto it = installs.begin(); it != installs.end(); ++it) {
        // "<name> <version> (<source>)"
        const QString &key = it.key();
        const qsizetype space = key.indexOf(u' ');
        const qsizetype open = key.indexOf(QStringLiteral(" ("));
        if (space <= 0 || open < 0 || !key.endsWith(u')'))
            continue;
        const QString name = key.left(space);
        const QStringView source = QStringView(key).sliced(open + 2).chopped(1);
        if (isCratesIo(source))
            crates.append(name);
        else if (source.startsWith(u"git+"))
            crates.append(name + QStringLiteral(" (git)"));
        else if (source.startsWith(u"path+"))
            crates.append(name + QStringLiteral(" (path)"));
        else
            crates.append(name + QStringLiteral(" (registry)"));
    }
    return model::sortedUnique(crates);
}

QStringList read(const platform::FileManager &fm) {
    const auto bytes =
        fm.regularFileContents(fm.homeDirectory() + QStringLiteral("/.cargo/.crates2.json"), maxRecordBytes);
    return bytes ? parse(*bytes) : QStringList();
}

} // namespace inventory::cargoCrates
