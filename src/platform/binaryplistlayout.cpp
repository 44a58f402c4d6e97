#include "platform/binaryplistlayout.h"

namespace platform {

BinaryPlistLayout::BinaryPlistLayout(const uchar *data, quint64 size)
    : m_data(data) {
    const quint64 trailer = size - 32;
    m_offsetSize = m_data[trailer + 6];
    m_refSize = m_data[trailer + 7];
    m_count = readUInt(trailer + 8, 8);
    m_top = readUInt(trailer + 16, 8);
    m_table = readUInt(trailer + 24, 8);
}

std::optional<BinaryPlistLayout> BinaryPlistLayout::read(QByteArrayView bytes) {
    if (bytes.size() < smallestFile)
        return std::nullopt;
    const auto size = static_cast<quint64>(bytes.size());
    const BinaryPlistLayout layout(reinterpret_cast<const uchar *>(bytes.data()), size);
    const quint64 trailer = size - 32;
    if (layout.m_offsetSize < 1 || layout.m_offsetSize > 8 || layout.m_refSize < 1 || layout.m_refSize > 8 ||
        layout.m_table >= trailer ||
        layout.m_count > (trailer - layout.m_table) / static_cast<quint64>(layout.m_offsetSize) ||
        layout.m_top >= layout.m_count)
        return std::nullopt;
    return layout;
}

std::optional<BinaryPlistLayout::Elements> BinaryPlistLayout::elements(quint64 offset) const {
    Elements e{offset + 1, static_cast<quint64>(m_data[offset] & 0xF)};
    if (e.length != 0xF)
        return e;
    if (e.start >= m_table || (m_data[e.start] >> 4) != 0x1 || (m_data[e.start] & 0xF) > 3)
        return std::nullopt;
    const int bytesOfLength = 1 << (m_data[e.start] & 0xF);
    if (e.start + 1 + static_cast<quint64>(bytesOfLength) > m_table)
        return std::nullopt;
    e.length = readUInt(e.start + 1, bytesOfLength);
    e.start += 1 + static_cast<quint64>(bytesOfLength);
    return e;
}

} // namespace platform
