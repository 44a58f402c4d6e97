#include "platform/shellquote.h"

#include <algorithm>

namespace platform {

QString shellQuotedPath(const QString &path) {
    // Inside double quotes bash still expands $ and backticks and treats \ and " specially; nothing
    // else (history expansion is off in scripts).
    const bool plain = std::none_of(path.cbegin(), path.cend(), [](QChar c) {
        return c == u'"' || c == u'$' || c == u'`' || c == u'\\';
    });
    if (plain)
        return u'"' + path + u'"';
    return shellSingleQuoted(path);
}

QString shellSingleQuoted(const QString &text) {
    QString quoted = text;
    quoted.replace(u'\'', QLatin1StringView("'\\''"));
    return u'\'' + quoted + u'\'';
}

} // namespace platform
