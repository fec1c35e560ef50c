#include "core/Crc32.h"

#include <array>

namespace
{
// Eight tables, so that eight bytes are folded in per step (slicing by 8):
// a long value's checksum costs a fraction of reading it.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables()
{
    Tables tables{};
    for (std::uint32_t i = 0; i < 256; ++i)
    {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        tables[0][i] = crc;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
    {
        for (size_t t = 1; t < 8; ++t)
            tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    }
    return tables;
}

constexpr Tables CrcTables = MakeTables();
} // namespace

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    crc = ~crc;
    while (size >= 8)
    {
        // Little-endian order of the bytes, whatever the machine's order.
        const std::uint32_t low = crc ^ (std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                         std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
        crc = CrcTables[7][low & 0xFF] ^ CrcTables[6][(low >> 8) & 0xFF] ^ CrcTables[5][(low >> 16) & 0xFF] ^
              CrcTables[4][low >> 24] ^ CrcTables[3][bytes[4]] ^ CrcTables[2][bytes[5]] ^ CrcTables[1][bytes[6]] ^
              CrcTables[0][bytes[7]];
        bytes += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = (crc >> 8) ^ CrcTables[0][(crc ^ *bytes++) & 0xFF];
    return ~crc;
}
