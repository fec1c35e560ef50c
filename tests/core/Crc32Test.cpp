#include "core/Crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::uint32_t Crc(const std::string& bytes)
{
    return Crc32Update(0, bytes.data(), bytes.size());
}

// The definition, one bit at a time.
std::uint32_t BitwiseCrc(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes)
    {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0);
    }
    return ~crc;
}
} // namespace

TEST(Crc32, KnownChecksums)
{
    // As zlib's crc32() and the crc32 command give them.
    const struct
    {
        std::string bytes;
        std::uint32_t crc;
    } cases[] = {
        {"", 0x00000000u},
        {"a", 0xe8b7be43u},
        {"123456789", 0xcbf43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414fa339u},
        {std::string(257, 'a'), 0xfab02a25u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Crc(c.bytes), c.crc) << c.bytes.substr(0, 20);
}

TEST(Crc32, ContinuesOverPiecesOfAnyLengthAndAlignment)
{
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>((i * 7919) >> 3);
    const std::uint32_t whole = BitwiseCrc(bytes);
    EXPECT_EQ(Crc(bytes), whole);
    for (size_t cut : {size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{500}, size_t{999}})
    {
        const std::uint32_t first = Crc32Update(0, bytes.data(), cut);
        EXPECT_EQ(Crc32Update(first, bytes.data() + cut, bytes.size() - cut), whole) << cut;
    }
    // Starting at every offset within eight bytes.
    for (size_t offset = 0; offset < 8; ++offset)
        EXPECT_EQ(Crc(bytes.substr(offset)), BitwiseCrc(bytes.substr(offset))) << offset;
}
