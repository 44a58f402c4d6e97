#include "model/appsource.h"

namespace model {

QString toJsonText(AppSource source) {
    switch (source) {
    case AppSource::appStore:
        return QStringLiteral("appStore");
    case AppSource::cask:
        return QStringLiteral("cask");
    case AppSource::manual:
        return QStringLiteral("manual");
    case AppSource::apple:
        return QStringLiteral("apple");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<AppSource> appSourceFromJsonText(QStringView text) {
    for (auto source : {AppSource::appStore, AppSource::cask, AppSource::manual, AppSource::apple}) {
        if (text == toJsonText(source))
            return source;
    }
    return std::nullopt;
}

} // namespace model
