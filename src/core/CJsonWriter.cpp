#include "core/CJsonWriter.h"

#include <charconv>
#include <cmath>

namespace
{
// The length of the well-formed UTF-8 sequence at text[at], or 0 when the
// bytes there are not one (overlong forms and surrogates included).
size_t SequenceLength(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    else
        return 0;
    if (at + length > text.size())
        return 0;
    // Only the second byte has a narrower range; the others are 80..BF.
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
    {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}
} // namespace

std::string CJsonWriter::Quoted(std::string_view text)
{
    static const char digits[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (size_t at = 0; at < text.size();)
    {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = SequenceLength(text, at);
        if (length == 0)
        {
            quoted += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        if (length > 1)
        {
            quoted.append(text.substr(at, length));
            at += length;
            continue;
        }
        ++at;
        switch (c)
        {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        case '\b': quoted += "\\b"; break;
        case '\f': quoted += "\\f"; break;
        default:
            if (c < 0x20)
            {
                quoted += "\\u00";
                quoted += digits[c >> 4];
                quoted += digits[c & 15];
            }
            else
                quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

void CJsonWriter::BeforeValue()
{
    if (m_bAfterKey)
    {
        m_bAfterKey = false;
        return;
    }
    if (m_levels.empty())
        return;
    if (!m_levels.back().empty)
        m_text += ',';
    m_levels.back().empty = false;
    m_text += '\n';
    m_text.append(2 * m_levels.size(), ' ');
}

void CJsonWriter::Open(char bracket)
{
    BeforeValue();
    m_text += bracket;
    m_levels.push_back({});
}

void CJsonWriter::Close(char bracket)
{
    if (m_levels.empty())
        return;
    const bool empty = m_levels.back().empty;
    m_levels.pop_back();
    if (!empty)
    {
        m_text += '\n';
        m_text.append(2 * m_levels.size(), ' ');
    }
    m_text += bracket;
    if (m_levels.empty())
        m_text += '\n';
}

CJsonWriter& CJsonWriter::BeginObject()
{
    Open('{');
    return *this;
}

CJsonWriter& CJsonWriter::EndObject()
{
    Close('}');
    return *this;
}

CJsonWriter& CJsonWriter::BeginArray()
{
    Open('[');
    return *this;
}

CJsonWriter& CJsonWriter::EndArray()
{
    Close(']');
    return *this;
}

CJsonWriter& CJsonWriter::Key(std::string_view name)
{
    BeforeValue();
    m_text += Quoted(name);
    m_text += ": ";
    m_bAfterKey = true;
    return *this;
}

CJsonWriter& CJsonWriter::String(std::string_view text)
{
    BeforeValue();
    m_text += Quoted(text);
    return *this;
}

CJsonWriter& CJsonWriter::StringOrNull(std::string_view text)
{
    return text.empty() ? Null() : String(text);
}

CJsonWriter& CJsonWriter::Number(long long value)
{
    BeforeValue();
    m_text += std::to_string(value);
    return *this;
}

CJsonWriter& CJsonWriter::Number(double value, int decimals)
{
    if (!std::isfinite(value))
        return Null();
    BeforeValue();
    // to_chars ignores the locale: a German one would write a comma.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    m_text.append(buffer, result.ec == std::errc() ? result.ptr : buffer);
    if (result.ec != std::errc())
        m_text += '0';
    return *this;
}

CJsonWriter& CJsonWriter::Bool(bool value)
{
    BeforeValue();
    m_text += value ? "true" : "false";
    return *this;
}

CJsonWriter& CJsonWriter::Null()
{
    BeforeValue();
    m_text += "null";
    return *this;
}
