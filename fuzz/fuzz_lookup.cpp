// The App Store lookup reader on arbitrary bytes: it must never crash, and an id it finds must read
// back unchanged from the smallest answer that carries it, or the target aborts.

#include "inventory/appstorelookup.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<qint64> id = inventory::parseLookupResponse(bytes);
    if (!id)
        return 0;
    const QByteArray written = R"({"resultCount":1,"results":[{"trackId":)" + QByteArray::number(*id) + "}]}";
    if (inventory::parseLookupResponse(written) != id) {
        std::fprintf(stderr, "id %lld does not read back from %s\n", static_cast<long long>(*id),
                     written.constData());
        std::abort();
    }
    return 0;
}
