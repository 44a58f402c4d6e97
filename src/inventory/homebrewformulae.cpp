#include "inventory/homebrewformulae.h"

#include "inventory/homebrewtaps.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace inventory::homebrew {

KegReceipt parseKegReceipt(QByteArrayView json) {
    KegReceipt receipt;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    if (!document.isObject())
        return receipt;
    const QJsonObject object = document.object();
    // Homebrew's own rule: only an explicit false makes a keg a dependency.
    if (const QJsonValue onRequest = object.value(QLatin1StringView("installed_on_request"));
        onRequest.isBool())
        receipt.installedOnRequest = onRequest.toBool();
    const QJsonValue tap =
        object.value(QLatin1StringView("source")).toObject().value(QLatin1StringView("tap"));
    if (tap.isString() && isTapName(tap.toString()))
        receipt.tap = tap.toString();
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
