#include "config/TextFormat.h"

#include "core/TextEncoding.h"

#include <cstdio>
#include <vector>

namespace
{
template <typename... Args> std::string Format(const std::u16string& format, Args... args)
{
    const std::string pattern = WideToUtf8(format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int needed = std::snprintf(nullptr, 0, pattern.c_str(), args...);
    if (needed < 0)
        return pattern;
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::snprintf(buffer.data(), buffer.size(), pattern.c_str(), args...);
#pragma GCC diagnostic pop
    return std::string(buffer.data(), static_cast<size_t>(needed));
}
} // namespace

std::string FormatText(const std::u16string& format, const std::string& text)
{
    return Format(format, text.c_str());
}

std::string FormatText(const std::u16string& format, const std::vector<std::string>& values)
{
    // Filled here instead of by printf: the number of values varies.
    const std::string pattern = WideToUtf8(format);
    std::string text;
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's')
        {
            if (next < values.size())
                text += values[next];
            ++next;
            ++i;
        }
        else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%')
        {
            text += '%';
            ++i;
        }
        else
            text += pattern[i];
    }
    return text;
}

std::string FormatText(const std::u16string& format, int number)
{
    return Format(format, number);
}

std::string FormatText(const std::u16string& format, const std::string& text, int number)
{
    return Format(format, text.c_str(), number);
}
