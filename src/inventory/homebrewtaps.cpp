#include "inventory/homebrewtaps.h"

#include <QUrl>

namespace inventory::homebrew {

namespace {

// Homebrew drops this from a tap's folder name to name the tap.
QStringView withoutRepoPrefix(QStringView repository) {
    for (const QStringView prefix : {QStringView(u"homebrew-"), QStringView(u"linuxbrew-")}) {
        if (repository.startsWith(prefix))
            return repository.sliced(prefix.size());
    }
    return repository;
}

} // namespace

bool isTapName(QStringView name) {
    const qsizetype slash = name.indexOf(u'/');
    return slash > 0 && slash + 1 < name.size() && name.indexOf(u'/', slash + 1) < 0;
}

std::optional<QString> parseOriginUrl(QByteArrayView gitConfig) {
    const QString text = QString::fromUtf8(gitConfig);
    bool inOrigin = false;
    std::optional<QString> url;
    int count = 0;
    for (const QStringView rawLine : QStringView(text).split(u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            // An include may bring a remote from elsewhere; only git could say which wins.
            if (line.startsWith(u"[include", Qt::CaseInsensitive))
                return std::nullopt;
            inOrigin = line == u"[remote \"origin\"]";
            continue;
        }
        if (!inOrigin || line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || line.first(equals).trimmed().compare(u"url", Qt::CaseInsensitive) != 0)
            continue;
        ++count;
        url = line.sliced(equals + 1).trimmed().toString();
    }
    if (count != 1 || url->isEmpty())
        return std::nullopt;
    for (const QChar c : *url) {
        if (c == u'"' || c == u'#' || c == u';' || c == u'\\')
            return std::nullopt;
    }
    return url;
}

std::optional<QString> keptRemote(const QString &url) {
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().compare(u"https", Qt::CaseInsensitive) != 0 ||
        parsed.host().isEmpty())
        return std::nullopt;
    return parsed.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment |
                           QUrl::FullyEncoded);
}

bool isDefaultRemote(const QString &tap, const QString &url) {
    const qsizetype slash = tap.indexOf(u'/');
    if (slash <= 0)
        return false;
    const QString base = QStringLiteral("https://github.com/") + tap.first(slash) +
                         QStringLiteral("/homebrew-") + tap.sliced(slash + 1);
    return url.compare(base, Qt::CaseInsensitive) == 0 ||
           url.compare(base + QStringLiteral(".git"), Qt::CaseInsensitive) == 0;
}

QList<TapRecord> readTaps(const platform::FileManager &fm, const QString &repository) {
    const QString tapsFolder = repository + QStringLiteral("/Library/Taps");
    QList<TapRecord> taps;
    for (const QString &user : fm.contentsOfDirectory(tapsFolder).value_or(QStringList())) {
        if (user.startsWith(u'.'))
            continue;
        const QString userFolder = tapsFolder + u'/' + user;
        for (const QString &folder : fm.contentsOfDirectory(userFolder).value_or(QStringList())) {
            if (folder.startsWith(u'.'))
                continue;
            const QString tapFolder = userFolder + u'/' + folder;
            const auto config =
                fm.regularFileContents(tapFolder + QStringLiteral("/.git/config"), maxGitConfigBytes);
            // Only folders are taps; a tap that isn't a git clone has no remote but is still a tap.
            if (!config && !fm.contentsOfDirectory(tapFolder))
                continue;
            TapRecord tap;
            tap.name = (user + u'/' + withoutRepoPrefix(folder).toString()).toLower();
            if (config) {
                if (const auto url = parseOriginUrl(*config)) {
                    tap.remote = keptRemote(*url);
                    if (tap.remote && isDefaultRemote(tap.name, *tap.remote))
                        tap.remote.reset();
                }
            }
            taps.append(std::move(tap));
        }
    }
    return taps;
}

} // namespace inventory::homebrew
