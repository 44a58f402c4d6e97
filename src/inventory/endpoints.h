#pragma once

#include "platform/network.h"
#include "platform/result.h"

#include <QString>
#include <QUrl>

#include <chrono>

namespace inventory {

// The outside services this program speaks to besides the user's own sync service. Each is a host
// only (scheme, host and optional port); the fixed paths and queries are appended where a request is
// made. Tests and haulwise-cli point them at local servers.
struct Endpoints {
    QUrl caskCatalogue;
    QUrl appStoreLookup;
    QUrl webSearch;
    QUrl homebrewInstallScript;
    // How long each request may take and how much of its answer is read. The catalogue is about
    // 16 MB and may take a while on a slow line; a lookup answer is a few kilobytes. The export's
    // upload takes the Worker's limits from here too.
    platform::TransferLimits catalogueLimits{std::chrono::seconds(60), std::chrono::minutes(5),
                                             64 * 1024 * 1024};
    platform::TransferLimits lookupLimits{std::chrono::seconds(60), std::chrono::seconds(60), 1024 * 1024};
    platform::TransferLimits workerLimits{std::chrono::seconds(60), std::chrono::seconds(60),
                                          32 * 1024 * 1024};

    // The same silence ends a request of every kind.
    void setIdleTimeout(std::chrono::milliseconds timeout);
    // How long to wait before asking the App Store lookup again after it refused for being asked too
    // often without saying for how long.
    std::chrono::milliseconds lookupRetryDelay{5000};

    static Endpoints defaults();

    friend bool operator==(const Endpoints &, const Endpoints &) = default;
};

// The address made of a host's scheme and authority followed by `pathAndQuery` as written (it must
// already be percent-encoded where needed). Any path of `host` is ignored. Invalid when the host is not
// an absolute address with a host name or when the text does not form a valid URL.
QUrl endpointAddress(const QUrl &host, const QString &pathAndQuery);

// Reads a host address as a person types it: "http" or "https", a host, an optional port, and at most
// a lone "/" as path; nothing else (no user name, path, query or fragment). The failure says so,
// with the text.
[[nodiscard]] platform::Result<QUrl> parseEndpointHost(const QString &text);

} // namespace inventory
