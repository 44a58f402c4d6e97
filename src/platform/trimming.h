#pragma once

#include <QStringView>

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

} // namespace platform
