#include "copy/write/LaneKeys.h"

#include <ibase.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cctype>

namespace
{
// The text a value holds, when it is text the server compares by collation.
bool TextOf(const SBoundValue& value, std::string& text)
{
    if (value.binary)
        return false;
    if (value.kind == SBoundValue::Bytes)
    {
        text = value.bytes;
        return true;
    }
    // A VARCHAR the source delivers as it is: a length, then the characters.
    if (value.kind == SBoundValue::Raw && value.sqlType == SQL_VARYING && value.bytes.size() >= 2 &&
        value.subType != 1 /* OCTETS */)
    {
        text = value.bytes.substr(2);
        return true;
    }
    return false;
}

void TrimTrailingBlanks(std::string& text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
}
} // namespace

CLaneKeys::CLaneKeys(const std::vector<SKeyColumn>& key, const std::vector<size_t>& positions)
{
    for (size_t i = 0; i < key.size() && i < positions.size(); ++i)
    {
        SColumn column;
        column.position = positions[i];
        // Firebird's Unicode collations ignore accents only together with
        // case (UNICODE_CI_AI); a collation of a single-byte set that
        // ignores accents is folded the same way, as Unicode sees its letters.
        if (key[i].collationAttributes & CollationAccentInsensitive)
            column.fold = EFold::CaseAccent;
        m_columns.push_back(column);
    }
}

CLaneKeys::~CLaneKeys()
{
    if (m_pCaseBlind)
        ucol_close(m_pCaseBlind);
    if (m_pCaseAccentBlind)
        ucol_close(m_pCaseAccentBlind);
}

UCollator* CLaneKeys::Collator(EFold fold)
{
    UCollator*& collator = fold == EFold::CaseAccent ? m_pCaseAccentBlind : m_pCaseBlind;
    if (!collator)
    {
        UErrorCode status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
        if (U_FAILURE(status))
            return collator = nullptr;
        // Primary strength compares base letters alone; secondary adds accents.
        ucol_setStrength(collator, fold == EFold::CaseAccent ? UCOL_PRIMARY : UCOL_SECONDARY);
    }
    return collator;
}

void CLaneKeys::AppendText(std::string& key, const std::string& text, EFold fold)
{
    bool ascii = true;
    for (char c : text)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    UCollator* collator = ascii && fold == EFold::Case ? nullptr : Collator(fold);
    if (!collator)
    {
        // ASCII text, or no collator: letter case folded byte by byte.
        for (char c : text)
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return;
    }
    // Bytes that are not UTF-8 become U+FFFD: such values only share a lane.
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    m_utf16.resize(text.size() + 1);
    u_strFromUTF8WithSub(m_utf16.data(), static_cast<int32_t>(m_utf16.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        length = 0;
    m_sortKey.resize(16 + 4 * static_cast<size_t>(length));
    int32_t size = ucol_getSortKey(collator, m_utf16.data(), length, reinterpret_cast<uint8_t*>(m_sortKey.data()),
                                   static_cast<int32_t>(m_sortKey.size()));
    if (size > static_cast<int32_t>(m_sortKey.size()))
    {
        m_sortKey.resize(static_cast<size_t>(size));
        size = ucol_getSortKey(collator, m_utf16.data(), length, reinterpret_cast<uint8_t*>(m_sortKey.data()), size);
    }
    key.append(m_sortKey.data(), static_cast<size_t>(size));
}

std::string CLaneKeys::KeyOf(const BoundRow& row)
{
    std::string key;
    for (const SColumn& column : m_columns)
    {
        const SBoundValue& value = row[column.position];
        std::string text;
        if (value.kind == SBoundValue::Null)
            key += '\x01';
        else if (value.kind == SBoundValue::Double)
            key.append(reinterpret_cast<const char*>(&value.number), sizeof value.number);
        else if (TextOf(value, text))
        {
            TrimTrailingBlanks(text);
            AppendText(key, text, column.fold);
        }
        else
            key += value.bytes;
        key += '\x02';
    }
    return key;
}
