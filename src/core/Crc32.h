#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of zlib, PNG and the crc32 command (polynomial 0xEDB88320,
// reflected): Crc32Update(0, data, size) is the checksum of data, and a
// checksum continues over later bytes by passing the earlier result.
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, size_t size);
