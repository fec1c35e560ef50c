#pragma once

#include <string>

// Conversions between wide (UTF-16) and narrow text through the C library's
// iconv. Narrow input is read up to its first zero byte.

// UTF-16 to UTF-8; the empty string when nothing converts.
std::string WideToUtf8(const std::u16string& wide);
// UTF-8 to UTF-16; each broken sequence becomes one U+FFFD.
std::u16string Utf8ToWide(const std::string& narrow);
// UTF-8 to the given code page (65001 UTF-8, 1252 CP1252, ...), cut at the
// first zero byte; the empty string when the text cannot be converted whole.
std::string Utf8ToCodePage(const std::string& narrow, unsigned codePage);
// The iconv name of a Windows code page number, or empty when unknown.
std::string CodePageName(unsigned codePage);
// True when the bytes are well-formed UTF-8 (zero bytes included).
bool IsValidUtf8(const std::string& text);
