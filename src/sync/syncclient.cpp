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
#include <QRegularExpression>

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

bool SyncClient::isVersionId(QStringView id) {
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return uuid.match(id.toString()).hasMatch();
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
    QByteArray body = model::encodeManifest(manifest);
    if (body.size() > maxManifestBytes)
        co_return SyncError::transportFailure(
            QStringLiteral("The manifest is %1 MB; the Worker takes at most %2 MB.")
                .arg(QString::number(static_cast<double>(body.size()) / 1e6, 'f', 1),
                     QString::number(static_cast<double>(maxManifestBytes) / 1e6, 'f', 1)));
    QNetworkRequest request = authorizedRequest(*url, m_token);
    request.setRawHeader("Content-Type", "application/json");
    const SyncResult<QByteArray> answer =
        co_await exchange("PUT", std::move(request), std::move(body), m_limits);
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
    // "..", "manifest" or an empty id would turn into another of the Worker's paths.
    if (!isVersionId(id))
        co_return SyncError::transportFailure(
            QStringLiteral("That is not the id of a kept manifest; the list of kept manifests gives them."));
    co_return co_await downloadFrom(versionsPath + u'/' + id);
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
        // An entry without an id of the Worker's form can't be fetched, so it isn't offered.
        if (!id.isString() || !SyncClient::isVersionId(id.toString()))
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
