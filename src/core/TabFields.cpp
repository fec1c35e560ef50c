#include "core/TabFields.h"

std::string EscapeTabField(const std::string& text)
{
    std::string escaped;
    for (char c : text)
    {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else
            escaped += c;
    }
    return escaped;
}

std::vector<std::string> SplitTabFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i)
    {
        const char c = line[i];
        if (c == '\t')
            fields.emplace_back();
        else if (c == '\\' && i + 1 < line.size())
        {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        }
        else
            fields.back() += c;
    }
    return fields;
}
