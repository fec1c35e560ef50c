#include "copy/read/SourceSelect.h"

#include "db/CFbConnection.h"
#include "db/FieldTypes.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace
{
constexpr long MessageBudget = 40000; // bytes of a fetched row given to inline BLOBs
constexpr long LongestInlineBytes = 32765;
constexpr long LongestInlineText = 8191; // characters, at four bytes each in UTF-8

bool IsNoneText(const SColumnInfo& column)
{
    return column.characterSetId == 0 && column.dimensions == 0;
}

bool IsRealText(const SColumnInfo& column)
{
    return column.characterSetId > 1 && column.dimensions == 0;
}

} // namespace

std::string TextAsBytes(const SColumnInfo& column)
{
    const std::string name = SqlIdentifier(column.name);
    // A cast alone keeps the stored BLOB, which the server then hands out in
    // the connection's character set; joined to nothing it is a new BLOB of
    // the bytes themselves.
    if (column.blob)
        return "CAST(" + name + " AS BLOB SUB_TYPE BINARY) || x''";
    const int bytes = std::max(1, column.length) * CharacterSetBytesPerChar(column.characterSetId);
    return "CAST(" + name + " AS VARCHAR(" + std::to_string(bytes) + ") CHARACTER SET OCTETS)";
}

namespace
{
// Text read as its stored bytes; a CHAR keeps its padding, as CAST does.
std::string BytesCast(const SColumnInfo& column)
{
    return TextAsBytes(column) + " AS " + SqlIdentifier(column.name);
}

// NONE text read as the legacy code page: the bytes stay, their meaning is given.
std::string LegacyCast(const SColumnInfo& column, const std::string& charset)
{
    const std::string name = SqlIdentifier(column.name);
    std::string type;
    if (column.blob)
        type = "BLOB SUB_TYPE TEXT";
    else
        type =
            (column.fieldType == FieldChar ? "CHAR(" : "VARCHAR(") + std::to_string(std::max(1, column.length)) + ")";
    return "CAST(" + name + " AS " + type + " CHARACTER SET " + charset + ") AS " + name;
}

// Casts of the BLOBs that fit a row as strings, by column name.
std::map<std::string, std::string> InlineBlobCasts(CFbConnection& connection, const std::string& table,
                                                   const std::vector<SColumnInfo>& columns,
                                                   const std::string& legacyCharset,
                                                   const std::set<std::string>& legacyColumns)
{
    std::map<std::string, std::string> casts;
    std::string lengths;
    std::vector<const SColumnInfo*> blobs;
    for (const SColumnInfo& column : columns)
    {
        if (!column.blob || column.dimensions > 0)
            continue;
        const bool text = column.blobSubType == BlobSubTypeText;
        // NONE text read as its bytes stays a BLOB: as a string it would have
        // to be valid in the connection's character set.
        const bool legacy = !legacyCharset.empty() && legacyColumns.count(column.name);
        if (text && IsNoneText(column) && !legacy)
            continue;
        // Bytes, and for text the characters (as the cast counts them).
        // Counting characters reads a whole BLOB, so it is done only for
        // values short enough to come inline at all: the server reads a
        // BLOB's length without its contents.
        const std::string name = SqlIdentifier(column.name);
        lengths += std::string(blobs.empty() ? "" : ", ") + "MAX(OCTET_LENGTH(" + name + "))";
        if (text)
            lengths += ", MAX(IIF(OCTET_LENGTH(" + name + ") <= " + std::to_string(LongestInlineText * 4) +
                       ", CHAR_LENGTH(" + name + "), 0))";
        blobs.push_back(&column);
    }
    if (blobs.empty())
        return casts;
    CStringGrid maxima;
    int failure = 0;
    connection.Execute("SELECT " + lengths + " FROM " + SqlIdentifier(table), failure, &maxima);
    if (failure != 0 || maxima.RowCount() != 1)
        return casts;
    long budget = MessageBudget;
    int cell = 0;
    for (size_t b = 0; b < blobs.size(); ++b)
    {
        const SColumnInfo& column = *blobs[b];
        const bool text = column.blobSubType == BlobSubTypeText;
        const long octets = maxima.GetCellInt(cell++, 0);
        const long characters = text ? maxima.GetCellInt(cell++, 0) : 0;
        // A text longer than its characters could be in UTF-8 never fits.
        if (text && octets > LongestInlineText * 4)
            continue;
        const long longest = std::max(1L, text ? characters : octets);
        const long bytes = text ? longest * 4 : longest; // UTF-8 takes up to four bytes a character
        if (bytes > budget || longest > LongestInlineBytes || (text && longest > LongestInlineText))
            continue;
        budget -= bytes;
        const std::string charset = !text ? "OCTETS" : IsNoneText(column) ? legacyCharset : "UTF8";
        casts[column.name] = "CAST(" + SqlIdentifier(column.name) + " AS VARCHAR(" + std::to_string(longest) +
                             ") CHARACTER SET " + charset + ") AS " + SqlIdentifier(column.name);
    }
    return casts;
}

std::string HexByte(int byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", byte & 0xFF);
    return text;
}

// Which legacy or declared column of a row, the first in the select, holds
// a byte without a character.
std::string UnmappedByteSelect(const std::vector<SColumnInfo>& columns, const std::set<std::string>& legacyColumns,
                               const std::string& bytes, const std::map<std::string, std::string>& declared)
{
    std::string cases;
    for (size_t i = 0; i < columns.size(); ++i)
    {
        const auto own = declared.find(columns[i].name);
        const bool legacy = !bytes.empty() && IsNoneText(columns[i]) && legacyColumns.count(columns[i].name);
        if (legacy || own != declared.end())
            cases += " WHEN " + HoldsAnyByte(SqlIdentifier(columns[i].name), legacy ? bytes : own->second) + " THEN " +
                     std::to_string(i + 1);
    }
    return cases.empty() ? "" : "CASE" + cases + " ELSE 0 END AS " + SqlIdentifier(UnmappedByteColumn);
}
} // namespace

std::set<std::string> LegacyTextColumns(const std::vector<SColumnInfo>& source, const std::vector<SColumnInfo>& dest)
{
    std::set<std::string> columns;
    for (const SColumnInfo& column : source)
    {
        if (!IsNoneText(column))
            continue;
        for (const SColumnInfo& target : dest)
        {
            if (FindColumnNamed(source, target.name) == &column && target.characterSetId > 1)
                columns.insert(column.name);
        }
    }
    return columns;
}

std::set<std::string> TextIntoBytesColumns(const std::vector<SColumnInfo>& source, const std::vector<SColumnInfo>& dest)
{
    std::set<std::string> columns;
    for (const SColumnInfo& column : source)
    {
        if (!IsRealText(column))
            continue;
        for (const SColumnInfo& target : dest)
        {
            const bool bytes = target.dimensions == 0 && (target.characterSetId == 0 || target.characterSetId == 1 ||
                                                          (target.blob && target.blobSubType != BlobSubTypeText));
            if (FindColumnNamed(source, target.name) == &column && bytes)
                columns.insert(column.name);
        }
    }
    return columns;
}

void PlanDeclaredUnmappedBytes(CFbConnection& source, const std::vector<SColumnInfo>& sourceColumns,
                               const std::vector<SColumnInfo>& dest, SSourceSelectOptions& options,
                               std::map<std::string, std::string>& charsets)
{
    std::map<int, std::pair<std::string, std::string>> ofSet; // id: name, unmapped bytes
    for (const SColumnInfo& column : sourceColumns)
    {
        const SColumnInfo* target = nullptr;
        for (const SColumnInfo& info : dest)
        {
            if (FindColumnNamed(sourceColumns, info.name) == &column)
                target = &info;
        }
        const bool text = IsDeclaredTextType(column.fieldType, column.blobSubType);
        if (!IsRealText(column) || !text || !target || target->characterSetId <= 1 || target->dimensions > 0 ||
            options.bytesColumns.count(column.name))
            continue;
        auto known = ofSet.find(column.characterSetId);
        if (known == ofSet.end())
        {
            const std::string name = CharacterSetName(source, column.characterSetId);
            known = ofSet.emplace(column.characterSetId, std::make_pair(name, UnmappedBytes(source, name))).first;
        }
        const auto& [name, bytes] = known->second;
        if (bytes.empty())
            continue;
        options.declaredUnmapped[column.name] = bytes;
        charsets[column.name] = name;
    }
}

bool HasRealText(const std::vector<SColumnInfo>& source)
{
    return std::any_of(source.begin(), source.end(), IsRealText);
}

bool HasNoneText(const std::vector<SColumnInfo>& source)
{
    return std::any_of(source.begin(), source.end(), IsNoneText);
}

std::string UnmappedBytes(CFbConnection& connection, const std::string& charset)
{
    if (!IsCharacterSetName(charset))
        return {};
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += HexByte(byte);
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT CAST(CAST(x'" + every + "' AS VARCHAR(255) CHARACTER SET " + charset +
                           ") AS VARCHAR(1020) CHARACTER SET UTF8) FROM rdb$database",
                       failure, &rows, nullptr, EValueForm::Exact);
    if (failure != 0 || rows.RowCount() != 1)
        return {}; // several bytes a character: a byte alone is no text there
    // Byte n became the n-th character: U+0000 is the only one written as
    // a zero byte, and every character starts with a byte that does not
    // continue another.
    const std::string text = rows.GetCell(0, 0);
    std::string unmapped;
    int characters = 0;
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80)
            continue;
        ++characters;
        if (byte == 0)
            unmapped += static_cast<char>(characters);
    }
    return characters == 255 ? unmapped : std::string();
}

std::string HoldsAnyByte(const std::string& quotedColumn, const std::string& bytes)
{
    // A search for each byte: each takes one pass over the value, where a
    // pattern ('%[...]%') takes minutes over a BLOB of a few megabytes.
    std::string condition;
    for (const char byte : bytes)
        condition += std::string(condition.empty() ? "(" : " OR ") + "POSITION(x'" + HexByte(byte) + "' IN " +
                     quotedColumn + ") > 0";
    return condition.empty() ? "FALSE" : condition + ")";
}

std::string UnmappedByteMessage(const std::string& column, const std::string& charset, const std::string& bytes)
{
    std::string list;
    for (size_t i = 0; i < bytes.size(); ++i)
        list += std::string(i == 0 ? "" : i + 1 == bytes.size() ? " or " : ", ") + "0x" + HexByte(bytes[i]);
    return "Column " + column + " holds a byte that stands for no character in " + charset + " (" + list +
           "): the row is not copied rather than stored with U+0000 in its place";
}

bool IsCharacterSetName(const std::string& name)
{
    return !name.empty() && name.size() <= 63 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

std::string CharacterSetName(CFbConnection& connection, int id)
{
    CStringGrid names;
    int failure = 0;
    connection.Execute("SELECT rdb$character_set_name FROM rdb$character_sets WHERE rdb$character_set_id = " +
                           std::to_string(id),
                       failure, &names);
    return failure == 0 && names.RowCount() == 1 && IsCharacterSetName(names.GetCell(0, 0)) ? names.GetCell(0, 0)
                                                                                            : std::string();
}

bool HasCharacterSet(CFbConnection& connection, const std::string& name)
{
    if (!IsCharacterSetName(name))
        return false;
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT 1 FROM rdb$character_sets WHERE rdb$character_set_name = '" + name + "'", failure,
                       &rows);
    return failure == 0 && rows.RowCount() == 1;
}

std::string BuildSourceSelect(CFbConnection& connection, const std::string& table,
                              const std::vector<SColumnInfo>& columns, const SSourceSelectOptions& options)
{
    const std::string order = columns.empty() ? "" : " ORDER BY " + SqlIdentifier(columns.front().name);
    const std::string plain = "SELECT * FROM " + SqlIdentifier(table) + order;
    const std::string legacy = IsCharacterSetName(options.legacyCharset) ? options.legacyCharset : "";
    std::map<std::string, std::string> casts;
    for (const SColumnInfo& column : columns)
    {
        if (options.bytesColumns.count(column.name) && IsRealText(column))
            casts[column.name] = BytesCast(column);
    }
    if (options.inlineBlobs)
        casts.merge(InlineBlobCasts(connection, table, columns, legacy, options.legacyColumns));
    if (!legacy.empty())
    {
        for (const SColumnInfo& column : columns)
        {
            if (IsNoneText(column) && options.legacyColumns.count(column.name) && !casts.count(column.name))
                casts[column.name] = LegacyCast(column, legacy);
        }
    }
    const std::string unmapped = UnmappedByteSelect(
        columns, options.legacyColumns, legacy.empty() ? "" : options.unmappedBytes, options.declaredUnmapped);
    if (casts.empty() && unmapped.empty())
        return plain;
    std::string list;
    for (const SColumnInfo& column : columns)
    {
        const auto cast = casts.find(column.name);
        list += (list.empty() ? "" : ", ") + (cast != casts.end() ? cast->second : SqlIdentifier(column.name));
    }
    if (!unmapped.empty())
        list += ", " + unmapped;
    return "SELECT " + list + " FROM " + SqlIdentifier(table) + order;
}
