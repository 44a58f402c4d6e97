#include "sync/syncerror.h"

#include "platform/trimming.h"

#include <QCoreApplication>

namespace syncing {

QString SyncError::description() const {
    switch (kind) {
    case Kind::notConfigured:
        return QCoreApplication::translate("syncing::SyncError",
                                           "Set your Worker URL and token in Settings first.");
    case Kind::badURL:
        return QCoreApplication::translate("syncing::SyncError", "The Worker URL isn't valid.");
    case Kind::insecureURL:
        return QCoreApplication::translate(
            "syncing::SyncError",
            "The Worker URL must start with https:// so the token travels encrypted; "
            "http:// is only for a Worker on this computer (localhost, 127.0.0.1 or [::1]).");
    case Kind::http:
        // Usually the Worker's own short explanation; but a proxy's or a portal's whole page would
        // bury the message, so only the start of it is quoted, on one line.
        return QCoreApplication::translate("syncing::SyncError", "Server returned %1: %2")
            .arg(QString::number(statusCode), platform::oneLineExcerpt(body));
    case Kind::decode:
        return QCoreApplication::translate("syncing::SyncError", "Couldn't read the server response.");
    case Kind::transport:
        return transportMessage;
    }
    return transportMessage;
}

} // namespace syncing
