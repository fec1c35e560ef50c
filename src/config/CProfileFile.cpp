#include "config/CProfileFile.h"

#include "core/CReplacingFile.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

namespace
{
const char* const kDefaultRootName = "InitFile";
const char* const kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
const char* const kLineEnd = "\r\n";

// strtol base 10, held to the range of int. The settings were written where
// long has 32 bits, so an out-of-range number saturates there too instead of
// wrapping into an unrelated value.
int ToInt(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// The program writes with "%d" of a long on both sides of the file format;
// std::strtol(...) == 1 is the only true value.
bool IsOne(const std::string& text)
{
    return std::strtol(text.c_str(), nullptr, 10) == 1;
}
} // namespace

CProfileFile::CProfileFile(bool xmlMode) : m_bXmlMode(xmlMode), m_sRootName(kDefaultRootName)
{
    SetRootName(m_sRootName);
}

void CProfileFile::SetRootName(const std::string& name)
{
    if (!m_bXmlMode)
        return;
    m_sRootName = name;
    m_sHeader = std::string(kXmlDeclaration) + kLineEnd + "<" + m_sRootName + ">" + kLineEnd;
    m_sFooter = "</" + m_sRootName + ">" + kLineEnd;
}

std::string CProfileFile::OpeningDelimiter(const std::string& key) const
{
    return m_bXmlMode ? "<" + key + ">" : key + "=\"";
}

std::string CProfileFile::ClosingDelimiter(const std::string& key) const
{
    return m_bXmlMode ? "</" + key + ">" : "\"";
}

bool CProfileFile::Load(const std::string& path)
{
    return ReadFrom(std::fopen(path.c_str(), "rb"));
}

bool CProfileFile::Load(const std::u16string& path)
{
    return ReadFrom(OpenFileWide(path, "rb"));
}

bool CProfileFile::Save(const std::string& path)
{
    return Save(Utf8ToWide(path));
}

bool CProfileFile::Save(const std::u16string& path)
{
    // Beside the file and then renamed over it: a full disk or a crash
    // while writing keeps the old settings instead of an empty file.
    m_sSaveError.clear();
    return ReplaceFileContents(path, BuildText(), &m_sSaveError,
                               m_bOwnerOnly ? CReplacingFile::EAccess::OwnerOnly : CReplacingFile::EAccess::AsBefore);
}

bool CProfileFile::ReadFrom(std::FILE* file)
{
    if (file == nullptr)
        return false;
    // Read to the end rather than trusting a size found by seeking: a folder
    // opens on Linux and reports an absurd size, and a file may change while
    // it is read. A read error counts as an unreadable file.
    std::string text;
    char chunk[16384];
    std::size_t got = 0;
    bool failed = false;
    try
    {
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            text.append(chunk, got);
    }
    catch (const std::bad_alloc&)
    {
        failed = true;
    }
    failed = failed || std::ferror(file) != 0;
    std::fclose(file);
    if (failed || text.empty())
        return false;
    // Text after a zero byte (UTF-16 files, binary junk) is not part of the profile.
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return Parse(text);
}

bool CProfileFile::Parse(const std::string& text)
{
    if (!m_bXmlMode)
    {
        m_sBody = text;
        return true;
    }
    const std::size_t declarationEnd = text.find("?>");
    const std::size_t tagStart =
        declarationEnd == std::string::npos ? std::string::npos : text.find('<', declarationEnd);
    const std::size_t tagEnd = tagStart == std::string::npos ? std::string::npos : text.find('>', tagStart);
    if (tagEnd == std::string::npos)
    {
        SetRootName(kDefaultRootName);
        return false;
    }
    SetRootName(text.substr(tagStart + 1, tagEnd - tagStart - 1));

    std::size_t bodyStart = tagEnd + 1;
    if (bodyStart < text.size() && text[bodyStart] == '\r')
        ++bodyStart;
    if (bodyStart < text.size() && text[bodyStart] == '\n')
        ++bodyStart;
    const std::size_t bodyEnd = text.find("</" + m_sRootName + ">", bodyStart);
    if (bodyEnd == std::string::npos)
        return false;
    m_sBody = text.substr(bodyStart, bodyEnd - bodyStart);
    return true;
}

std::string CProfileFile::FindValue(std::size_t start, const std::string& key)
{
    const std::string opening = OpeningDelimiter(key);
    const std::size_t open = m_sBody.find(opening, start);
    if (open == std::string::npos)
        return {};
    const std::size_t valueStart = open + opening.size();
    const std::string closing = ClosingDelimiter(key);
    const std::size_t close = m_sBody.find(closing, valueStart);
    if (close == std::string::npos)
        return {};
    m_nCursor = close + closing.size();
    return m_sBody.substr(valueStart, close - valueStart);
}

std::string CProfileFile::GetString(const std::string& key, const std::string& defaultValue)
{
    std::string value = FindValue(0, key);
    return value.empty() ? defaultValue : value;
}

int CProfileFile::GetInt(const std::string& key, int defaultValue)
{
    const std::string value = FindValue(0, key);
    return value.empty() ? defaultValue : ToInt(value);
}

bool CProfileFile::GetBool(const std::string& key, bool defaultValue)
{
    const std::string value = FindValue(0, key);
    return value.empty() ? defaultValue : IsOne(value);
}

std::string CProfileFile::GetNextString(const std::string& key)
{
    return FindValue(m_nCursor, key);
}

void CProfileFile::WriteString(const std::string& key, const std::string& value)
{
    // Without escaping, a value holding its own closing delimiter would be read
    // back cut there anyway, and in XML mode one holding the root's closing tag
    // would hide every later entry from the next Load. Storing only the part
    // that can be read back keeps the rest of the file intact.
    std::size_t keep = value.find(ClosingDelimiter(key));
    if (m_bXmlMode)
        keep = std::min(keep, value.find("</" + m_sRootName + ">"));
    const std::string stored = keep == std::string::npos ? value : value.substr(0, keep);
    AppendLine(OpeningDelimiter(key) + stored + ClosingDelimiter(key) + kLineEnd);
}

void CProfileFile::WriteInt(const std::string& key, int value)
{
    WriteString(key, std::to_string(value));
}

void CProfileFile::WriteBool(const std::string& key, bool value)
{
    WriteString(key, value ? "1" : "0");
}

void CProfileFile::AppendLine(const std::string& line)
{
    const int pairs = m_nIndent + (m_bXmlMode ? 1 : 0);
    m_sBody.append(static_cast<std::size_t>(pairs) * 2, ' ');
    m_sBody += line;
}

void CProfileFile::ClearBody()
{
    m_sBody.clear();
    m_nCursor = 0;
}

std::string CProfileFile::BuildText() const
{
    if (!m_bXmlMode)
        return m_sBody;
    return m_sHeader + m_sBody + m_sFooter;
}
