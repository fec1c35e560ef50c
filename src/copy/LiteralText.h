#pragma once

#include <cstdint>
#include <string>

// A value as the logs show it in SQL: NULL, x'..' for bytes, '...' for text
// (apostrophes doubled), numbers as they stand (0 for an empty number).
// marks are the CStringGrid marks of the value (NULL, binary).
std::string SqlLiteral(const std::string& text, std::uint8_t marks, bool isString);
// Bytes as an SQL hex literal, x'00FF'.
std::string HexLiteral(const std::string& bytes);
