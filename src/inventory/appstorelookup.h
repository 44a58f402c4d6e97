#pragma once

#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace inventory {

// Reads an App Store lookup answer: the "trackId" of the first element of "results". Absent unless the
// top level is an object whose "results" is a non-empty array of objects and the first one's "trackId"
// is an integral JSON number that fits 64 bits (a number in quotes is text, not a number).
std::optional<qint64> parseLookupResponse(QByteArrayView json);

// Whether a lookup answer with this HTTP status says the service is refusing callers for now (it
// allows about 20 requests a minute): such an answer is asked again later, not read.
bool isRateLimited(int httpStatus);
// How long to wait before asking again: the answer's Retry-After when it gives whole seconds (at
// most a minute is waited), else `fallback`.
std::chrono::milliseconds retryDelay(QByteArrayView retryAfter, std::chrono::milliseconds fallback);
// How many times a refused lookup is asked again before the record goes without its id.
inline constexpr int lookupRetries = 2;

// The lookup address for a bundle identifier on the lookup service's host. The identifier is sent as
// exactly one query value, percent-encoded, so characters such as '&', '#', '=', '+' or a space cannot
// add query items, cut the query short or change the identifier the service sees. Invalid (no request
// should be made) when the host is unusable or the identifier is not well-formed Unicode.
QUrl lookupAddress(const QUrl &host, const QString &bundleId);

} // namespace inventory
