#include "restore/manualdownloads.h"

#include "sync/manualurlstore.h"

#include <QDesktopServices>
#include <QUrl>

namespace restore {

ManualDownloads::ManualDownloads(inventory::Endpoints endpoints, QObject *parent)
    : QObject(parent)
    , m_endpoints(std::move(endpoints)) {}

void ManualDownloads::reset(const QList<model::AppRecord> &apps) {
    m_apps.clear();
    m_links.clear();
    // A link remembered on this Mac beats the one the manifest brought along.
    const syncing::LinkMap remembered = syncing::ManualURLStore::allURLs();
    for (const model::AppRecord &app : apps) {
        m_apps.insert(app.path, app);
        const auto it = remembered.constFind(syncing::ManualURLStore::linkKey(app.bundleId, app.name));
        if (it != remembered.cend())
            m_links.insert(app.path, *it);
        else if (app.downloadURL)
            m_links.insert(app.path, *app.downloadURL);
    }
}

QString ManualDownloads::link(const QString &path) const {
    return m_links.value(path);
}

void ManualDownloads::setLink(const QString &path, const QString &text) {
    const auto app = m_apps.constFind(path);
    if (app == m_apps.cend())
        return;
    const auto it = m_links.constFind(path);
    const bool changed = it == m_links.cend() || *it != text;
    m_links.insert(path, text);
    // A refusal is already in the log; the link still holds for this restore.
    (void)syncing::ManualURLStore::setURL(text, app->bundleId, app->name);
    if (changed)
        Q_EMIT linkChanged(path);
}

void ManualDownloads::find(const QString &path) const {
    const auto app = m_apps.constFind(path);
    if (app == m_apps.cend())
        return;
    // Everything but the unreserved characters is escaped, so a "+" or "&" in a name stays part of
    // the phrase and a space travels as %20.
    const QByteArray phrase = QUrl::toPercentEncoding(app->name + QStringLiteral(" mac app download"));
    const QUrl search = inventory::endpointAddress(m_endpoints.webSearch,
                                                   QStringLiteral("/?q=") + QString::fromLatin1(phrase));
    if (search.isValid())
        QDesktopServices::openUrl(search);
}

void ManualDownloads::open(const QString &link) {
    const QString trimmed = link.trimmed();
    if (trimmed.isEmpty())
        return;
    Q_EMIT started();
    QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid())
        return;
    if (url.scheme().isEmpty()) {
        const QUrl secure(QStringLiteral("https://") + trimmed, QUrl::StrictMode);
        if (secure.isValid())
            url = secure;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != u"https" && scheme != u"http") {
        Q_EMIT refused(
            tr("Link not opened."),
            tr("Only web links (http or https) are opened; this one starts with \"%1:\".").arg(url.scheme()));
        return;
    }
    QDesktopServices::openUrl(url);
}

} // namespace restore
