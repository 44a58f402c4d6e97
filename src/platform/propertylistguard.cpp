#include "platform/propertylistguard.h"

#include "platform/propertylistentries.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// No Info.plist comes anywhere near this many nodes once shared objects are copied out.
constexpr quint64 maxNodes = quint64(1) << 20;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Counts the nesting of container tags wherever they appear (comments included), so it can only
// overstate the depth: an opening <dict> or <array> goes one level down unless written exactly as
// the empty <dict/> or <array/>, and only the exact closing tags come back up.
bool xmlIsSafe(QByteArrayView bytes) {
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    int depth = 0;
    while (p < end) {
        const void *lt = std::memchr(p, '<', static_cast<size_t>(end - p));
        if (!lt)
            break;
        p = static_cast<const char *>(lt) + 1;
        const auto follows = [&](std::string_view s) {
            return static_cast<size_t>(end - p) >= s.size() && std::memcmp(p, s.data(), s.size()) == 0;
        };
        if (follows("/dict>") || follows("/array>")) {
            depth = std::max(0, depth - 1);
            continue;
        }
        for (const std::string_view name : {std::string_view("dict"), std::string_view("array")}) {
            if (!follows(name))
                continue;
            const char *after = p + name.size();
            if (after == end)
                return true;
            if (!isSpace(*after) && *after != '<' && *after != '>' && *after != '/')
                break; // a longer tag name
            if (*after == '/' && after + 1 < end && after[1] == '>')
                break; // empty
            // The root container is the conversion's depth 0.
            if (++depth > maxPropertyListDepth + 1)
                return false;
            break;
        }
    }
    return true;
}

class BinaryGuard {
public:
    explicit BinaryGuard(QByteArrayView bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.data()))
        , m_size(static_cast<quint64>(bytes.size())) {}

    bool isSafe() {
        if (m_size < 40)
            return true; // too short for libplist to read at all
        const quint64 trailer = m_size - 32;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        m_count = read(trailer + 8, 8);
        const quint64 top = read(trailer + 16, 8);
        m_table = read(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8 || m_table >= trailer ||
            m_count > (trailer - m_table) / static_cast<quint64>(m_offsetSize) || top >= m_count)
            return false;
        return keysHoldNoNul() && treeIsSmall(top);
    }

private:
    enum class Kind { leaf, array, dictionary };
    struct Container {
        quint64 start = 0;  // first reference
        quint64 length = 0; // elements (entries for dictionaries)
    };

    quint64 read(quint64 at, int count) const {
        quint64 value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 8) | m_data[at + static_cast<quint64>(i)];
        return value;
    }
    quint64 offsetOf(quint64 index) const {
        return read(m_table + index * static_cast<quint64>(m_offsetSize), m_offsetSize);
    }

    // Where an object's elements start and how many there are; false when that cannot be read.
    bool elements(quint64 offset, Container *c) const {
        c->start = offset + 1;
        c->length = m_data[offset] & 0xF;
        if (c->length != 0xF)
            return true;
        if (c->start >= m_table || (m_data[c->start] >> 4) != 0x1 || (m_data[c->start] & 0xF) > 3)
            return false;
        const int bytesOfLength = 1 << (m_data[c->start] & 0xF);
        if (c->start + 1 + static_cast<quint64>(bytesOfLength) > m_table)
            return false;
        c->length = read(c->start + 1, bytesOfLength);
        c->start += 1 + static_cast<quint64>(bytesOfLength);
        return true;
    }

    // A reference of a container, when it lies before the offset table and names an object.
    bool reference(quint64 at, quint64 *index) const {
        if (at > m_table || m_table - at < static_cast<quint64>(m_refSize))
            return false;
        *index = read(at, m_refSize);
        return *index < m_count;
    }

    // libplist asserts that a key's length matches its C string length; a UTF-16 key holding U+0000
    // breaks that. Every dictionary in the offset table is looked at, reachable or not.
    bool keysHoldNoNul() const {
        for (quint64 i = 0; i < m_count; ++i) {
            const quint64 offset = offsetOf(i);
            if (offset >= m_table || (m_data[offset] >> 4) != 0xD)
                continue;
            Container dict;
            if (!elements(offset, &dict))
                return false;
            for (quint64 j = 0; j < dict.length; ++j) {
                quint64 key = 0;
                if (dict.start + j * static_cast<quint64>(m_refSize) >= m_table)
                    break;
                if (!reference(dict.start + j * static_cast<quint64>(m_refSize), &key))
                    continue;
                const quint64 keyOffset = offsetOf(key);
                if (keyOffset >= m_table || (m_data[keyOffset] >> 4) != 0x6)
                    continue;
                Container text;
                if (!elements(keyOffset, &text))
                    return false;
                for (quint64 c = 0; c < text.length && text.start + 2 * c + 1 < m_table; ++c) {
                    if (m_data[text.start + 2 * c] == 0 && m_data[text.start + 2 * c + 1] == 0)
                        return false;
                }
            }
        }
        return true;
    }

    // Walks the objects reachable from the top without recursion, each once, and works out how deep
    // and how large the tree is that libplist would build from them.
    bool treeIsSmall(quint64 top) {
        struct Frame {
            quint64 index;
            Container refs;
            bool dictionary;
            quint64 next = 0;
            int height = 0;
            quint64 nodes = 1;
        };
        constexpr int unvisited = -1;
        constexpr int onPath = -2;
        m_height.assign(static_cast<size_t>(m_count), unvisited);
        m_nodes.assign(static_cast<size_t>(m_count), 0);
        std::vector<Frame> path;

        // Opens a container or settles a leaf; false when the object must be refused.
        const auto enter = [&](quint64 index) {
            const quint64 offset = offsetOf(index);
            if (offset >= m_table)
                return false;
            const int type = m_data[offset] >> 4;
            if (type != 0xA && type != 0xC && type != 0xD) {
                m_height[index] = 0;
                m_nodes[index] = 1;
                return true;
            }
            Frame frame{index, {}, type == 0xD};
            if (!elements(offset, &frame.refs) || static_cast<int>(path.size()) > maxPropertyListDepth)
                return false;
            m_height[index] = onPath;
            path.push_back(frame);
            return true;
        };
        if (!enter(top))
            return false;
        while (!path.empty()) {
            Frame &frame = path.back();
            if (frame.next == frame.refs.length) {
                const Frame done = frame;
                path.pop_back();
                m_height[done.index] = done.height;
                m_nodes[done.index] = done.nodes;
                if (!path.empty()) {
                    Frame &parent = path.back();
                    parent.height = std::max(parent.height, done.height + 1);
                    parent.nodes += done.nodes + (parent.dictionary ? 1 : 0);
                    if (parent.nodes > maxNodes)
                        return false;
                }
                continue;
            }
            const quint64 slot = (frame.dictionary ? frame.refs.length : 0) + frame.next++;
            if (slot > (m_table - std::min(frame.refs.start, m_table)) / static_cast<quint64>(m_refSize))
                return false;
            quint64 child = 0;
            if (!reference(frame.refs.start + slot * static_cast<quint64>(m_refSize), &child))
                return false;
            const int known = m_height[child];
            if (known == onPath)
                return false;
            if (known == unvisited) {
                if (!enter(child))
                    return false;
                if (m_height[child] == onPath)
                    continue; // now the top of the path
            }
            Frame &parent = path.back();
            const int depth = static_cast<int>(path.size());
            if (depth + m_height[child] > maxPropertyListDepth + 1)
                return false;
            parent.height = std::max(parent.height, m_height[child] + 1);
            parent.nodes += m_nodes[child] + (parent.dictionary ? 1 : 0);
            if (parent.nodes > maxNodes)
                return false;
        }
        return true;
    }

    const uchar *m_data;
    quint64 m_size;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_count = 0;
    quint64 m_table = 0;
    std::vector<int> m_height;
    std::vector<quint64> m_nodes;
};

} // namespace

bool isSafeForGeneralParser(QByteArrayView bytes) {
    if (bytes.startsWith("bplist00"))
        return BinaryGuard(bytes).isSafe();
    return xmlIsSafe(bytes);
}

} // namespace platform
