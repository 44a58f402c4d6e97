#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace platform {

// What the 32-byte trailer of a "bplist00" file says and the reads it makes possible: the offset
// table, the references held by arrays and dictionaries, and how many elements an object has. Both
// the quick binary reader and the guard in front of libplist walk objects through it.
//
// `read` accepts a trailer only when its sizes, object count, top object and offset table fit the
// bytes, so looking up any object below `count()` stays within them; the offsets found there are for
// the caller to check against `table()`, the first byte past the objects.
class BinaryPlistLayout {
public:
    // A header and a trailer: the fewest bytes a binary property list can have.
    static constexpr qsizetype smallestFile = 40;

    // Where an object's elements start and how many there are (entries for dictionaries).
    struct Elements {
        quint64 start = 0; // first byte after the marker and length
        quint64 length = 0;
    };

    // Absent when the bytes are shorter than `smallestFile` or the trailer does not fit them. The
    // "bplist00" header is not looked at.
    static std::optional<BinaryPlistLayout> read(QByteArrayView bytes);

    const uchar *data() const { return m_data; }
    int offsetSize() const { return m_offsetSize; }
    int refSize() const { return m_refSize; }
    quint64 count() const { return m_count; }
    quint64 top() const { return m_top; }
    quint64 table() const { return m_table; }

    // The big-endian unsigned integer of `size` bytes at `at`.
    quint64 readUInt(quint64 at, int size) const {
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | m_data[at + static_cast<quint64>(i)];
        return value;
    }

    // Where object `index` (below `count()`) starts, as the offset table says.
    quint64 offsetOf(quint64 index) const {
        return readUInt(m_table + index * static_cast<quint64>(m_offsetSize), m_offsetSize);
    }

    // The reference at `at` when it lies before the offset table and names an object.
    bool reference(quint64 at, quint64 *index) const {
        if (at > m_table || m_table - at < static_cast<quint64>(m_refSize))
            return false;
        *index = readUInt(at, m_refSize);
        return *index < m_count;
    }

    // The elements of the object at `offset` (before the offset table), from the count in its marker
    // or, when that is 0xF, the integer object after it; absent when that integer cannot be read.
    // Whether the elements themselves fit is for the caller to check, who knows their size.
    std::optional<Elements> elements(quint64 offset) const;

private:
    BinaryPlistLayout(const uchar *data, quint64 size);

    const uchar *m_data;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_count = 0;
    quint64 m_top = 0;
    quint64 m_table = 0;
};

} // namespace platform
