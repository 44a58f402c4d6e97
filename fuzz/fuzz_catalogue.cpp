// The cask catalogue reader on arbitrary bytes: it must never crash, and the map it gives must read
// back unchanged when written out again as a catalogue (one cask per name), or the target aborts.

#include "inventory/caskcatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const inventory::CaskMap map = inventory::parseCaskCatalogue(bytes);
    if (map.isEmpty())
        return 0;
    QJsonArray casks;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QJsonObject app{{QStringLiteral("app"), QJsonArray{it.key()}}};
        casks.append(QJsonObject{{QStringLiteral("token"), it.value()},
                                 {QStringLiteral("artifacts"), QJsonArray{app}}});
    }
    const QByteArray written = QJsonDocument(casks).toJson(QJsonDocument::Compact);
    if (inventory::parseCaskCatalogue(written) != map) {
        std::fprintf(stderr, "the map does not read back:\n%s\n", written.constData());
        std::abort();
    }
    return 0;
}
