#include "platform/propertylistentries.h"

#include "platform/propertylistguard.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// Keys are compared as UTF-8 bytes: cheaper than making a QString of every key in a file.
class WantedKeys {
public:
    explicit WantedKeys(const QStringList &keys)
        : m_keys(keys) {
        m_utf8.reserve(keys.size());
        for (const QString &key : keys)
            m_utf8.append(key.toUtf8());
    }
    // The key as text when it is one of the wanted ones.
    std::optional<QString> match(QByteArrayView utf8) const {
        if (std::all_of(utf8.cbegin(), utf8.cend(), [](char c) { return static_cast<uchar>(c) < 0x80; })) {
            for (qsizetype i = 0; i < m_utf8.size(); ++i) {
                if (m_utf8.at(i) == utf8)
                    return m_keys.at(i);
            }
            return std::nullopt;
        }
        QString name = QString::fromUtf8(utf8);
        if (m_keys.contains(name))
            return name;
        return std::nullopt;
    }
    bool contains(const QString &key) const { return m_keys.contains(key); }

private:
    const QStringList &m_keys;
    QList<QByteArray> m_utf8;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// --- XML -------------------------------------------------------------------------------------------

// The everyday XML form: an optional <?xml?> declaration and DOCTYPE, <plist> around one <dict>, bare
// element tags without attributes, text with the five named entities and character references. No
// comments, CDATA sections, processing instructions inside, or leading zeros in integers (which the
// general parser would read as octal). Anything else ends the quick read.
class XmlEntryReader {
public:
    XmlEntryReader(QByteArrayView bytes, const QStringList &keys)
        : m_p(bytes.data())
        , m_end(bytes.data() + bytes.size())
        , m_wanted(keys) {}

    std::optional<QVariantMap> read() {
        // NUL bytes end C strings halfway in the general parser; leave such files to it.
        if (std::memchr(m_p, 0, static_cast<size_t>(m_end - m_p)))
            return std::nullopt;
        skipSpace();
        if (take("<?xml")) {
            if (!skipPastDeclarationEnd())
                return std::nullopt;
            skipSpace();
        }
        if (take("<!DOCTYPE")) {
            if (!findOutsideQuotes("[>") || *m_p == '[')
                return std::nullopt;
            ++m_p;
            skipSpace();
        }
        if (!take("<plist") || m_p == m_end || !(*m_p == '>' || isSpace(*m_p)))
            return std::nullopt;
        if (!findOutsideQuotes("<>") || *m_p == '<' || m_p[-1] == '/')
            return std::nullopt;
        ++m_p;
        skipSpace();

        const auto top = openTag();
        if (!top || top->tag != Tag::dict)
            return std::nullopt;
        QVariantMap entries;
        if (!top->empty && !dictBody(0, &entries))
            return std::nullopt;
        skipSpace();
        if (!take("</plist>"))
            return std::nullopt;
        skipSpace();
        // A dictionary holding nothing but "CF$UID" is read as a keyed-archive reference by the
        // general parser; leave that oddity to it.
        if (m_p != m_end || (m_sawKey && m_onlyUidKeys))
            return std::nullopt;
        return entries;
    }

private:
    enum class Tag { dict, array, key, string, integer, real, date, data, trueValue, falseValue };
    struct Open {
        Tag tag;
        bool empty;
    };

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    void skipSpace() {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    bool at(std::string_view s) const {
        return static_cast<size_t>(m_end - m_p) >= s.size() && std::memcmp(m_p, s.data(), s.size()) == 0;
    }
    bool take(std::string_view s) {
        if (!at(s))
            return false;
        m_p += s.size();
        return true;
    }
    // Moves to the first of `stops` outside double quotes, which is how declarations and attributes
    // are scanned: a '>' inside quotes does not end them. False at the end of the input.
    bool findOutsideQuotes(std::string_view stops) {
        while (m_p < m_end) {
            if (*m_p == '"') {
                const void *close = std::memchr(m_p + 1, '"', static_cast<size_t>(m_end - m_p - 1));
                if (!close)
                    return false;
                m_p = static_cast<const char *>(close) + 1;
                continue;
            }
            if (stops.find(*m_p) != std::string_view::npos)
                return true;
            ++m_p;
        }
        return false;
    }
    bool skipPastDeclarationEnd() {
        while (findOutsideQuotes("?")) {
            if (take("?>"))
                return true;
            ++m_p;
        }
        return false;
    }

    static std::string_view nameOf(Tag tag) {
        switch (tag) {
        case Tag::dict:
            return "dict";
        case Tag::array:
            return "array";
        case Tag::key:
            return "key";
        case Tag::string:
            return "string";
        case Tag::integer:
            return "integer";
        case Tag::real:
            return "real";
        case Tag::date:
            return "date";
        case Tag::data:
            return "data";
        case Tag::trueValue:
            return "true";
        case Tag::falseValue:
            return "false";
        }
        return {};
    }

    // <name> or <name/>, nothing else inside the angle brackets.
    std::optional<Open> openTag() {
        if (m_p == m_end || *m_p != '<')
            return std::nullopt;
        const char *name = m_p + 1;
        const char *q = name;
        while (q < m_end && *q >= 'a' && *q <= 'z')
            ++q;
        if (q == m_end)
            return std::nullopt;
        bool empty = false;
        if (*q == '/') {
            empty = true;
            ++q;
            if (q == m_end)
                return std::nullopt;
        }
        if (*q != '>')
            return std::nullopt;
        const std::string_view text(name, static_cast<size_t>(q - name - (empty ? 1 : 0)));
        for (const Tag tag : {Tag::key, Tag::string, Tag::dict, Tag::array, Tag::integer, Tag::trueValue,
                              Tag::falseValue, Tag::real, Tag::date, Tag::data}) {
            if (text == nameOf(tag)) {
                m_p = q + 1;
                return Open{tag, empty};
            }
        }
        return std::nullopt;
    }

    bool closeTag(Tag tag) {
        const std::string_view name = nameOf(tag);
        if (!take("</") || !take(name) || !take(">"))
            return false;
        return true;
    }

    // Raw character data up to the next '<'; no entities, no NUL bytes.
    std::optional<std::string_view> rawText() {
        const char *start = m_p;
        const void *lt = std::memchr(m_p, '<', static_cast<size_t>(m_end - m_p));
        if (!lt)
            return std::nullopt;
        m_p = static_cast<const char *>(lt);
        const std::string_view text(start, static_cast<size_t>(m_p - start));
        if (text.find('\0') != std::string_view::npos || text.find('&') != std::string_view::npos)
            return std::nullopt;
        return text;
    }

    static void appendUtf8(QByteArray &out, char32_t c) {
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

    // One entity after its '&': the five named ones and character references of at most six hex or
    // seven decimal digits, naming a character other than NUL or a surrogate.
    bool entity(QByteArray *out) {
        static constexpr std::pair<std::string_view, char> named[] = {
            {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
        for (const auto &[name, c] : named) {
            if (take(name)) {
                if (out)
                    *out += c;
                return true;
            }
        }
        if (!take("#"))
            return false;
        const bool hex = take("x");
        char32_t value = 0;
        int digits = 0;
        for (; m_p < m_end && *m_p != ';'; ++m_p, ++digits) {
            const char c = *m_p;
            int digit;
            if (isDigit(c))
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return false;
            if (digits == (hex ? 6 : 7))
                return false;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        if (!take(";") || digits == 0 || value == 0 || value > 0x10FFFF ||
            (value >= 0xD800 && value <= 0xDFFF))
            return false;
        if (out)
            appendUtf8(*out, value);
        return true;
    }

    // Character data up to the next '<' with its entities resolved; appended to `out` when given.
    bool text(QByteArray *out) {
        for (;;) {
            const char *start = m_p;
            const char *stop = start;
            while (stop < m_end && *stop != '<' && *stop != '&' && *stop != '\0')
                ++stop;
            if (out)
                out->append(start, stop - start);
            m_p = stop;
            if (m_p == m_end || *m_p == '\0')
                return false;
            if (*m_p == '<')
                return true;
            ++m_p;
            if (!entity(out))
                return false;
        }
    }

    bool dictBody(int depth, QVariantMap *top) {
        for (;;) {
            skipSpace();
            if (take("</dict>"))
                return true;
            const auto keyTag = openTag();
            if (!keyTag || keyTag->tag != Tag::key)
                return false;
            m_key.clear();
            if (!keyTag->empty && !(text(&m_key) && closeTag(Tag::key)))
                return false;
            skipSpace();
            const auto valueTag = openTag();
            if (!valueTag || valueTag->tag == Tag::key)
                return false;
            if (!top) {
                if (!value(*valueTag, depth + 1, nullptr))
                    return false;
                continue;
            }
            m_sawKey = true;
            if (m_key != QByteArrayView("CF$UID"))
                m_onlyUidKeys = false;
            const auto name = m_wanted.match(m_key);
            if (!name) {
                if (!value(*valueTag, depth + 1, nullptr))
                    return false;
                continue;
            }
            QVariant converted;
            if (!value(*valueTag, depth + 1, &converted))
                return false;
            top->insert(*name, std::move(converted));
        }
    }

    bool arrayBody(int depth) {
        for (;;) {
            skipSpace();
            if (take("</array>"))
                return true;
            const auto open = openTag();
            if (!open || open->tag == Tag::key || !value(*open, depth + 1, nullptr))
                return false;
        }
    }

    static bool integerText(std::string_view text, qint64 *value) {
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

    static bool realText(std::string_view text) {
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

    static bool dateText(std::string_view text) {
        static constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
        if (text.size() != shape.size())
            return false;
        for (size_t i = 0; i < shape.size(); ++i) {
            if (shape[i] == 'd' ? !isDigit(text[i]) : text[i] != shape[i])
                return false;
        }
        return true;
    }

    static bool base64Text(std::string_view text) {
        return std::all_of(text.cbegin(), text.cend(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '+' || c == '/' ||
                   c == '=' || isSpace(c);
        });
    }

    // One value whose opening tag has been read. `out` is set only for text, booleans and integers;
    // a wanted value of any other kind ends the quick read.
    bool value(const Open &open, int depth, QVariant *out) {
        if (depth > maxPropertyListDepth)
            return false;
        switch (open.tag) {
        case Tag::dict:
            return !out && (open.empty || dictBody(depth, nullptr));
        case Tag::array:
            return !out && (open.empty || arrayBody(depth));
        case Tag::string: {
            if (open.empty) {
                if (out)
                    *out = QString();
                return true;
            }
            if (!out)
                return text(nullptr) && closeTag(Tag::string);
            m_value.clear();
            if (!text(&m_value) || !closeTag(Tag::string))
                return false;
            *out = QString::fromUtf8(m_value);
            return true;
        }
        case Tag::integer: {
            const auto raw = open.empty ? std::nullopt : rawText();
            qint64 number = 0;
            if (!raw || !integerText(*raw, &number) || !closeTag(Tag::integer))
                return false;
            if (out)
                *out = number;
            return true;
        }
        case Tag::real: {
            const auto raw = open.empty ? std::nullopt : rawText();
            return !out && raw && realText(*raw) && closeTag(Tag::real);
        }
        case Tag::date: {
            const auto raw = open.empty ? std::nullopt : rawText();
            return !out && raw && dateText(*raw) && closeTag(Tag::date);
        }
        case Tag::data: {
            const auto raw = open.empty ? std::nullopt : rawText();
            return !out && raw && base64Text(*raw) && closeTag(Tag::data);
        }
        case Tag::trueValue:
        case Tag::falseValue:
            if (!open.empty)
                return false;
            if (out)
                *out = open.tag == Tag::trueValue;
            return true;
        case Tag::key:
            break;
        }
        return false;
    }

    const char *m_p;
    const char *m_end;
    WantedKeys m_wanted;
    QByteArray m_key;
    QByteArray m_value;
    bool m_sawKey = false;
    bool m_onlyUidKeys = true;
};

// --- binary ----------------------------------------------------------------------------------------

// The "bplist00" form with 1-, 2-, 4- or 8-byte offsets and references, and objects of the kinds
// applications use: booleans, integers of up to 8 bytes, reals, dates, data, strings, arrays and
// dictionaries with string keys. Every object reachable from the top is checked once (shared objects
// are not walked again); cycles, empty UTF-16 strings (which the general parser refuses), NUL
// characters in keys or wanted values, and unpaired surrogates in them end the quick read.
class BinaryEntryReader {
public:
    BinaryEntryReader(QByteArrayView bytes, const QStringList &keys)
        : m_data(reinterpret_cast<const uchar *>(bytes.data()))
        , m_size(static_cast<quint64>(bytes.size()))
        , m_wanted(keys) {}

    std::optional<QVariantMap> read() {
        if (m_size < 40 || std::memcmp(m_data, "bplist00", 8) != 0)
            return std::nullopt;
        const quint64 trailer = m_size - 32;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        const quint64 count = readUInt(trailer + 8, 8);
        const quint64 top = readUInt(trailer + 16, 8);
        m_table = readUInt(trailer + 24, 8);
        if (!validIntSize(m_offsetSize) || !validIntSize(m_refSize) || count == 0 || top >= count ||
            m_table < 8 || m_table >= trailer || count > (trailer - m_table) / m_offsetSize)
            return std::nullopt;
        m_count = count;
        m_heights.assign(static_cast<size_t>(count), unvisited);

        const int height = visit(top, 0);
        if (height < 0 || height > maxPropertyListDepth)
            return std::nullopt;
        const auto root = object(top);
        if (!root || root->type != 0xD)
            return std::nullopt;

        QVariantMap entries;
        for (quint64 i = 0; i < root->length; ++i) {
            const auto key = object(readUInt(root->start + i * m_refSize, m_refSize));
            const auto value = object(readUInt(root->start + (root->length + i) * m_refSize, m_refSize));
            if (!key || !value)
                return std::nullopt;
            std::optional<QString> name;
            if (key->type == 0x5) {
                const QByteArrayView bytes(m_data + key->start, static_cast<qsizetype>(key->length));
                if (bytes.contains('\0'))
                    return std::nullopt;
                name = m_wanted.match(bytes);
            } else {
                const auto keyText = text(*key);
                if (!keyText)
                    return std::nullopt;
                if (m_wanted.contains(*keyText))
                    name = keyText;
            }
            if (!name)
                continue;
            const auto converted = scalar(*value);
            if (!converted)
                return std::nullopt;
            entries.insert(*name, *converted);
        }
        return entries;
    }

private:
    struct Object {
        quint8 type;
        quint8 info;
        quint64 length; // elements for data, strings, arrays and dictionaries
        quint64 start;  // first byte after the marker and length
    };

    static constexpr int unvisited = -1;
    static constexpr int inProgress = -2;

    static bool validIntSize(int size) { return size == 1 || size == 2 || size == 4 || size == 8; }

    quint64 readUInt(quint64 at, int size) const {
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | m_data[at + static_cast<quint64>(i)];
        return value;
    }

    // The object at `index`, its bytes checked to lie before the offset table.
    std::optional<Object> object(quint64 index) const {
        const quint64 offset = readUInt(m_table + index * m_offsetSize, m_offsetSize);
        if (offset < 8 || offset >= m_table)
            return std::nullopt;
        Object o{static_cast<quint8>(m_data[offset] >> 4), static_cast<quint8>(m_data[offset] & 0xF), 0,
                 offset + 1};
        quint64 bytes = 0;
        switch (o.type) {
        case 0x0:
            if (o.info != 0x8 && o.info != 0x9)
                return std::nullopt;
            break;
        case 0x1:
            if (o.info > 3)
                return std::nullopt;
            bytes = quint64(1) << o.info;
            break;
        case 0x2:
            if (o.info != 2 && o.info != 3)
                return std::nullopt;
            bytes = quint64(1) << o.info;
            break;
        case 0x3:
            if (o.info != 3)
                return std::nullopt;
            bytes = 8;
            break;
        case 0x4:
        case 0x5:
        case 0x6:
        case 0xA:
        case 0xD: {
            o.length = o.info;
            if (o.info == 0xF) {
                if (o.start >= m_table)
                    return std::nullopt;
                const uchar marker = m_data[o.start];
                if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
                    return std::nullopt;
                const int size = 1 << (marker & 0xF);
                if (o.start + 1 + static_cast<quint64>(size) > m_table)
                    return std::nullopt;
                o.length = readUInt(o.start + 1, size);
                o.start += 1 + static_cast<quint64>(size);
            }
            const quint64 unit = o.type == 0x6   ? 2
                                 : o.type == 0xA ? m_refSize
                                 : o.type == 0xD ? 2 * m_refSize
                                                 : 1;
            if (o.length > (m_table - std::min(o.start, m_table)) / unit)
                return std::nullopt;
            bytes = o.length * unit;
            break;
        }
        default:
            return std::nullopt;
        }
        if (o.start > m_table || bytes > m_table - o.start)
            return std::nullopt;
        return o;
    }

    bool reference(quint64 at, quint64 *index) const {
        *index = readUInt(at, m_refSize);
        return *index < m_count;
    }

    // The nesting below the object, checked once per object; negative when the quick read must stop.
    int visit(quint64 index, int depth) {
        if (depth > maxPropertyListDepth)
            return -1;
        int &height = m_heights[static_cast<size_t>(index)];
        if (height >= 0)
            return height;
        if (height == inProgress)
            return -1;
        const auto o = object(index);
        if (!o || (o->type == 0x6 && o->length == 0))
            return -1;
        height = inProgress;
        int below = 0;
        if (o->type == 0xA || o->type == 0xD) {
            const quint64 values = o->type == 0xD ? o->length : 0;
            for (quint64 i = 0; i < o->length; ++i) {
                quint64 child = 0;
                if (o->type == 0xD) {
                    if (!reference(o->start + i * m_refSize, &child))
                        return -1;
                    const auto key = object(child);
                    if (!key || (key->type != 0x5 && key->type != 0x6) ||
                        (key->type == 0x6 && key->length == 0))
                        return -1;
                }
                if (!reference(o->start + (values + i) * m_refSize, &child))
                    return -1;
                const int childHeight = visit(child, depth + 1);
                if (childHeight < 0)
                    return -1;
                below = std::max(below, childHeight + 1);
            }
        }
        m_heights[static_cast<size_t>(index)] = below;
        return below;
    }

    // A string object's text; absent for other objects and for text the general parser would alter
    // (NUL characters, unpaired surrogates).
    std::optional<QString> text(const Object &o) const {
        const auto *bytes = m_data + o.start;
        if (o.type == 0x5) {
            const auto size = static_cast<qsizetype>(o.length);
            if (std::memchr(bytes, 0, static_cast<size_t>(size)))
                return std::nullopt;
            return QString::fromUtf8(reinterpret_cast<const char *>(bytes), size);
        }
        if (o.type != 0x6)
            return std::nullopt;
        QString result(static_cast<qsizetype>(o.length), Qt::Uninitialized);
        QChar *out = result.data();
        for (quint64 i = 0; i < o.length; ++i)
            out[i] = QChar(static_cast<char16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]));
        for (qsizetype i = 0; i < result.size(); ++i) {
            const QChar c = result.at(i);
            if (c.isNull())
                return std::nullopt;
            if (c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                return std::nullopt;
        }
        return result;
    }

    std::optional<QVariant> scalar(const Object &o) const {
        switch (o.type) {
        case 0x0:
            return QVariant(o.info == 0x9);
        case 0x1:
            return QVariant(static_cast<qint64>(readUInt(o.start, 1 << o.info)));
        case 0x5:
        case 0x6:
            if (auto t = text(o))
                return QVariant(std::move(*t));
            return std::nullopt;
        default:
            return std::nullopt;
        }
    }

    const uchar *m_data;
    quint64 m_size;
    WantedKeys m_wanted;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_count = 0;
    quint64 m_table = 0;
    std::vector<int> m_heights;
};

} // namespace

// Both decline what the general parser refuses outright, so that they agree with it there as well.
std::optional<QVariantMap> quickXmlEntries(QByteArrayView bytes, const QStringList &keys) {
    if (bytes.isEmpty() || !isSafeForGeneralParser(bytes)) // an empty view may have no data pointer
        return std::nullopt;
    return XmlEntryReader(bytes, keys).read();
}

std::optional<QVariantMap> quickBinaryEntries(QByteArrayView bytes, const QStringList &keys) {
    if (!isSafeForGeneralParser(bytes))
        return std::nullopt;
    return BinaryEntryReader(bytes, keys).read();
}

} // namespace platform
