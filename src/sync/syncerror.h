#pragma once

#include "platform/result.h"

#include <QString>
#include <QtGlobal>

namespace syncing {

// Why an exchange with the Worker failed, with the text to show the user.
class SyncError {
public:
    enum class Kind {
        notConfigured, // no Worker URL or no token
        badURL,        // no request URL could be made from the Worker URL
        insecureURL,   // the Worker URL would send the token unencrypted to another machine
        http,          // an answer other than status 200 (status 0: not an HTTP answer at all)
        decode,        // a download answered 200 with something that is not a manifest
        transport,     // no whole answer arrived (no network, refused, TLS, timeout, cut off)
    };

    Kind kind = Kind::transport;
    qint64 statusCode = 0;    // http only
    QString body;             // http only: the answer's body, "" when it was not UTF-8; whole
    QString transportMessage; // transport only: the network layer's own text, unchanged

    static SyncError notConfigured() { return {Kind::notConfigured, 0, {}, {}}; }
    static SyncError badURL() { return {Kind::badURL, 0, {}, {}}; }
    static SyncError insecureURL() { return {Kind::insecureURL, 0, {}, {}}; }
    static SyncError httpStatus(qint64 status, QString body) {
        return {Kind::http, status, std::move(body), {}};
    }
    static SyncError decodeFailure() { return {Kind::decode, 0, {}, {}}; }
    static SyncError transportFailure(QString message) {
        return {Kind::transport, 0, {}, std::move(message)};
    }

    // The one line every caller shows; a body is quoted shortened, on one line.
    QString description() const;

    friend bool operator==(const SyncError &, const SyncError &) = default;
};

// The value of a Worker exchange, or why there is none.
template <class T> using SyncResult = platform::Result<T, SyncError>;

} // namespace syncing
