// Homebrew's records as the scan reads them: a keg's receipt, a cask's receipt and saved cask file, a
// tap's git config. Whatever the bytes, a tap read from a receipt has the shape of one, and a remote is
// kept only as an https address without credentials that the restore side, which checks it again,
// takes back unchanged. Otherwise the target aborts.
//
// Input (see fuzzinput.h): one file's bytes.

#include "fuzzinput.h"

#include "inventory/homebrewcasks.h"
#include "inventory/homebrewformulae.h"
#include "inventory/homebrewtaps.h"

#include <QUrl>

using fuzzing::require;
namespace homebrew = inventory::homebrew;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes = fuzzing::bytesOf(data, size);

    for (const QString &tap : {homebrew::parseKegReceipt(bytes).tap, homebrew::parseCaskReceiptTap(bytes),
                               homebrew::parseInstalledCaskTap(bytes)})
        require(tap.isEmpty() || homebrew::isTapName(tap), "a tap without the shape of one", tap);

    QStringList remotes{QString::fromUtf8(bytes)};
    if (const auto url = homebrew::parseOriginUrl(bytes)) {
        require(!url->isEmpty() && !url->contains(u'"') && !url->contains(u'\\'),
                "an origin url git alone reads", *url);
        remotes.append(*url);
    }
    for (const QString &remote : remotes) {
        const auto kept = homebrew::keptRemote(remote);
        if (!kept)
            continue;
        const QUrl url(*kept, QUrl::StrictMode);
        require(url.scheme() == u"https" && url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment(),
                "a kept remote that isn't a plain https address", *kept);
        require(homebrew::keptRemote(*kept) == kept, "a kept remote that the restore would change", *kept);
    }
    return 0;
}
