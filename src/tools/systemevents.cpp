#include "tools/systemevents.h"

namespace tools::systemEvents {

QStringList listLoginItemsArguments() {
    return {QStringLiteral("-e"),
            QStringLiteral("tell application \"System Events\" to get the name of every login item")};
}

QString escapeAppleScriptString(const QString &text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\u201C' || c == u'\u201D') {
            // The compiler takes curly double quotes for straight ones, so inside a literal one would
            // end it; it is joined on as the character it is instead.
            escaped += QStringLiteral("\" & (character id %1) & \"").arg(c.unicode());
            continue;
        }
        if (c == u'\\' || c == u'"')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

QStringList makeLoginItemArguments(const QString &path, const QString &name) {
    return {QStringLiteral("-e"),
            QStringLiteral("tell application \"System Events\" to make login item at end with properties "
                           "{path:\"%1\", hidden:false, name:\"%2\"}")
                .arg(escapeAppleScriptString(path), escapeAppleScriptString(name))};
}

QStringList parseLoginItemNames(const QString &output) {
    QStringList names;
    for (const QStringView piece : QStringView(output).split(u',', Qt::SkipEmptyParts)) {
        const QStringView name = piece.trimmed();
        if (!name.isEmpty())
            names.append(name.toString());
    }
    return names;
}

} // namespace tools::systemEvents
