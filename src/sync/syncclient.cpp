#include "sync/syncclient.h"

#include "model/manifestjson.h"
#include "platform/network.h"
#include "platform/utf8.h"
#include "sync/trimming.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <QCoroNetworkReply>

#include <algorithm>
#include <climits>
#include <memory>

namespace syncing {

namespace {

const QString manifestPath = QStringLiteral("/manifest");
const QString unsendableToken =
    QStringLiteral("The token can't be sent: it contains a line break or another control character.");

struct LaterDeleter {
    void operator()(QObject *object) const { object->deleteLater(); }
};

QNetworkRequest makeRequest(const QUrl &url, const QString &token, std::chrono::milliseconds timeout) {
    QNetworkRequest request(url);
    // Qt reads 0 as "no time-out"; every request here gets one.
    request.setTransferTimeout(static_cast<int>(std::clamp<qint64>(timeout.count(), 1, INT_MAX)));
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    return request;
}

// Waits for the answer; its body when the status is exactly 200.
QCoro::Task<SyncResult<QByteArray>> finish(std::unique_ptr<QNetworkReply, LaterDeleter> reply) {
    co_await reply.get();
    if (platform::isTransportFailure(*reply))
        co_return SyncError::transportFailure(reply->errorString());
    // An answer that is not HTTP (a file: or data: address) counts as status 0.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const qint64 code = status.isValid() ? status.toLongLong() : 0;
    QByteArray body = reply->readAll();
    if (code != 200)
        co_return SyncError::httpStatus(code, platform::decodeUtf8(body).value_or(QString()));
    co_return body;
}

} // namespace

SyncClient::SyncClient(QString baseURL, QString token, std::chrono::milliseconds timeout)
    : m_baseURL(std::move(baseURL))
    , m_token(std::move(token))
    , m_timeout(timeout) {}

SyncResult<QUrl> SyncClient::endpoint(const QString &path) const {
    QStringView base = trimSpacesAndTabs(m_baseURL);
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

SyncResult<QUrl> SyncClient::manifestURL() const {
    if (m_baseURL.isEmpty() || m_token.isEmpty())
        return SyncError::notConfigured();
    SyncResult<QUrl> url = endpoint(manifestPath);
    // The network layer would pass a line break in a header value straight through, ending the
    // header early and starting another one of the token's choosing. A pasted token can carry one.
    const bool controlCharacter = std::any_of(m_token.cbegin(), m_token.cend(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f;
    });
    if (controlCharacter && std::holds_alternative<QUrl>(url))
        return SyncError::transportFailure(unsendableToken);
    return url;
}

QCoro::Task<SyncResult<QString>> SyncClient::upload(const model::Manifest &manifest) const {
    const SyncResult<QUrl> url = manifestURL();
    if (const SyncError *error = std::get_if<SyncError>(&url))
        co_return *error;
    QNetworkRequest request = makeRequest(std::get<QUrl>(url), m_token, m_timeout);
    request.setRawHeader("Content-Type", "application/json");
    std::unique_ptr<QNetworkReply, LaterDeleter> reply(
        platform::network()->put(request, model::encodeManifest(manifest)));

    const SyncResult<QByteArray> answer = co_await finish(std::move(reply));
    if (const SyncError *error = std::get_if<SyncError>(&answer))
        co_return *error;
    // The Worker's time is shown as it sent it; anything but a text "storedAt" means no time was given.
    const QJsonDocument document = QJsonDocument::fromJson(std::get<QByteArray>(answer));
    const QJsonValue storedAt = document.object().value(QStringLiteral("storedAt"));
    co_return storedAt.isString() ? storedAt.toString() : QStringLiteral("just now");
}

QCoro::Task<SyncResult<model::Manifest>> SyncClient::download() const {
    const SyncResult<QUrl> url = manifestURL();
    if (const SyncError *error = std::get_if<SyncError>(&url))
        co_return *error;
    std::unique_ptr<QNetworkReply, LaterDeleter> reply(
        platform::network()->get(makeRequest(std::get<QUrl>(url), m_token, m_timeout)));

    const SyncResult<QByteArray> answer = co_await finish(std::move(reply));
    if (const SyncError *error = std::get_if<SyncError>(&answer))
        co_return *error;
    std::optional<model::Manifest> manifest = model::decodeManifest(std::get<QByteArray>(answer));
    if (!manifest)
        co_return SyncError::decodeFailure();
    co_return std::move(*manifest);
}

} // namespace syncing
