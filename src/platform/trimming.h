#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>

namespace platform {

// The text without spaces and tabs at either end. Line breaks and every other kind of white space are
// kept: a Worker URL with a stray line break is to be reported, not silently repaired, and a tool's
// line keeps whatever its value holds beyond the padding.
inline QStringView trimSpacesAndTabs(QStringView text) {
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Text a server sent, fit to be quoted in a one-line message: every run of white space and control
// characters becomes one space, and past `limit` characters it is cut (never inside a character) and
// ends with "…". A server's whole error page would otherwise bury the message it is quoted in.
inline QString oneLineExcerpt(QStringView text, qsizetype limit = 300) {
    QString line;
    line.reserve(std::min(text.size(), limit + 1));
    bool gap = false;
    for (qsizetype i = 0; i < text.size() && line.size() <= limit; ++i) {
        const QChar c = text[i];
        if (c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph) {
            gap = !line.isEmpty();
            continue;
        }
        if (gap)
            line += u' ';
        gap = false;
        line += c;
    }
    if (line.size() <= limit)
        return line;
    qsizetype cut = limit;
    if (line.at(cut - 1).isHighSurrogate())
        --cut;
    line.truncate(cut);
    while (line.endsWith(u' '))
        line.chop(1);
    return line + QChar(0x2026);
}

} // namespace platform
