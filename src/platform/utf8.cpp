#include "utf8.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace platform {

Result<QString> decodeUtf8(QByteArrayView bytes, Bom bom) {
    QStringDecoder::Flags flags = QStringDecoder::Flag::Stateless;
    if (bom == Bom::keep)
        flags |= QStringDecoder::Flag::ConvertInitialBom;
    QStringDecoder decoder(QStringDecoder::Utf8, flags);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return fail(QCoreApplication::translate("platform::utf8", "The text is not valid UTF-8."));
    return text;
}

} // namespace platform
