#pragma once

#include <string>

// Fills a printf-style text of the language catalogue (already checked to
// take these arguments) and gives the result as UTF-8.
std::string FormatText(const std::u16string& format, const std::string& text);
std::string FormatText(const std::u16string& format, int number);
std::string FormatText(const std::u16string& format, const std::string& text, int number);
