#include "sync/syncerror.h"

namespace syncing {

QString SyncError::description() const {
    switch (kind) {
    case Kind::notConfigured:
        return QStringLiteral("Set your Worker URL and token in Settings first.");
    case Kind::badURL:
        return QStringLiteral("The Worker URL isn't valid.");
    case Kind::http:
        // The body is shown whole: it is usually the Worker's own short explanation.
        return QStringLiteral("Server returned ") + QString::number(statusCode) + QStringLiteral(": ") + body;
    case Kind::decode:
        return QStringLiteral("Couldn't read the server response.");
    case Kind::transport:
        return transportMessage;
    }
    return transportMessage;
}

} // namespace syncing
