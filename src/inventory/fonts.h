#pragma once

#include "inventory/caskcatalogue.h"
#include "model/manifest.h"
#include "platform/filemanager.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Font files the user added: those in the user's and the shared Fonts folder. Only their names are
// recorded; the files themselves never leave the Mac.
namespace inventory::fonts {

// The shared folder, and the user's under the home folder.
inline const QString sharedFolder = QStringLiteral("/Library/Fonts");
inline const QString userFolder = QStringLiteral("/Library/Fonts"); // under the home folder

// A name the font machinery loads: .ttf, .otf, .ttc, .otc or .dfont, in any case, not hidden.
bool isFontFile(const QString &name);
// A font the system itself puts in the shared folder.
bool isApples(const QString &name);

// The font files of both folders, sorted by name, each name once, without casks yet.
QList<model::FontRecord> read(const platform::FileManager &fm);

// Matches font files to the font casks of the catalogue. A file that one of the `installed` casks
// installs is left out: that cask put it there, and it travels as a cask. Otherwise a file gets the
// first matching token without "@", or else the first.
QList<model::FontRecord> matchCasks(const QList<model::FontRecord> &fonts, const CaskCatalogue &catalogue,
                                    const QSet<QString> &installed);

} // namespace inventory::fonts
