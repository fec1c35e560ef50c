#include "db/CXsqlda.h"

#include <cstring>

namespace
{
size_t DescriptorBytes(int capacity)
{
    return XSQLDA_LENGTH(capacity < 1 ? 1 : capacity);
}

size_t RoundUp(size_t offset, size_t alignment)
{
    return alignment <= 1 ? offset : (offset + alignment - 1) / alignment * alignment;
}
} // namespace

CXsqlda::CXsqlda(int capacity)
{
    Grow(capacity);
}

void CXsqlda::Grow(int capacity)
{
    const size_t bytes = DescriptorBytes(capacity);
    m_pData.reset(static_cast<XSQLDA*>(::operator new(bytes)));
    std::memset(m_pData.get(), 0, bytes);
    m_pData->version = SQLDA_VERSION1;
    m_pData->sqln = static_cast<ISC_SHORT>(capacity);
}

void CRowArea::Bind(XSQLDA* descriptor, int count)
{
    // Offsets are computed first so that the area is allocated once.
    std::vector<size_t> dataOffsets(static_cast<size_t>(count));
    std::vector<size_t> nullOffsets(static_cast<size_t>(count));
    size_t offset = 0;
    for (int i = 0; i < count; ++i)
    {
        const XSQLVAR& var = descriptor->sqlvar[i];
        const int type = var.sqltype & ~1;
        size_t length = static_cast<unsigned short>(var.sqllen);
        size_t alignment = length;
        if (type == SQL_TEXT)
            alignment = 1;
        else if (type == SQL_VARYING)
        {
            length += 3; // length word, the characters, a spare terminator byte
            alignment = 2;
        }
        if (alignment > 8)
            alignment = 8;
        offset = RoundUp(offset, alignment);
        dataOffsets[static_cast<size_t>(i)] = offset;
        offset += length;
        offset = RoundUp(offset, 2);
        nullOffsets[static_cast<size_t>(i)] = offset;
        offset += 2;
    }
    m_area.assign(offset + 8, 0);
    for (int i = 0; i < count; ++i)
    {
        XSQLVAR& var = descriptor->sqlvar[i];
        var.sqldata = m_area.data() + dataOffsets[static_cast<size_t>(i)];
        var.sqlind = reinterpret_cast<short*>(m_area.data() + nullOffsets[static_cast<size_t>(i)]);
    }
}
