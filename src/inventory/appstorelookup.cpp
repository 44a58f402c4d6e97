#include "inventory/appstorelookup.h"

#include "inventory/endpoints.h"

#include <simdjson.h>

#include <algorithm>
#include <cmath>

namespace inventory {

std::optional<qint64> parseLookupResponse(QByteArrayView json) {
    if (json.isEmpty())
        return std::nullopt;
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.parse(json.data(), static_cast<size_t>(json.size())).get(root) != simdjson::SUCCESS)
        return std::nullopt;
    simdjson::dom::object top;
    simdjson::dom::array results;
    if (root.get_object().get(top) != simdjson::SUCCESS ||
        top["results"].get_array().get(results) != simdjson::SUCCESS)
        return std::nullopt;
    for (const simdjson::dom::element result : results) {
        if (!result.is_object())
            return std::nullopt;
    }
    if (results.begin() == results.end())
        return std::nullopt;

    simdjson::dom::element trackId;
    if ((*results.begin()).get_object().value_unsafe()["trackId"].get(trackId) != simdjson::SUCCESS)
        return std::nullopt;
    switch (trackId.type()) {
    case simdjson::dom::element_type::INT64:
        return trackId.get_int64().value_unsafe();
    case simdjson::dom::element_type::DOUBLE: {
        // 803453959.0 and 8.03453959e8 are the same integer as 803453959; 1.5 is not an integer.
        const double value = trackId.get_double().value_unsafe();
        constexpr double limit = 9223372036854775808.0; // 2^63
        if (std::trunc(value) != value || value < -limit || value >= limit)
            return std::nullopt;
        return static_cast<qint64>(value);
    }
    default: // text, booleans, null, and integers beyond 64 signed bits
        return std::nullopt;
    }
}

bool isRateLimited(int httpStatus) {
    return httpStatus == 403 || httpStatus == 429 || httpStatus == 503;
}

std::chrono::milliseconds retryDelay(QByteArrayView retryAfter, std::chrono::milliseconds fallback) {
    const QByteArrayView seconds = retryAfter.trimmed();
    // The other form, an HTTP date, is not worth trusting this machine's clock for.
    if (seconds.isEmpty() ||
        !std::all_of(seconds.cbegin(), seconds.cend(), [](char c) { return c >= '0' && c <= '9'; }))
        return fallback;
    constexpr std::chrono::seconds longest{60};
    // Beyond an int, but certainly more than a minute.
    if (seconds.size() > 9)
        return longest;
    return std::min<std::chrono::milliseconds>(std::chrono::seconds(seconds.toInt()), longest);
}

QUrl lookupAddress(const QUrl &host, const QString &bundleId) {
    // A lone surrogate would be sent as a replacement character: a lookup of some other identifier.
    if (!bundleId.isValidUtf16())
        return {};
    return endpointAddress(host, QStringLiteral("/lookup?bundleId=") +
                                     QString::fromLatin1(QUrl::toPercentEncoding(bundleId)) +
                                     QStringLiteral("&entity=macSoftware"));
}

} // namespace inventory
