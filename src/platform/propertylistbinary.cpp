#include "platform/propertylistbinary.h"

#include "platform/binaryplistlayout.h"
#include "platform/propertylist.h"
#include "platform/propertylistguard.h"
#include "platform/wantedkeys.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// The "bplist00" form with 1-, 2-, 4- or 8-byte offsets and references, and objects of the kinds
// applications use: booleans, integers of up to 8 bytes, reals, dates, data, strings, arrays and
// dictionaries with string keys. Every object reachable from the top is checked once (shared objects
// are not walked again); cycles, empty UTF-16 strings (which the general parser refuses), NUL
// characters in keys or wanted values, and unpaired surrogates in them end the quick read.
class BinaryEntryReader {
public:
    BinaryEntryReader(const BinaryPlistLayout &layout, const QStringList &keys)
        : m_layout(layout)
        , m_wanted(keys) {}

    std::optional<QVariantMap> read() {
        // Offsets and references of 3, 5, 6 or 7 bytes, and an offset table reaching into the header,
        // are left to the general parser.
        if (!validIntSize(m_layout.offsetSize()) || !validIntSize(m_layout.refSize()) || m_layout.table() < 8)
            return std::nullopt;
        const quint64 top = m_layout.top();
        const int refSize = m_layout.refSize();
        m_heights.assign(static_cast<size_t>(m_layout.count()), unvisited);

        const int height = visit(top, 0);
        if (height < 0 || height > maxPropertyListDepth)
            return std::nullopt;
        const auto root = object(top);
        if (!root || root->type != 0xD)
            return std::nullopt;

        QVariantMap entries;
        for (quint64 i = 0; i < root->length; ++i) {
            const auto key = object(m_layout.readUInt(root->start + i * refSize, refSize));
            const auto value = object(m_layout.readUInt(root->start + (root->length + i) * refSize, refSize));
            if (!key || !value)
                return std::nullopt;
            std::optional<QString> name;
            if (key->type == 0x5) {
                const QByteArrayView bytes(m_layout.data() + key->start, static_cast<qsizetype>(key->length));
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

    // The object at `index`, its bytes checked to lie before the offset table.
    std::optional<Object> object(quint64 index) const {
        const quint64 table = m_layout.table();
        const quint64 offset = m_layout.offsetOf(index);
        if (offset < 8 || offset >= table)
            return std::nullopt;
        const uchar marker = m_layout.data()[offset];
        Object o{static_cast<quint8>(marker >> 4), static_cast<quint8>(marker & 0xF), 0, offset + 1};
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
            const auto elements = m_layout.elements(offset);
            if (!elements)
                return std::nullopt;
            o.length = elements->length;
            o.start = elements->start;
            const quint64 unit = o.type == 0x6   ? 2
                                 : o.type == 0xA ? m_layout.refSize()
                                 : o.type == 0xD ? 2 * m_layout.refSize()
                                                 : 1;
            if (o.length > (table - std::min(o.start, table)) / unit)
                return std::nullopt;
            bytes = o.length * unit;
            break;
        }
        default:
            return std::nullopt;
        }
        if (o.start > table || bytes > table - o.start)
            return std::nullopt;
        return o;
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
                    if (!m_layout.reference(o->start + i * m_layout.refSize(), &child))
                        return -1;
                    const auto key = object(child);
                    if (!key || (key->type != 0x5 && key->type != 0x6) ||
                        (key->type == 0x6 && key->length == 0))
                        return -1;
                }
                if (!m_layout.reference(o->start + (values + i) * m_layout.refSize(), &child))
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
        const auto *bytes = m_layout.data() + o.start;
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
            return QVariant(static_cast<qint64>(m_layout.readUInt(o.start, 1 << o.info)));
        case 0x5:
        case 0x6:
            if (auto t = text(o))
                return QVariant(std::move(*t));
            return std::nullopt;
        default:
            return std::nullopt;
        }
    }

    const BinaryPlistLayout m_layout;
    WantedKeys m_wanted;
    std::vector<int> m_heights;
};

} // namespace

std::optional<QVariantMap> quickBinaryEntries(QByteArrayView bytes, const QStringList &keys) {
    // Declines what the general parser refuses outright, so that it agrees with it there as well.
    if (!isSafeForGeneralParser(bytes) || !bytes.startsWith("bplist00"))
        return std::nullopt;
    const auto layout = BinaryPlistLayout::read(bytes);
    if (!layout)
        return std::nullopt;
    return BinaryEntryReader(*layout, keys).read();
}

} // namespace platform
