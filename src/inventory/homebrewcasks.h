#pragma once

#include "platform/filemanager.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The casks of one Homebrew prefix, read from its Caskroom. Every folder there is an installed cask
// named by its token; where a cask came from is in the records Homebrew keeps in the folder's
// .metadata: the install receipt (.metadata/INSTALL_RECEIPT.json, "source": {"tap": …}) and, before
// receipts existed, the cask file saved at install (.metadata/<version>/<timestamp>/Casks/<token>.json
// from the API names its tap; a .rb file doesn't). Homebrew is not run.
namespace inventory::homebrew {

// The tap named by a cask's install receipt or by its saved JSON cask file; empty when neither names
// a valid one.
QString parseCaskReceiptTap(QByteArrayView json);
QString parseInstalledCaskTap(QByteArrayView json);

// How a Brewfile names the cask `token` from `tap`: plain for Homebrew's own cask tap (or none),
// "user/repo/token" otherwise.
QString caskFullName(const QString &token, const QString &tap);

// The tokens of the casks under `prefix`, without reading where they came from: what matching
// applications to casks needs.
QStringList readCaskTokens(const platform::FileManager &fm, const QString &prefix);
// The full names of the casks under `prefix` (a Mac path), in listing order.
QStringList readCasks(const platform::FileManager &fm, const QString &prefix);

} // namespace inventory::homebrew
