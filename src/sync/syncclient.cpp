#include "sync/syncclient.h"

#include "model/manifestjson.h"
#include "platform/network.h"
#include "platform/trimming.h"
#include "platform/utf8.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>

#include <algorithm>

namespace syncing {

namespace {

QString unsendableToken() {
    return QCoreApplication::translate(
        "syncing::SyncClient",
        "The token can't be sent: it contains a line break or another control character.");
}

QNetworkRequest authorizedRequest(const QUrl &url, const QString &token) {
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    return request;
}

// Sends the request and gives the answer's body when the status is exactly 200.
QCoro::Task<SyncResult<QByteArray>> exchange(QByteArray method, QNetworkRequest request, QByteArray body,
                                             platform::TransferLimits limits) {
    platform::Result<platform::HttpAnswer> answer = co_await platform::send(
        std::move(method), std::move(request), std::move(body), limits, platform::Redirects::none);
    if (!answer)
        co_return SyncError::transportFailure(answer.message());
    // An answer that is not HTTP counts as status 0.
    if (answer->status != 200)
        co_return SyncError::httpStatus(answer->status,
                                        platform::decodeUtf8(answer->body).value_or(QString()));
    co_return std::move(answer->body);
}

} // namespace

SyncClient::SyncClient(QString baseURL, QString token, platform::TransferLimits limits)
    : m_baseURL(std::move(baseURL))
    , m_token(std::move(token))
    , m_limits(limits) {}

bool SyncClient::carriesTokenSafely(const QUrl &url) {
    if (url.scheme() == u"https")
        return !url.host().isEmpty();
    if (url.scheme() != u"http")
        return false;
    const QString host = url.host();
    // QUrl gives the host lower-cased and an IPv6 address without its brackets.
    return host == u"localhost" || QHostAddress(host).isLoopback();
}

SyncResult<QUrl> SyncClient::endpoint(const QString &path) const {
    QStringView base = platform::trimSpacesAndTabs(m_baseURL);
    while (base.startsWith(u'/'))
        base = base.sliced(1);
    while (base.endsWith(u'/'))
        base.chop(1);
    if (base.isEmpty())
        return SyncError::badURL();
    const QUrl url(base.toString() + path, QUrl::StrictMode);
    if (!url.isValid())
        return SyncError::badURL();
    return url;
}

SyncResult<QUrl> SyncClient::safeEndpoint(const QString &path) const {
    SyncResult<QUrl> url = endpoint(path);
    if (url && !carriesTokenSafely(*url))
        return SyncError::insecureURL();
    return url;
}

SyncResult<QUrl> SyncClient::manifestURL() const {
    return authorizedURL(manifestPath);
}

SyncResult<QUrl> SyncClient::authorizedURL(const QString &path) const {
    if (m_baseURL.isEmpty() || m_token.isEmpty())
        return SyncError::notConfigured();
    SyncResult<QUrl> url = safeEndpoint(path);
    // The network layer would pass a line break in a header value straight through, ending the
    // header early and starting another one of the token's choosing. A pasted token can carry one.
    const bool controlCharacter = std::any_of(m_token.cbegin(), m_token.cend(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f;
    });
    if (controlCharacter && url)
        return SyncError::transportFailure(unsendableToken());
    return url;
}

QCoro::Task<SyncResult<QString>> SyncClient::upload(const model::Manifest &manifest) const {
    const SyncResult<QUrl> url = manifestURL();
    if (!url)
        co_return url.failure();
    QNetworkRequest request = authorizedRequest(*url, m_token);
    request.setRawHeader("Content-Type", "application/json");
    const SyncResult<QByteArray> answer =
        co_await exchange("PUT", std::move(request), model::encodeManifest(manifest), m_limits);
    if (!answer)
        co_return answer.failure();
    // The Worker's time is shown as it sent it; anything but a text "storedAt" means no time was given.
    const QJsonDocument document = QJsonDocument::fromJson(*answer);
    const QJsonValue storedAt = document.object().value(QStringLiteral("storedAt"));
    co_return storedAt.isString() ? storedAt.toString() : QStringLiteral("just now");
}

QCoro::Task<SyncResult<QByteArray>> SyncClient::get(QString path) const {
    const SyncResult<QUrl> url = authorizedURL(path);
    if (!url)
        co_return url.failure();
    co_return co_await exchange("GET", authorizedRequest(*url, m_token), QByteArray(), m_limits);
}

QCoro::Task<SyncResult<model::Manifest>> SyncClient::download() const {
    return downloadFrom(manifestPath);
}

QCoro::Task<SyncResult<model::Manifest>> SyncClient::download(QString id) const {
    // Ids are the Worker's own, but they travel as one path segment whatever they hold.
    return downloadFrom(versionsPath + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(id)));
}

QCoro::Task<SyncResult<model::Manifest>> SyncClient::downloadFrom(QString path) const {
    const SyncResult<QByteArray> answer = co_await get(std::move(path));
    if (!answer)
        co_return answer.failure();
    if (platform::Result<model::Manifest> manifest = model::decodeManifest(*answer))
        co_return std::move(manifest).value();
    co_return SyncError::decodeFailure();
}

QCoro::Task<SyncResult<QList<StoredVersion>>> SyncClient::versions() const {
    const SyncResult<QByteArray> answer = co_await get(versionsPath);
    if (!answer)
        co_return answer.failure();
    co_return parseVersions(*answer);
}

SyncResult<QList<StoredVersion>> parseVersions(const QByteArray &json) {
    const QJsonValue list = QJsonDocument::fromJson(json).object().value(QStringLiteral("manifests"));
    if (!list.isArray())
        return SyncError::decodeFailure();
    QList<StoredVersion> versions;
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject object = entry.toObject();
        const QJsonValue id = object.value(QStringLiteral("id"));
        const QJsonValue storedAt = object.value(QStringLiteral("storedAt"));
        // An entry without an id can't be fetched, so it isn't offered.
        if (!id.isString() || id.toString().isEmpty())
            continue;
        StoredVersion version;
        version.id = id.toString();
        version.storedAt = storedAt.toString();
        if (const QJsonValue hostname = object.value(QStringLiteral("hostname")); hostname.isString())
            version.hostname = hostname.toString();
        if (const QJsonValue apps = object.value(QStringLiteral("apps")); apps.isDouble())
            version.apps = apps.toInteger();
        version.bytes = object.value(QStringLiteral("bytes")).toInteger();
        versions.append(version);
    }
    return versions;
}

} // namespace syncing
