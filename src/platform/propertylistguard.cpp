#include "platform/propertylistguard.h"

#include "platform/binaryplistlayout.h"
#include "platform/propertylist.h"

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
    explicit BinaryGuard(const BinaryPlistLayout &layout)
        : m_layout(layout) {}

    bool isSafe() { return keysHoldNoNul() && treeIsSmall(m_layout.top()); }

private:
    // libplist asserts that a key's length matches its C string length; a UTF-16 key holding U+0000
    // breaks that. Every dictionary in the offset table is looked at, reachable or not.
    bool keysHoldNoNul() const {
        const uchar *data = m_layout.data();
        const quint64 table = m_layout.table();
        const auto refSize = static_cast<quint64>(m_layout.refSize());
        for (quint64 i = 0; i < m_layout.count(); ++i) {
            const quint64 offset = m_layout.offsetOf(i);
            if (offset >= table || (data[offset] >> 4) != 0xD)
                continue;
            const auto dict = m_layout.elements(offset);
            if (!dict)
                return false;
            for (quint64 j = 0; j < dict->length; ++j) {
                quint64 key = 0;
                if (dict->start + j * refSize >= table)
                    break;
                if (!m_layout.reference(dict->start + j * refSize, &key))
                    continue;
                const quint64 keyOffset = m_layout.offsetOf(key);
                if (keyOffset >= table || (data[keyOffset] >> 4) != 0x6)
                    continue;
                const auto text = m_layout.elements(keyOffset);
                if (!text)
                    return false;
                for (quint64 c = 0; c < text->length && text->start + 2 * c + 1 < table; ++c) {
                    if (data[text->start + 2 * c] == 0 && data[text->start + 2 * c + 1] == 0)
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
            BinaryPlistLayout::Elements refs;
            bool dictionary;
            quint64 next = 0;
            int height = 0;
            quint64 nodes = 1;
        };
        constexpr int unvisited = -1;
        constexpr int onPath = -2;
        const quint64 table = m_layout.table();
        const auto refSize = static_cast<quint64>(m_layout.refSize());
        m_height.assign(static_cast<size_t>(m_layout.count()), unvisited);
        m_nodes.assign(static_cast<size_t>(m_layout.count()), 0);
        std::vector<Frame> path;

        // Opens a container or settles a leaf; false when the object must be refused.
        const auto enter = [&](quint64 index) {
            const quint64 offset = m_layout.offsetOf(index);
            if (offset >= table)
                return false;
            const int type = m_layout.data()[offset] >> 4;
            if (type != 0xA && type != 0xC && type != 0xD) {
                m_height[index] = 0;
                m_nodes[index] = 1;
                return true;
            }
            const auto refs = m_layout.elements(offset);
            if (!refs || static_cast<int>(path.size()) > maxPropertyListDepth)
                return false;
            m_height[index] = onPath;
            path.push_back(Frame{index, *refs, type == 0xD});
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
            if (slot > (table - std::min(frame.refs.start, table)) / refSize)
                return false;
            quint64 child = 0;
            if (!m_layout.reference(frame.refs.start + slot * refSize, &child))
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

    const BinaryPlistLayout m_layout;
    std::vector<int> m_height;
    std::vector<quint64> m_nodes;
};

} // namespace

bool isSafeForGeneralParser(QByteArrayView bytes) {
    if (bytes.startsWith("bplist00")) {
        if (bytes.size() < BinaryPlistLayout::smallestFile)
            return true; // too short for libplist to read at all
        const auto layout = BinaryPlistLayout::read(bytes);
        return layout && BinaryGuard(*layout).isSafe();
    }
    return xmlIsSafe(bytes);
}

} // namespace platform
