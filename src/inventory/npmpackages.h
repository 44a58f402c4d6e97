#pragma once

#include "platform/filemanager.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Packages installed with `npm install -g`: one folder each under a prefix's lib/node_modules,
// scoped ones a level deeper under their "@scope" folder.
namespace inventory::npmPackages {

// The prefixes Homebrew's node installs into, in the order they are read.
inline const QStringList homebrewPrefixes{QStringLiteral("/opt/homebrew"), QStringLiteral("/usr/local")};

// The prefix an .npmrc sets (its last "prefix=" line), with a leading "~/" or "$HOME"/"${HOME}" taken
// as `home`; absent when it sets none, or one that is not an absolute path.
std::optional<QString> prefixFromNpmrc(QByteArrayView npmrc, const QString &home);

// The package names of the entries of a node_modules folder, given the entries of each scope folder.
// npm itself and corepack come with node and are left out, as are hidden entries such as ".bin".
template <class ScopeEntries> QStringList packagesIn(const QStringList &entries, ScopeEntries scopeEntries) {
    QStringList names;
    for (const QString &entry : entries) {
        if (entry.startsWith(u'.') || entry == u"npm" || entry == u"corepack")
            continue;
        if (!entry.startsWith(u'@')) {
            names.append(entry);
            continue;
        }
        for (const QString &inner : scopeEntries(entry)) {
            if (!inner.startsWith(u'.'))
                names.append(entry + u'/' + inner);
        }
    }
    return names;
}

// Every global package of every prefix, sorted and each once.
QStringList read(const platform::FileManager &fm);

} // namespace inventory::npmPackages
