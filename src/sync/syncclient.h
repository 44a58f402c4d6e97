#pragma once

#include "model/manifest.h"
#include "platform/network.h"
#include "sync/syncerror.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <optional>

namespace syncing {

// One manifest the Worker keeps, as its list describes it.
struct StoredVersion {
    QString id;
    QString storedAt;                // the Worker's time of the upload, ISO 8601
    std::optional<QString> hostname; // absent when the upload named no Mac
    std::optional<qint64> apps;      // how many applications it holds, when it says
    qint64 bytes = 0;

    friend bool operator==(const StoredVersion &, const StoredVersion &) = default;
};

// Talks to the user's Worker: PUT and GET of one resource, "/manifest" under the base URL, with the
// bearer token. Made afresh from the current settings for every exchange and keeps nothing between
// calls. Each call sends exactly one request, through the process's shared network access manager
// (so call it on the main thread), and never retries. The token goes only where it is encrypted or
// stays on this computer, and never follows a redirect: a 3xx answer is an answer like any other.
//
// The coroutines copy what they need before they first suspend, so the client may go away while a
// request is in flight.
class SyncClient {
public:
    // Where the newest manifest lives, under the base URL; every kept one is under versionsPath.
    static inline const QString manifestPath = QStringLiteral("/manifest");
    static inline const QString versionsPath = QStringLiteral("/manifests");

    // The Worker refuses a manifest over 8 MiB (a manifest of 500 apps is about 120 KiB), and no
    // answer it gives is larger.
    static constexpr qint64 maxManifestBytes = 8 * 1024 * 1024;
    // A minute of silence or a minute in all ends an exchange, and an answer is read up to the size
    // of the largest manifest.
    static constexpr platform::TransferLimits defaultLimits{std::chrono::seconds(60),
                                                            std::chrono::seconds(60), maxManifestBytes};

    // Both stored exactly as given; emptiness is checked untrimmed, the URL is trimmed when used.
    SyncClient(QString baseURL, QString token, platform::TransferLimits limits = defaultLimits);

    const QString &baseURL() const { return m_baseURL; }
    const QString &token() const { return m_token; }
    const platform::TransferLimits &limits() const { return m_limits; }

    // Whether the token may be sent to `url`: over https, or over http to this computer (localhost,
    // 127.0.0.0/8 or [::1]), where nothing crosses a network.
    static bool carriesTokenSafely(const QUrl &url);

    // The base URL without spaces and tabs at its ends and without any "/" at its ends, followed by
    // `path`, parsed strictly. badURL when nothing is left of the base or the text is not a URL. The
    // scheme and host are not checked: an address that cannot be fetched fails as a transport error.
    [[nodiscard]] SyncResult<QUrl> endpoint(const QString &path) const;
    // endpoint(), refused with insecureURL where the token would not be safe (carriesTokenSafely). What
    // the settings check as the URL is typed, before any token is asked for.
    [[nodiscard]] SyncResult<QUrl> safeEndpoint(const QString &path) const;
    // The manifest's URL; notConfigured, badURL, insecureURL, or a transport failure for a token that
    // cannot be put in a header, when no request may be sent. Worth asking before a long scan, whose result
    // could not be uploaded anyway.
    [[nodiscard]] SyncResult<QUrl> manifestURL() const;
    // The same checks for any path under the base URL.
    [[nodiscard]] SyncResult<QUrl> authorizedURL(const QString &path) const;

    // Whether `id` has the form of the ids the Worker gives its kept manifests: a UUID in lower case.
    static bool isVersionId(QStringView id);

    // Stores the manifest on the Worker. Gives the Worker's "storedAt" text, or "just now" when its
    // success answer carries none. A manifest larger than the Worker takes is refused unsent.
    [[nodiscard]] QCoro::Task<SyncResult<QString>> upload(const model::Manifest &manifest) const;
    // The manifest last stored; http 404 when nothing has been stored yet.
    [[nodiscard]] QCoro::Task<SyncResult<model::Manifest>> download() const;
    // One kept manifest by its id; http 404 when the Worker no longer has it. An id of another form is
    // refused unsent: it would name another path of the Worker's.
    [[nodiscard]] QCoro::Task<SyncResult<model::Manifest>> download(QString id) const;
    // The kept manifests, newest first; http 404 from a Worker that keeps only one.
    [[nodiscard]] QCoro::Task<SyncResult<QList<StoredVersion>>> versions() const;

    friend bool operator==(const SyncClient &, const SyncClient &) = default;

private:
    QCoro::Task<SyncResult<QByteArray>> get(QString path) const;
    QCoro::Task<SyncResult<model::Manifest>> downloadFrom(QString path) const;

    QString m_baseURL;
    QString m_token;
    platform::TransferLimits m_limits;
};

// The Worker's list of kept manifests; decode when it is not one.
[[nodiscard]] SyncResult<QList<StoredVersion>> parseVersions(const QByteArray &json);

} // namespace syncing
