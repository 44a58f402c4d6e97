#include "restore/loginitemstate.h"

namespace restore {

QString toText(LoginItemState state) {
    switch (state) {
    case LoginItemState::alreadySet:
        return QStringLiteral("alreadySet");
    case LoginItemState::willAdd:
        return QStringLiteral("willAdd");
    case LoginItemState::needsApp:
        break;
    }
    return QStringLiteral("needsApp");
}

} // namespace restore
