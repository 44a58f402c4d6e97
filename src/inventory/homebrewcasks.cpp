#include "inventory/homebrewcasks.h"

#include "inventory/homebrewformulae.h"
#include "inventory/homebrewtaps.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace inventory::homebrew {

namespace {

QString tapIn(const QJsonValue &value) {
    return value.isString() && isTapName(value.toString()) ? value.toString() : QString();
}

QJsonObject objectIn(QByteArrayView json) {
    return QJsonDocument::fromJson(json.toByteArray()).object();
}

// The saved cask file Homebrew itself would load: in the newest timestamp folder of any version, the
// first of <token>.json, <token>.internal.json and <token>.rb that exists.
QString installedCaskTap(const platform::FileManager &fm, const QString &caskFolder, const QString &token) {
    const QString metadata = caskFolder + QStringLiteral("/.metadata");
    QString newest;
    QString newestStamp;
    for (const QString &version : fm.contentsOfDirectory(metadata).value_or(QStringList())) {
        if (version.startsWith(u'.'))
            continue;
        for (const QString &stamp :
             fm.contentsOfDirectory(metadata + u'/' + version).value_or(QStringList())) {
            if (stamp > newestStamp) {
                newestStamp = stamp;
                newest = metadata + u'/' + version + u'/' + stamp;
            }
        }
    }
    if (newest.isEmpty())
        return {};
    const QString casks = newest + QStringLiteral("/Casks/") + token;
    for (const QString &extension : {QStringLiteral(".json"), QStringLiteral(".internal.json")}) {
        if (const auto bytes = fm.regularFileContents(casks + extension, maxReceiptBytes * 16))
            return parseInstalledCaskTap(*bytes);
    }
    return {};
}

} // namespace

QString parseCaskReceiptTap(QByteArrayView json) {
    return tapIn(
        objectIn(json).value(QLatin1StringView("source")).toObject().value(QLatin1StringView("tap")));
}

QString parseInstalledCaskTap(QByteArrayView json) {
    const QJsonObject object = objectIn(json);
    if (QString tap = tapIn(object.value(QLatin1StringView("tap"))); !tap.isEmpty())
        return tap;
    // Some saved files give only the full token, "user/repo/token".
    const QString fullToken = object.value(QLatin1StringView("full_token")).toString();
    const qsizetype last = fullToken.lastIndexOf(u'/');
    return last > 0 && isTapName(QStringView(fullToken).first(last)) ? fullToken.first(last) : QString();
}

QString caskFullName(const QString &token, const QString &tap) {
    if (tap.isEmpty() || tap.compare(u"homebrew/cask", Qt::CaseInsensitive) == 0)
        return token;
    return tap + u'/' + token;
}

QStringList readCaskTokens(const platform::FileManager &fm, const QString &prefix) {
    QStringList tokens = fm.contentsOfDirectory(prefix + QStringLiteral("/Caskroom")).value_or(QStringList());
    // Finder's .DS_Store, Homebrew's own dot folders.
    tokens.removeIf([](const QString &entry) { return entry.startsWith(u'.'); });
    return tokens;
}

QStringList readCasks(const platform::FileManager &fm, const QString &prefix) {
    const QString caskroom = prefix + QStringLiteral("/Caskroom");
    QStringList casks;
    for (const QString &token : readCaskTokens(fm, prefix)) {
        const QString folder = caskroom + u'/' + token;
        const auto receipt = fm.regularFileContents(
            folder + QStringLiteral("/.metadata/INSTALL_RECEIPT.json"), maxReceiptBytes);
        QString tap = receipt ? parseCaskReceiptTap(*receipt) : QString();
        if (tap.isEmpty() && !receipt && !fm.contentsOfDirectory(folder))
            continue; // a stray file, no cask
        if (tap.isEmpty())
            tap = installedCaskTap(fm, folder, token);
        casks.append(caskFullName(token, tap));
    }
    return casks;
}

} // namespace inventory::homebrew
