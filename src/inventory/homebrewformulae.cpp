#include "inventory/homebrewformulae.h"

#include "inventory/homebrewtaps.h"

#include <simdjson.h>

#include <string_view>

namespace inventory::homebrew {

KegReceipt parseKegReceipt(QByteArrayView json) {
    KegReceipt receipt;
    // A Mac may hold hundreds of kegs; one parser per thread keeps its buffers from one receipt to the
    // next instead of building a whole document tree for each.
    thread_local simdjson::dom::parser parser;
    simdjson::dom::object object;
    if (parser.parse(json.data(), static_cast<size_t>(json.size())).get(object) != simdjson::SUCCESS)
        return receipt;
    // Homebrew's own rule: only an explicit false makes a keg a dependency.
    if (bool onRequest = true; object["installed_on_request"].get(onRequest) == simdjson::SUCCESS)
        receipt.installedOnRequest = onRequest;
    if (std::string_view tap; object.at_pointer("/source/tap").get(tap) == simdjson::SUCCESS) {
        const QString name = QString::fromUtf8(tap.data(), static_cast<qsizetype>(tap.size()));
        if (isTapName(name))
            receipt.tap = name;
    }
    return receipt;
}

QString formulaFullName(const QString &name, const QString &tap) {
    if (tap.isEmpty() || tap.compare(u"homebrew/core", Qt::CaseInsensitive) == 0)
        return name;
    return tap + u'/' + name;
}

QStringList readFormulae(const platform::FileManager &fm, const QString &prefix) {
    const QString cellar = prefix + QStringLiteral("/Cellar");
    const QString opt = prefix + QStringLiteral("/opt/");
    QStringList formulae;
    for (const QString &name : fm.contentsOfDirectory(cellar).value_or(QStringList())) {
        if (name.startsWith(u'.'))
            continue;
        // The keg Homebrew links at opt/<name> is the installed one, and the one whose receipt it
        // reads itself; reaching it through the link also spares listing every formula's folder.
        if (const auto linked = fm.regularFileContents(opt + name + QStringLiteral("/INSTALL_RECEIPT.json"),
                                                       maxReceiptBytes)) {
            const KegReceipt receipt = parseKegReceipt(*linked);
            if (receipt.installedOnRequest)
                formulae.append(formulaFullName(name, receipt.tap));
            continue;
        }
        const auto kegs = fm.contentsOfDirectory(cellar + u'/' + name);
        if (!kegs)
            continue;
        // Without the link, several kegs (an upgrade not yet cleaned up) make one formula; it travels
        // if any of them was asked for, under the tap the first receipt that names one gives.
        bool onRequest = false;
        bool anyKeg = false;
        QString tap;
        for (const QString &version : *kegs) {
            if (version.startsWith(u'.'))
                continue;
            const QString keg = cellar + u'/' + name + u'/' + version;
            const auto bytes =
                fm.regularFileContents(keg + QStringLiteral("/INSTALL_RECEIPT.json"), maxReceiptBytes);
            if (!bytes && !fm.contentsOfDirectory(keg))
                continue;
            anyKeg = true;
            const KegReceipt receipt = bytes ? parseKegReceipt(*bytes) : KegReceipt();
            onRequest = onRequest || receipt.installedOnRequest;
            if (tap.isEmpty())
                tap = receipt.tap;
        }
        if (anyKeg && onRequest)
            formulae.append(formulaFullName(name, tap));
    }
    return formulae;
}

} // namespace inventory::homebrew
