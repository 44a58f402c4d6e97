#include "model/textorder.h"

namespace model {

TextOrderKey textOrderKey(const QString &text) {
    return text.normalized(QString::NormalizationForm_C).toUcs4();
}

TextOrderKey caseInsensitiveOrderKey(const QString &text) {
    return textOrderKey(text.toLower());
}

} // namespace model
