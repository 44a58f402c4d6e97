#include "inventory/npmpackages.h"

#include "model/manifest.h"

namespace inventory::npmPackages {

std::optional<QString> prefixFromNpmrc(QByteArrayView npmrc, const QString &home) {
    std::optional<QString> prefix;
    for (const QByteArray &rawLine : npmrc.toByteArray().split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || line.left(equals).trimmed() != u"prefix")
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        for (const QString &marker :
             {QStringLiteral("~/"), QStringLiteral("${HOME}/"), QStringLiteral("$HOME/")}) {
            if (value.startsWith(marker)) {
                value = home + u'/' + value.mid(marker.size());
                break;
            }
        }
        while (value.size() > 1 && value.endsWith(u'/'))
            value.chop(1);
        prefix = value.startsWith(u'/') ? std::optional<QString>(value) : std::nullopt;
    }
    return prefix;
}

QStringList read(const platform::FileManager &fm) {
    QStringList prefixes = homebrewPrefixes;
    constexpr qint64 maxNpmrcBytes = 1024 * 1024;
    if (const auto npmrc =
            fm.regularFileContents(fm.homeDirectory() + QStringLiteral("/.npmrc"), maxNpmrcBytes)) {
        if (const auto prefix = prefixFromNpmrc(*npmrc, fm.homeDirectory());
            prefix && !prefixes.contains(*prefix))
            prefixes.append(*prefix);
    }
    QStringList names;
    for (const QString &prefix : prefixes) {
        const QString modules = prefix + QStringLiteral("/lib/node_modules");
        const auto entries = fm.contentsOfDirectory(modules);
        if (!entries)
            continue;
        names += packagesIn(*entries, [&](const QString &scope) {
            return fm.contentsOfDirectory(modules + u'/' + scope).value_or(QStringList());
        });
    }
    return model::sortedUnique(names);
}

} // namespace inventory::npmPackages
