#pragma once

#include <string>
#include <vector>

// Fills a printf-style text of the language catalogue (already checked to
// take these arguments) and gives the result as UTF-8.
std::string FormatText(const std::u16string& format, const std::string& text);
std::string FormatText(const std::u16string& format, int number);
std::string FormatText(const std::u16string& format, const std::string& text, int number);
// A text of only "%s" conversions filled with the values in order; extra
// values are ignored, missing ones are empty.
std::string FormatText(const std::u16string& format, const std::vector<std::string>& values);
