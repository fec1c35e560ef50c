#include "copy/verify/CTableVerifier.h"

#include "copy/check/CopyCheck.h"
#include "copy/logs/LogValues.h"
#include "copy/read/SourceSelect.h"
#include "copy/verify/CRowComparison.h"
#include "db/ArrayIo.h"
#include "db/BlobIo.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/FieldTypes.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace
{
using CharsetNames = std::map<int, std::string>;

CharsetNames ReadCharsetNames(CFbConnection& connection)
{
    CharsetNames names;
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT rdb$character_set_id, rdb$character_set_name FROM rdb$character_sets", failure, &rows);
    for (int r = 0; failure == 0 && r < rows.RowCount(); ++r)
        names[static_cast<int>(rows.GetCellInt(0, r))] = rows.GetCell(1, r);
    return names;
}

bool IsIntegerKey(const SColumnInfo& column)
{
    return (column.fieldType == FieldSmallint || column.fieldType == FieldInteger || column.fieldType == FieldBigint) &&
           column.scale == 0;
}

// The destination column's type as a CAST names it; empty when there is none.
std::string CastType(const SColumnInfo& column, const CharsetNames& charsets)
{
    if (column.dimensions > 0)
        return {};
    const auto charset = [&]() -> std::string {
        const auto found = charsets.find(column.characterSetId);
        return found != charsets.end() ? " CHARACTER SET " + found->second : "";
    };
    const auto exact = [&](const char* integer, int digits) -> std::string {
        if (column.scale == 0)
            return integer;
        return "NUMERIC(" + std::to_string(column.precision > 0 ? column.precision : digits) + "," +
               std::to_string(-column.scale) + ")";
    };
    switch (column.fieldType)
    {
    case FieldSmallint: return exact("SMALLINT", 4);
    case FieldInteger: return exact("INTEGER", 9);
    case FieldBigint: return exact("BIGINT", 18);
    case FieldFloat: return "FLOAT";
    case FieldDouble: return "DOUBLE PRECISION";
    case FieldDate: return "DATE";
    case FieldTime: return "TIME";
    case FieldTimestamp: return "TIMESTAMP";
    case FieldBoolean: return "BOOLEAN";
    case FieldChar: return "CHAR(" + std::to_string(std::max(1, column.length)) + ")" + charset();
    case FieldVarchar: return "VARCHAR(" + std::to_string(std::max(1, column.length)) + ")" + charset();
    case FieldBlob:
        return "BLOB SUB_TYPE " + std::to_string(column.blobSubType) +
               (column.blobSubType == BlobSubTypeText ? charset() : "");
    default: return {};
    }
}

// Bytes that the text of any value of the column takes: the room of the
// order key, which the engine sorts by (a room far too large would make
// every sort record as large).
int TextBytes(const SColumnInfo& column)
{
    switch (column.fieldType)
    {
    case FieldChar:
    case FieldVarchar: return std::max(1, column.length) * 4;
    case FieldDate:
    case FieldTime:
    case FieldTimestamp: return 32;
    case FieldBoolean: return 8;
    default: return 48; // numbers in their longest text form
    }
}

// Whether the source column already holds the destination's type: a cast
// to it would change no value and only cost the engine work on every row.
bool SameType(const SVerifyColumn& column)
{
    const SColumnInfo& source = column.source;
    const SColumnInfo& dest = column.dest;
    const bool legacyText = !column.legacyCharset.empty() && source.characterSetId == 0;
    return !legacyText && source.dimensions == 0 && dest.dimensions == 0 && source.fieldType == dest.fieldType &&
           source.scale == dest.scale && source.length == dest.length && source.characterSetId == dest.characterSetId &&
           source.blobSubType == dest.blobSubType;
}

// Text of a real character set going into bytes: the copy reads it as the
// bytes it is stored as, padding and all.
bool TextIntoBytes(const SVerifyColumn& column)
{
    const SColumnInfo& dest = column.dest;
    return column.source.characterSetId > 1 && column.source.dimensions == 0 && dest.dimensions == 0 &&
           (dest.characterSetId == 0 || dest.characterSetId == 1 || (dest.blob && dest.blobSubType != BlobSubTypeText));
}

// A TIME going into a TIMESTAMP takes the date of the day it is copied on,
// which no later day can tell again: only the time of day is compared.
bool TimeIntoTimestamp(const SVerifyColumn& column)
{
    return column.source.fieldType == FieldTime && column.dest.fieldType == FieldTimestamp &&
           column.source.dimensions == 0 && column.dest.dimensions == 0;
}

// Arrays whose elements both sides store alike: their slices are compared
// element for element. Others would need each element converted.
bool ArraysAlike(const SVerifyColumn& column)
{
    const SColumnInfo& source = column.source;
    const SColumnInfo& dest = column.dest;
    return dest.dimensions > 0 && source.dimensions == dest.dimensions && source.fieldType == dest.fieldType &&
           source.scale == dest.scale && source.length == dest.length && source.characterSetId == dest.characterSetId &&
           column.legacyCharset.empty();
}

// The destination column as it is compared.
std::string DestExpression(const SVerifyColumn& column)
{
    const std::string name = SqlIdentifier(column.dest.name);
    return TimeIntoTimestamp(column) ? "CAST(" + name + " AS TIME)" : name;
}

// A dialect-1 NUMERIC or DECIMAL of more than 9 digits: a DOUBLE PRECISION
// whose scale only its text shows. The copy hands on the double alone.
bool IsScaledDouble(const SColumnInfo& column)
{
    return column.fieldType == FieldDouble && column.scale != 0 && column.dimensions == 0;
}

// The 64-bit types (BIGINT, NUMERIC and DECIMAL of more than 9 digits) that
// no CAST of a dialect-1 database can name: a number going into one is read
// as the source stores it and converted by the destination's server.
bool ConvertedByDestination(const SVerifyColumn& column, int sourceDialect)
{
    const int type = column.source.fieldType;
    const bool number = type == FieldSmallint || type == FieldInteger || type == FieldBigint || type == FieldFloat ||
                        type == FieldDouble;
    return sourceDialect < 3 && column.dest.fieldType == FieldBigint && column.dest.dimensions == 0 && number &&
           column.source.dimensions == 0;
}

// The source column as the destination holds it; with no type, as the
// source holds it, for the destination to convert.
std::string SourceExpression(const SVerifyColumn& column, const std::string& type)
{
    std::string value = SqlIdentifier(column.source.name);
    if (SameType(column) || TimeIntoTimestamp(column) || column.dest.dimensions > 0)
        return value;
    if (TextIntoBytes(column))
    {
        // A BLOB is compared with a BLOB, byte for byte.
        if (column.dest.blob && !column.source.blob)
            return "CAST(" + TextAsBytes(column.source) + " AS BLOB SUB_TYPE BINARY)";
        return column.source.blob ? TextAsBytes(column.source) : "CAST(" + value + " AS " + type + ")";
    }
    if (!column.legacyCharset.empty() && column.source.characterSetId == 0)
    {
        const std::string legacy = column.source.blob
                                       ? "BLOB SUB_TYPE TEXT"
                                       : "VARCHAR(" + std::to_string(std::max(1, column.source.length)) + ")";
        value = "CAST(" + value + " AS " + legacy + " CHARACTER SET " + column.legacyCharset + ")";
    }
    // A CHAR's padding is no part of its text: the copy sends the text
    // without it, so a destination of another type holds it without.
    if (column.source.fieldType == FieldChar && column.dest.fieldType != FieldChar && column.source.characterSetId != 1)
        value = "TRIM(TRAILING FROM " + value + ")";
    if (IsScaledDouble(column.source))
        value = "CAST(" + value + " AS DOUBLE PRECISION)";
    return type.empty() ? value : "CAST(" + value + " AS " + type + ")";
}

// The columns compared, each with the type both sides are read as.
struct SCompared
{
    std::vector<SVerifyColumn> columns;
    std::vector<std::string> types;
    // Per column, the destination's type that its server converts the
    // source's value to (empty: the source reads it as that type).
    std::vector<std::string> throughDest;

    std::string SourceValue(size_t c) const
    {
        return SourceExpression(columns[c], throughDest[c].empty() ? types[c] : std::string());
    }
    int IndexOf(const std::string& name) const
    {
        for (size_t c = 0; c < columns.size(); ++c)
        {
            if (columns[c].dest.name == name)
                return static_cast<int>(c);
        }
        return -1;
    }
};

// The two SELECTs streamed side by side.
struct SQueries
{
    std::string sourceSql = "SELECT ";
    std::string destSql = "SELECT ";
    std::string order;
    int valueOffset = 0; // the result column of the first compared column
};

// The columns that can be compared; an array whose elements change type is
// noted as not compared.
SCompared ComparedColumns(CFbConnection& dest, const std::vector<SVerifyColumn>& columns, STableVerification& result)
{
    SCompared compared;
    const CharsetNames charsets = ReadCharsetNames(dest);
    for (const SVerifyColumn& column : columns)
    {
        const std::string type = ArraysAlike(column) ? "ARRAY" : CastType(column.dest, charsets);
        if (type.empty())
        {
            result.notCompared.push_back(column.dest.name); // an array whose elements change type
            continue;
        }
        compared.columns.push_back(column);
        compared.types.push_back(type);
    }
    return compared;
}

// The destination's primary key, or a unique key, when all its columns
// are compared; else every compared column that is not a BLOB, and then
// the BLOBs by a hash of their contents.
std::vector<std::string> OrderKeyNames(CFbConnection& dest, const std::string& destTable, const SCompared& compared,
                                       bool& byEveryColumn)
{
    byEveryColumn = false;
    std::vector<std::string> keyNames;
    GetPrimaryKey(dest, destTable, keyNames);
    if (keyNames.empty())
        GetUniqueKey(dest, destTable, keyNames);
    if (!keyNames.empty() && std::none_of(keyNames.begin(), keyNames.end(),
                                          [&](const std::string& name) { return compared.IndexOf(name) < 0; }))
        return keyNames;
    keyNames.clear();
    byEveryColumn = true;
    for (const SVerifyColumn& column : compared.columns)
    {
        if (!column.dest.blob && column.dest.dimensions == 0)
            keyNames.push_back(column.dest.name);
    }
    return keyNames;
}

SOrderKey OrderKeyOf(const std::string& name, const SCompared& compared)
{
    const size_t c = static_cast<size_t>(compared.IndexOf(name));
    const SVerifyColumn& column = compared.columns[c];
    SOrderKey key;
    key.name = name;
    key.valueColumn = c;
    // A key the destination converts orders alike only from an integer.
    key.integer = IsIntegerKey(column.dest) && (compared.throughDest[c].empty() || IsIntegerKey(column.source));
    if (key.integer)
    {
        // The same type on both sides needs no cast, so an index can give the order.
        const bool sameType = column.source.fieldType == column.dest.fieldType && column.source.scale == 0;
        key.sourceExpression = sameType ? SqlIdentifier(column.source.name) : compared.SourceValue(c);
        key.destExpression = SqlIdentifier(name);
    }
    else
    {
        const std::string room = std::to_string(std::min(32765, TextBytes(column.dest)));
        key.sourceExpression = "CAST(" + compared.SourceValue(c) + " AS VARCHAR(" + room + ") CHARACTER SET OCTETS)";
        key.destExpression = "CAST(" + DestExpression(column) + " AS VARCHAR(" + room + ") CHARACTER SET OCTETS)";
    }
    return key;
}

// Rows alike but for their BLOBs would otherwise meet in the order the
// engine happens to give, and be paired wrongly. The source's hash is taken
// of its value as the destination stores it.
void AddBlobHashKeys(const SCompared& compared, std::vector<SOrderKey>& keys)
{
    for (size_t c = 0; c < compared.columns.size(); ++c)
    {
        if (!compared.columns[c].dest.blob)
            continue;
        SOrderKey key;
        key.name = compared.columns[c].dest.name;
        key.valueColumn = c;
        key.integer = true;
        key.sourceExpression = "HASH(" + compared.SourceValue(c) + ")";
        key.destExpression = "HASH(" + DestExpression(compared.columns[c]) + ")";
        key.shown = false;
        keys.push_back(key);
    }
}

// The SELECT lists and the ORDER BY of both sides. An integer key read
// alike on both sides is its compared column itself; every other key gets
// a column of its own, before the compared ones.
SQueries ComparisonQueries(const SCompared& compared, std::vector<SOrderKey>& keys)
{
    SQueries queries;
    std::vector<bool> ownColumn(keys.size());
    for (size_t k = 0; k < keys.size(); ++k)
    {
        const size_t c = keys[k].valueColumn;
        ownColumn[k] = !keys[k].integer || keys[k].sourceExpression != compared.SourceValue(c) ||
                       keys[k].destExpression != DestExpression(compared.columns[c]);
        if (ownColumn[k])
            keys[k].column = queries.valueOffset++;
    }
    for (size_t k = 0; k < keys.size(); ++k)
    {
        if (ownColumn[k])
        {
            queries.sourceSql += keys[k].sourceExpression + ", ";
            queries.destSql += keys[k].destExpression + ", ";
        }
        else
            keys[k].column = queries.valueOffset + static_cast<int>(keys[k].valueColumn);
        queries.order += (k ? ", " : " ORDER BY ") + std::to_string(keys[k].column + 1);
    }
    for (size_t c = 0; c < compared.columns.size(); ++c)
    {
        queries.sourceSql += (c ? ", " : "") + compared.SourceValue(c);
        queries.destSql += (c ? ", " : "") + DestExpression(compared.columns[c]);
    }
    return queries;
}

// Rows whose values the destination's types refuse could not be inserted;
// they are counted apart and left out of the source's rows, since reading
// them as those types would fail the whole comparison.
void LeaveOutRefusedRows(CFbConnection& source, const std::string& sourceTable, const SCompared& compared,
                         SQueries& queries, STableVerification& result)
{
    std::string refused;
    for (const SVerifyColumn& column : compared.columns)
    {
        for (const std::string& condition : FailingConversions(column.source, column.dest))
            refused += (refused.empty() ? "" : " OR ") + condition;
    }
    const std::string from = " FROM " + SqlIdentifier(sourceTable);
    if (refused.empty())
    {
        queries.sourceSql += from + queries.order;
        return;
    }
    CStringGrid count;
    int failure = 0;
    source.Execute("SELECT COUNT(*)" + from + " WHERE COALESCE(" + refused + ", FALSE)", failure, &count);
    if (failure == 0 && count.RowCount() == 1)
        result.refused = count.GetCellInt(0, 0);
    queries.sourceSql += from + " WHERE NOT COALESCE(" + refused + ", FALSE)" + queries.order;
}
} // namespace

STableVerification VerifyTable(CFbConnection& source, CFbConnection& dest, const std::string& sourceTable,
                               const std::string& destTable, const std::vector<SVerifyColumn>& columns)
{
    STableVerification result;
    SCompared compared = ComparedColumns(dest, columns, result);
    // Nothing compared proves nothing, whatever the rows hold.
    if (compared.columns.empty())
    {
        result.error = "No column of both tables can be compared";
        return result;
    }
    compared.throughDest.resize(compared.columns.size());
    for (size_t c = 0; c < compared.columns.size(); ++c)
    {
        if (ConvertedByDestination(compared.columns[c], source.SqlDialect()))
            compared.throughDest[c] = compared.types[c];
    }
    bool byEveryColumn = false;
    std::vector<SOrderKey> keys;
    for (const std::string& name : OrderKeyNames(dest, destTable, compared, byEveryColumn))
        keys.push_back(OrderKeyOf(name, compared));
    if (byEveryColumn)
        AddBlobHashKeys(compared, keys);
    SQueries queries = ComparisonQueries(compared, keys);
    LeaveOutRefusedRows(source, sourceTable, compared, queries, result);
    queries.destSql += " FROM " + SqlIdentifier(destTable) + queries.order;
    CComparison comparison(source, dest, compared.columns, keys, queries.valueOffset, compared.throughDest);
    comparison.Run(queries.sourceSql, queries.destSql, result);
    return result;
}
