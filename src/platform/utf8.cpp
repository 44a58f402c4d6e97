#include "utf8.h"

#include <QStringDecoder>

namespace platform {

Result<QString> decodeUtf8(QByteArrayView bytes, Bom bom) {
    QStringDecoder::Flags flags = QStringDecoder::Flag::Stateless;
    if (bom == Bom::keep)
        flags |= QStringDecoder::Flag::ConvertInitialBom;
    QStringDecoder decoder(QStringDecoder::Utf8, flags);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return fail(QStringLiteral("The text is not valid UTF-8."));
    return text;
}

} // namespace platform
