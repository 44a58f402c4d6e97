#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// AppleScript text read back the way the script compiler reads it, for the tests and the fuzz target
// of the login-item command: whatever the escaper writes must come back as exactly its input.
namespace appleScriptText {

// Reads the AppleScript string literal that starts at `pos` (on its opening quotation mark) the way
// the script compiler does: \" and \\ stand for the character itself, \n, \r and \t for line feed,
// return and tab, and any other backslash is a compile error; the first unescaped quotation mark
// ends the literal, and so does a curly one, which the compiler takes for a straight one. Leaves
// `pos` just past the closing mark. Absent when the literal is malformed.
inline std::optional<QString> readAppleScriptLiteral(QStringView script, qsizetype &pos) {
    if (pos >= script.size() || script.at(pos) != u'"')
        return std::nullopt;
    QString value;
    for (qsizetype i = pos + 1; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (c == u'\u201C' || c == u'\u201D')
            return std::nullopt;
        if (c == u'"') {
            pos = i + 1;
            return value;
        }
        if (c != u'\\') {
            value += c;
            continue;
        }
        if (++i == script.size())
            return std::nullopt;
        switch (script.at(i).unicode()) {
        case u'"':
        case u'\\':
            value += script.at(i);
            break;
        case u'n':
            value += u'\n';
            break;
        case u'r':
            value += u'\r';
            break;
        case u't':
            value += u'\t';
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

inline bool expectText(QStringView script, qsizetype &pos, QStringView text) {
    if (!script.sliced(pos).startsWith(text))
        return false;
    pos += text.size();
    return true;
}

// Literals joined by `& (character id N) &`, as a curly quote is written.
inline std::optional<QString> readAppleScriptText(QStringView script, qsizetype &pos) {
    std::optional<QString> value = readAppleScriptLiteral(script, pos);
    while (value && expectText(script, pos, u" & (character id ")) {
        const qsizetype digits = pos;
        while (pos < script.size() && script.at(pos).isDigit())
            ++pos;
        const char32_t code = script.sliced(digits, pos - digits).toUInt();
        const auto rest =
            expectText(script, pos, u") & ") ? readAppleScriptLiteral(script, pos) : std::nullopt;
        if (!rest)
            return std::nullopt;
        *value += QString::fromUcs4(&code, 1) + *rest;
    }
    return value;
}

} // namespace appleScriptText
