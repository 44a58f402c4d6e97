#include "inventory/endpoints.h"

namespace inventory {

Endpoints Endpoints::defaults() {
    Endpoints endpoints;
    endpoints.caskCatalogue = QUrl(QStringLiteral("https://formulae.brew.sh"));
    endpoints.appStoreLookup = QUrl(QStringLiteral("https://itunes.apple.com"));
    endpoints.webSearch = QUrl(QStringLiteral("https://duckduckgo.com"));
    endpoints.homebrewInstallScript = QUrl(QStringLiteral("https://raw.githubusercontent.com"));
    return endpoints;
}

void Endpoints::setIdleTimeout(std::chrono::milliseconds timeout) {
    catalogueLimits.idleTimeout = timeout;
    lookupLimits.idleTimeout = timeout;
    workerLimits.idleTimeout = timeout;
}

QUrl endpointAddress(const QUrl &host, const QString &pathAndQuery) {
    if (!host.isValid() || host.isRelative() || host.host().isEmpty())
        return {};
    QUrl address(host.scheme() + QStringLiteral("://") + host.authority(QUrl::FullyEncoded) + pathAndQuery,
                 QUrl::StrictMode);
    if (!address.isValid())
        return {};
    return address;
}

platform::Result<QUrl> parseEndpointHost(const QString &text) {
    const QUrl url(text, QUrl::StrictMode);
    const bool hostOnly = url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") &&
                          !url.host().isEmpty() && url.userInfo().isEmpty() && !url.hasQuery() &&
                          !url.hasFragment() && (url.path().isEmpty() || url.path() == u"/");
    if (!hostOnly)
        return platform::fail(QStringLiteral("\"%1\" is not a service address; expected http:// or https://, "
                                             "a host and an optional port, such as http://127.0.0.1:8080")
                                  .arg(text));
    QUrl host;
    host.setScheme(url.scheme());
    host.setHost(url.host());
    host.setPort(url.port());
    return host;
}

} // namespace inventory
