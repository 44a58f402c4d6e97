#include "tools/systemevents.h"

namespace tools::systemEvents {

QStringList listLoginItemsArguments() {
    // "-s s" prints the answer as AppleScript source, a list of quoted texts: a name with a comma in
    // it stays one name.
    return {QStringLiteral("-s"), QStringLiteral("s"), QStringLiteral("-e"),
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

std::optional<QStringList> parseLoginItemNames(const QString &output) {
    const QStringView text = QStringView(output).trimmed();
    if (!text.startsWith(u'{') || !text.endsWith(u'}'))
        return std::nullopt;
    QStringList names;
    qsizetype i = 1;
    const qsizetype end = text.size() - 1;
    const auto skipSpaces = [&] {
        while (i < end && text.at(i).isSpace())
            ++i;
    };
    skipSpaces();
    while (i < end) {
        if (text.at(i) != u'"')
            return std::nullopt;
        QString name;
        bool closed = false;
        for (++i; i < end; ++i) {
            const QChar c = text.at(i);
            if (c == u'"') {
                closed = true;
                ++i;
                break;
            }
            if (c == u'\\' && i + 1 < end) {
                const QChar next = text.at(++i);
                name += next == u'n'   ? QChar(u'\n')
                        : next == u'r' ? QChar(u'\r')
                        : next == u't' ? QChar(u'\t')
                                       : next;
                continue;
            }
            name += c;
        }
        if (!closed)
            return std::nullopt;
        names.append(name);
        skipSpaces();
        if (i < end) {
            if (text.at(i) != u',')
                return std::nullopt;
            ++i;
            skipSpaces();
        }
    }
    return names;
}

std::optional<QString> refusalReason(const QString &errors) {
    // What osascript prints when the person declined, or has not yet allowed, the Automation prompt.
    if (errors.contains(QStringLiteral("(-1743)")))
        return QStringLiteral(
            "Haulwise isn't allowed to control System Events. Allow it in System Settings → "
            "Privacy & Security → Automation.");
    return std::nullopt;
}

} // namespace tools::systemEvents
