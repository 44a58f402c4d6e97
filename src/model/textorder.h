#pragma once

#include <QList>
#include <QString>

namespace model {

// A key under which canonically equivalent texts are identical: the NFC form, as UCS-4 code points so
// that comparing keys compares Unicode scalar values (UTF-16 order puts U+E000–U+FFFF after the
// supplementary planes).
using TextOrderKey = QList<uint>;

TextOrderKey textOrderKey(const QString &text);
// The key of the full lower-case mapping of `text`: the order of application names.
TextOrderKey caseInsensitiveOrderKey(const QString &text);

} // namespace model
