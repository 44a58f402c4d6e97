#include "platform/network.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <climits>

namespace platform {

QNetworkAccessManager *network() {
    QCoreApplication *app = QCoreApplication::instance();
    Q_ASSERT_X(app, "platform::network", "needs a QCoreApplication");
    Q_ASSERT_X(QThread::currentThread() == app->thread(), "platform::network",
               "the shared network access manager is used from the main thread only");
    // Parented to the application, so a test harness that makes a new application gets a new manager.
    static QPointer<QNetworkAccessManager> shared;
    if (!shared)
        shared = new QNetworkAccessManager(app);
    return shared;
}

bool isTransportFailure(const QNetworkReply &reply) {
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return false;
    if (error < QNetworkReply::ContentAccessDenied)
        return true;
    return !reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

QNetworkRequest makeRequest(const QUrl &url, std::chrono::milliseconds transferTimeout) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(std::clamp<qint64>(transferTimeout.count(), 1, INT_MAX)));
    return request;
}

} // namespace platform
