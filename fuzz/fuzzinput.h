#pragma once

// The input format the text-writing targets share. The bytes are cut into fields at every 0xFF byte,
// which UTF-8 never uses. A field is read as UTF-8 (broken sequences become U+FFFD), unless it starts
// with 0xFE, also never UTF-8: then the rest is taken as raw UTF-16 code units in host order, so that
// lone surrogates and every control character can occur as they could in a QString from elsewhere.

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzzing {

inline QByteArrayView bytesOf(const uint8_t *data, size_t size) {
    return QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

inline QList<QByteArrayView> fields(QByteArrayView bytes) {
    QList<QByteArrayView> result;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || static_cast<uint8_t>(bytes[i]) == 0xFF) {
            result.append(bytes.sliced(start, i - start));
            start = i + 1;
        }
    }
    return result;
}

inline QString text(QByteArrayView field) {
    if (field.isEmpty() || static_cast<uint8_t>(field.front()) != 0xFE)
        return QString::fromUtf8(field);
    // Copied rather than cast: the bytes need not be aligned for char16_t.
    const qsizetype units = (field.size() - 1) / 2;
    QString result(units, Qt::Uninitialized);
    std::memcpy(result.data(), field.data() + 1, static_cast<size_t>(units) * sizeof(char16_t));
    return result;
}

// `text` as a UTF-8 string can hold it: a surrogate without its partner becomes U+FFFD.
inline QString withoutLoneSurrogates(const QString &text) {
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (result[i].isHighSurrogate() && i + 1 < result.size() && result[i + 1].isLowSurrogate())
            ++i;
        else if (result[i].isSurrogate())
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

// The text with every character outside printable ASCII shown as \u{hex}, for failure reports.
inline QByteArray shown(const QString &text) {
    QByteArray out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += static_cast<char>(c.unicode());
        else
            out += "\\u{" + QByteArray::number(c.unicode(), 16) + '}';
    }
    return out;
}

[[noreturn]] inline void fail(const char *what, const QString &detail) {
    std::fprintf(stderr, "%s\n%s\n", what, shown(detail).constData());
    std::abort();
}

inline void require(bool condition, const char *what, const QString &detail) {
    if (!condition)
        fail(what, detail);
}

} // namespace fuzzing
