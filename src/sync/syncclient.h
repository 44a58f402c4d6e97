#pragma once

#include "model/manifest.h"
#include "sync/syncerror.h"

#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>

namespace syncing {

// Talks to the user's Worker: PUT and GET of one resource, "/manifest" under the base URL, with the
// bearer token. Made afresh from the current settings for every exchange and keeps nothing between
// calls. Each call sends exactly one request, through the process's shared network access manager
// (so call it on the main thread), and never retries.
//
// The coroutines copy what they need before they first suspend, so the client may go away while a
// request is in flight.
class SyncClient {
public:
    // Where the manifest lives, under the base URL.
    static inline const QString manifestPath = QStringLiteral("/manifest");

    // Both stored exactly as given; emptiness is checked untrimmed, the URL is trimmed when used.
    SyncClient(QString baseURL, QString token, std::chrono::milliseconds timeout = std::chrono::seconds(60));

    const QString &baseURL() const { return m_baseURL; }
    const QString &token() const { return m_token; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // The base URL without spaces and tabs at its ends and without any "/" at its ends, followed by
    // `path`, parsed strictly. badURL when nothing is left of the base or the text is not a URL. The
    // scheme and host are not checked: an address that cannot be fetched fails as a transport error.
    [[nodiscard]] SyncResult<QUrl> endpoint(const QString &path) const;
    // The manifest's URL; notConfigured, badURL, or a transport failure for a token that cannot be put
    // in a header, when no request may be sent. Worth asking before a long scan, whose result could
    // not be uploaded anyway.
    [[nodiscard]] SyncResult<QUrl> manifestURL() const;

    // Stores the manifest on the Worker. Gives the Worker's "storedAt" text, or "just now" when its
    // success answer carries none.
    [[nodiscard]] QCoro::Task<SyncResult<QString>> upload(const model::Manifest &manifest) const;
    // The manifest last stored; http 404 when nothing has been stored yet.
    [[nodiscard]] QCoro::Task<SyncResult<model::Manifest>> download() const;

    friend bool operator==(const SyncClient &, const SyncClient &) = default;

private:
    QString m_baseURL;
    QString m_token;
    std::chrono::milliseconds m_timeout;
};

} // namespace syncing
