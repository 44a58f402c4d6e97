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

QUrl endpointAddress(const QUrl &host, const QString &pathAndQuery) {
    if (!host.isValid() || host.isRelative() || host.host().isEmpty())
        return {};
    QUrl address(host.scheme() + QStringLiteral("://") + host.authority(QUrl::FullyEncoded) + pathAndQuery,
                 QUrl::StrictMode);
    if (!address.isValid())
        return {};
    return address;
}

std::optional<QUrl> parseEndpointHost(const QString &text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty())
        return std::nullopt;
    if (!url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    if (!url.path().isEmpty() && url.path() != u"/")
        return std::nullopt;
    QUrl host;
    host.setScheme(url.scheme());
    host.setHost(url.host());
    host.setPort(url.port());
    return host;
}

} // namespace inventory
