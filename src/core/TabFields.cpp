#include "core/TabFields.h"

#include <fstream>
#include <iterator>

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

std::vector<std::string> ReadRecordLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return lines;
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);
    size_t start = 0;
    while (start < content.size())
    {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\0') == std::string::npos)
            lines.push_back(std::move(line));
    }
    return lines;
}
