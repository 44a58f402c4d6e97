#include "platform/propertylistxmltext.h"

#include <algorithm>
#include <limits>

namespace platform::xmltext {

void appendUtf8(QByteArray &out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool integerText(std::string_view text, qint64 *value) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || (text.front() == '0' && text.size() > 1))
        return false;
    quint64 magnitude = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return false;
        const auto digit = static_cast<quint64>(c - '0');
        if (magnitude > (std::numeric_limits<quint64>::max() - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    if (negative && magnitude > (quint64(1) << 63))
        return false;
    // Both parsers keep the 64 bits; values above the signed range wrap as they do there.
    *value = static_cast<qint64>(negative ? 0 - magnitude : magnitude);
    return true;
}

bool realText(std::string_view text) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        return i > start;
    };
    if (i < text.size() && text[i] == '-')
        ++i;
    if (!digits())
        return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits())
            return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (!digits())
            return false;
    }
    return i == text.size();
}

bool dateText(std::string_view text) {
    static constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !isDigit(text[i]) : text[i] != shape[i])
            return false;
    }
    return true;
}

bool base64Text(std::string_view text) {
    return std::all_of(text.cbegin(), text.cend(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '+' || c == '/' ||
               c == '=' || isSpace(c);
    });
}

} // namespace platform::xmltext
