// Manifest decoding on arbitrary bytes: it must never crash, and whatever it accepts must survive an
// encode and decode unchanged (and encode to the same bytes again), or the target aborts.

#include "model/manifestjson.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto manifest = model::decodeManifest(bytes);
    if (!manifest)
        return 0;
    const QByteArray encoded = model::encodeManifest(*manifest);
    const auto again = model::decodeManifest(encoded);
    if (!again) {
        std::fprintf(stderr, "encoded manifest does not decode: %s\n%s\n", qPrintable(again.message()),
                     encoded.constData());
        std::abort();
    }
    if (!(*again == *manifest)) {
        std::fprintf(stderr, "round trip changed the manifest:\n%s\n", encoded.constData());
        std::abort();
    }
    if (model::encodeManifest(*again) != encoded) {
        std::fprintf(stderr, "second encoding differs:\n%s\n", encoded.constData());
        std::abort();
    }
    return 0;
}
