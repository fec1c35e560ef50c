#include "core/NumberText.h"

std::string GroupedNumber(long long number, const std::string& separator)
{
    const std::string digits = std::to_string(number < 0 ? -number : number);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i)
    {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return (number < 0 ? "-" : "") + text;
}
