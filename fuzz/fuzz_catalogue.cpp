// The cask catalogue reader on arbitrary bytes: it must never crash, and the application names it
// finds, with their casks, must read back unchanged when written out again as a catalogue (one cask
// per name and token), or the target aborts.

#include "inventory/caskcatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QHash<QString, QStringList> names = inventory::CaskCatalogue::parse(bytes).appNames();
    if (names.isEmpty())
        return 0;
    QJsonArray casks;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const QJsonObject app{{QStringLiteral("app"), QJsonArray{it.key()}}};
        for (const QString &token : it.value())
            casks.append(QJsonObject{{QStringLiteral("token"), token},
                                     {QStringLiteral("artifacts"), QJsonArray{app}}});
    }
    const QByteArray written = QJsonDocument(casks).toJson(QJsonDocument::Compact);
    if (inventory::CaskCatalogue::parse(written).appNames() != names) {
        std::fprintf(stderr, "the map does not read back:\n%s\n", written.constData());
        std::abort();
    }
    return 0;
}
