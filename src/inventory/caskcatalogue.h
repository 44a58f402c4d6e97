#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace inventory {

// Lower-cased application bundle name ("firefox.app") → the token of the cask that installs it.
using CaskMap = QHash<QString, QString>;

// Reads the Homebrew cask catalogue: a JSON array of cask objects. Gives an empty map when the bytes
// are not JSON or the top level is not an array of objects. A cask whose "token" is not text, or whose
// "artifacts" is not an array of objects, contributes nothing; every text element of an "app" artifact
// is a bundle name (other elements, such as the objects that rename a bundle on installation, are not).
// When several casks list the same name, the later one wins. The whole document is validated first.
CaskMap parseCaskCatalogue(QByteArrayView json);

} // namespace inventory
