#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <string_view>

// The character data of the XML property-list form as the quick XML reader takes it: only the shapes
// the general parser reads the same way, so that where the two disagree the quick read ends instead.
namespace platform::xmltext {

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Appends a Unicode scalar value (not a surrogate) as UTF-8.
void appendUtf8(QByteArray &out, char32_t c);

// The value of <integer> text: decimal, no leading zeros (the general parser would read them as
// octal), within 64 bits.
bool integerText(std::string_view text, qint64 *value);
// Whether the text is a decimal <real>, an ISO 8601 <date> in UTC to the second, or base-64 <data>.
bool realText(std::string_view text);
bool dateText(std::string_view text);
bool base64Text(std::string_view text);

} // namespace platform::xmltext
