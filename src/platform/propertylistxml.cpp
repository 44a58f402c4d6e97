#include "platform/propertylistxml.h"

#include "platform/propertylist.h"
#include "platform/propertylistguard.h"
#include "platform/propertylistxmltext.h"
#include "platform/wantedkeys.h"

#include <QString>

#include <cstring>
#include <string_view>
#include <utility>

namespace platform {

namespace {

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
        if (!take("<plist") || m_p == m_end || !(*m_p == '>' || xmltext::isSpace(*m_p)))
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

    void skipSpace() {
        while (m_p < m_end && xmltext::isSpace(*m_p))
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
            if (xmltext::isDigit(c))
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
            xmltext::appendUtf8(*out, value);
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
            if (!raw || !xmltext::integerText(*raw, &number) || !closeTag(Tag::integer))
                return false;
            if (out)
                *out = number;
            return true;
        }
        case Tag::real: {
            const auto raw = open.empty ? std::nullopt : rawText();
            return !out && raw && xmltext::realText(*raw) && closeTag(Tag::real);
        }
        case Tag::date: {
            const auto raw = open.empty ? std::nullopt : rawText();
            return !out && raw && xmltext::dateText(*raw) && closeTag(Tag::date);
        }
        case Tag::data: {
            const auto raw = open.empty ? std::nullopt : rawText();
            return !out && raw && xmltext::base64Text(*raw) && closeTag(Tag::data);
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

} // namespace

std::optional<QVariantMap> quickXmlEntries(QByteArrayView bytes, const QStringList &keys) {
    // Declines what the general parser refuses outright, so that it agrees with it there as well.
    if (bytes.isEmpty() || !isSafeForGeneralParser(bytes)) // an empty view may have no data pointer
        return std::nullopt;
    return XmlEntryReader(bytes, keys).read();
}

} // namespace platform
