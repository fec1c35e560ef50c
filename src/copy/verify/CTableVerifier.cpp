#include "copy/verify/CTableVerifier.h"

#include "copy/check/CopyCheck.h"
#include "copy/logs/LogValues.h"
#include "copy/read/SourceSelect.h"
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
        return "BLOB SUB_TYPE " + std::to_string(column.blobSubType) + (column.blobSubType == 1 ? charset() : "");
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
           (dest.characterSetId == 0 || dest.characterSetId == 1 || (dest.blob && dest.blobSubType != 1));
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
           source.scale == dest.scale && source.length == dest.length &&
           source.characterSetId == dest.characterSetId && column.legacyCharset.empty();
}

// The same elements in the same bounds; varying text compared by its
// length and characters, not by the unused rest of its slot.
bool SameSlices(const SArraySlice& a, const SArraySlice& b)
{
    const ISC_ARRAY_DESC& x = a.desc;
    const ISC_ARRAY_DESC& y = b.desc;
    if (x.array_desc_dtype != y.array_desc_dtype || x.array_desc_scale != y.array_desc_scale ||
        x.array_desc_length != y.array_desc_length || x.array_desc_dimensions != y.array_desc_dimensions ||
        a.data.size() != b.data.size())
        return false;
    for (int d = 0; d < x.array_desc_dimensions && d < 16; ++d)
    {
        if (x.array_desc_bounds[d].array_bound_lower != y.array_desc_bounds[d].array_bound_lower ||
            x.array_desc_bounds[d].array_bound_upper != y.array_desc_bounds[d].array_bound_upper)
            return false;
    }
    if (x.array_desc_dtype != blr_varying && x.array_desc_dtype != blr_varying2)
        return a.data == b.data;
    const size_t slot = x.array_desc_length + 2u;
    for (size_t at = 0; at + 2 <= a.data.size(); at += slot)
    {
        std::uint16_t length = 0;
        std::memcpy(&length, a.data.data() + at, 2);
        const size_t used = 2 + std::min<size_t>(length, slot - 2);
        if (a.data.compare(at, used, b.data, at, used) != 0)
            return false;
    }
    return true;
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

// The source value as an expression of exactly its value for the
// destination's server: a scaled integer in its digits, a double as its
// mantissa times a power of two, each factor exact (no decimal text, whose
// reading back could round). Empty for other types.
std::string ExactNumberExpression(const XSQLVAR& var, const std::string& text)
{
    const int type = var.sqltype & ~1;
    if (type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64)
        return text;
    if (type != SQL_DOUBLE && type != SQL_FLOAT)
        return {};
    double value = 0;
    if (type == SQL_FLOAT)
    {
        float single = 0;
        std::memcpy(&single, var.sqldata, sizeof single);
        value = single;
    }
    else
        std::memcpy(&value, var.sqldata, sizeof value);
    if (!std::isfinite(value))
        return {};
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    const auto mantissa = static_cast<long long>(std::ldexp(fraction, 53));
    exponent -= 53;
    std::string expression = "CAST(" + std::to_string(mantissa) + " AS DOUBLE PRECISION)";
    while (exponent != 0)
    {
        const int step = std::min(std::abs(exponent), 62);
        expression += std::string(exponent > 0 ? " * " : " / ") + std::to_string(1LL << step) + "E0";
        exponent += exponent > 0 ? -step : step;
    }
    return type == SQL_FLOAT ? "CAST(" + expression + " AS FLOAT)" : expression;
}

// Whether the double is the nearest one to the scaled integer and so close
// to it that any rounding to the scale gives that integer back.
bool DoubleHoldsScaled(const XSQLVAR& var, std::int64_t scaled, int scale)
{
    if ((var.sqltype & ~1) != SQL_DOUBLE || scale > 0 || scale < -18 || std::llabs(scaled) >= (1LL << 53))
        return false;
    double value = 0;
    std::memcpy(&value, var.sqldata, sizeof value);
    const double unit = std::pow(10.0, -scale);
    const double gap = std::nextafter(std::fabs(value), HUGE_VAL) - std::fabs(value);
    return static_cast<double>(scaled) / unit == value && gap * unit < 0.25;
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

// What orders both sides alike: an integer key by its number, anything else
// by the bytes of its text.
struct SOrderKey
{
    std::string sourceExpression;
    std::string destExpression;
    bool integer = false;
    std::string name;
    size_t valueColumn = 0; // the compared column that holds the key
    int column = 0;         // the result column the rows are ordered by
    bool shown = true;      // named in the log's key text (not a BLOB's hash)
};

std::int64_t IntegerOf(const XSQLVAR& var)
{
    switch (var.sqltype & ~1)
    {
    case SQL_SHORT: {
        std::int16_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    case SQL_LONG: {
        std::int32_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    default: {
        std::int64_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    }
}

bool IsNull(const XSQLVAR& var)
{
    return (var.sqltype & 1) != 0 && var.sqlind != nullptr && *var.sqlind < 0;
}

// The value's bytes as fetched: a varying text without its length word.
std::string_view Bytes(const XSQLVAR& var)
{
    if ((var.sqltype & ~1) == SQL_VARYING)
    {
        std::uint16_t length = 0;
        std::memcpy(&length, var.sqldata, 2);
        return {var.sqldata + 2, length};
    }
    return {var.sqldata, static_cast<std::uint16_t>(var.sqllen)};
}

// Ascending, NULL first, as the engine orders; texts as OCTETS, shorter
// ones padded with zero bytes.
int CompareKey(const XSQLVAR& a, const XSQLVAR& b, bool integer)
{
    const bool nullA = IsNull(a);
    const bool nullB = IsNull(b);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    if (integer)
    {
        const std::int64_t x = IntegerOf(a);
        const std::int64_t y = IntegerOf(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const std::string_view x = Bytes(a);
    const std::string_view y = Bytes(b);
    const size_t length = std::max(x.size(), y.size());
    for (size_t i = 0; i < length; ++i)
    {
        const auto cx = static_cast<unsigned char>(i < x.size() ? x[i] : 0);
        const auto cy = static_cast<unsigned char>(i < y.size() ? y[i] : 0);
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return 0;
}

constexpr size_t kBlobPieceBytes = 256 * 1024;

class CComparison
{
  public:
    // valueOffset: the result column of the first compared column, after the
    // keys that need a column of their own.
    // throughDest: per column, the destination's type that its server
    // converts the source's value to (empty: the source read it as that type).
    CComparison(CFbConnection& source, CFbConnection& dest, const std::vector<SVerifyColumn>& columns,
                const std::vector<SOrderKey>& keys, int valueOffset, const std::vector<std::string>& throughDest)
        : m_source(source), m_dest(dest), m_sourceRows(source), m_destRows(dest), m_columns(columns), m_keys(keys),
          m_nValueOffset(valueOffset), m_throughDest(throughDest)
    {
    }

    void Run(const std::string& sourceSql, const std::string& destSql, STableVerification& result);

  private:
    int CompareKeys();
    void CompareValues(STableVerification& result);
    bool SameValue(size_t column, std::string& sourceText, std::string& destText);
    // Whether the destination's server makes the destination's value of the source's.
    bool ConvertsAlike(size_t column, const XSQLVAR& source, const XSQLVAR& dest, const std::string& sourceText,
                       const std::string& destText);
    std::string KeyText(CFbCursor& cursor);
    std::string Literal(CFbCursor& cursor, int i);
    // Compares the BLOBs of column i of both rows without holding either whole.
    bool SameBlob(int i);

    CFbConnection& m_source;
    CFbConnection& m_dest;
    CFbCursor m_sourceRows;
    CFbCursor m_destRows;
    const std::vector<SVerifyColumn>& m_columns;
    const std::vector<SOrderKey>& m_keys;
    const int m_nValueOffset;
    const std::vector<std::string>& m_throughDest;
};

std::string CComparison::Literal(CFbCursor& cursor, int i)
{
    const XSQLVAR& var = cursor.Column(i);
    const int type = var.sqltype & ~1;
    std::string text;
    if (type == SQL_ARRAY && !IsNull(var))
    {
        // The elements' bytes as the client library hands them over.
        SArraySlice slice;
        if (!cursor.ReadArrayValue(i, slice))
            return "?";
        AppendLogValue(text, ELogForm::Sql, true, slice.data, CStringGrid::MarkBinary);
        return text;
    }
    if (type == SQL_BLOB && !IsNull(var))
    {
        // A BLOB passes through in pieces: the log shows it as the run's
        // logs do, abbreviated when long, without ever holding it whole.
        CValueDigest digest;
        digest.Reset(true);
        CBlobReader blob;
        if (!cursor.OpenBlob(i, blob))
            return "?";
        std::string piece;
        int read = 1;
        while ((read = cursor.ReadBlobPiece(blob, piece, kBlobPieceBytes)) > 0)
        {
            digest.Add(piece.data(), piece.size());
            piece.clear();
        }
        if (read < 0 || !cursor.CloseBlob(blob))
            return "?";
        const bool binary = var.sqlsubtype != 1;
        if (digest.Length() > LogWholeBytes)
            digest.AppendTo(text, ELogForm::Sql, binary);
        else
        {
            // Short enough to be shown whole: the head holds all of it.
            SColumnValue value;
            if (!cursor.Value(i, EValueForm::Exact, value))
                return "?";
            AppendLogValue(text, ELogForm::Sql, true, value.text, value.marks);
        }
        return text;
    }
    SColumnValue value;
    if (!cursor.Value(i, EValueForm::Exact, value))
        return "?";
    const bool isString = !(type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64 || type == SQL_FLOAT ||
                            type == SQL_DOUBLE || type == SQL_BOOLEAN);
    AppendLogValue(text, ELogForm::Sql, isString, value.text, value.marks);
    return text;
}

bool CComparison::SameBlob(int i)
{
    CBlobReader a;
    CBlobReader b;
    if (!m_sourceRows.OpenBlob(i, a) || !m_destRows.OpenBlob(i, b))
        return false;
    // Both BLOBs are read piece by piece and compared as far as both have
    // arrived; segment boundaries need not agree.
    std::string x;
    std::string y;
    int readA = 1;
    int readB = 1;
    bool same = true;
    while (same)
    {
        if (readA > 0 && x.size() < kBlobPieceBytes)
            readA = m_sourceRows.ReadBlobPiece(a, x, kBlobPieceBytes - x.size());
        if (readB > 0 && y.size() < kBlobPieceBytes)
            readB = m_destRows.ReadBlobPiece(b, y, kBlobPieceBytes - y.size());
        if (readA < 0 || readB < 0)
            return false;
        const size_t common = std::min(x.size(), y.size());
        same = std::memcmp(x.data(), y.data(), common) == 0;
        x.erase(0, common);
        y.erase(0, common);
        if (readA == 0 && readB == 0)
        {
            same = same && x.empty() && y.empty();
            break;
        }
        if ((readA == 0 && x.empty() && !y.empty()) || (readB == 0 && y.empty() && !x.empty()))
            same = false;
    }
    const bool closedA = m_sourceRows.CloseBlob(a);
    const bool closedB = m_destRows.CloseBlob(b);
    return same && closedA && closedB;
}

std::string CComparison::KeyText(CFbCursor& cursor)
{
    std::string text;
    for (const SOrderKey& key : m_keys)
    {
        if (key.shown)
            text += (text.empty() ? "" : ", ") + key.name + "=" +
                    Literal(cursor, m_nValueOffset + static_cast<int>(key.valueColumn));
    }
    return text;
}

int CComparison::CompareKeys()
{
    for (size_t k = 0; k < m_keys.size(); ++k)
    {
        const int order =
            CompareKey(m_sourceRows.Column(m_keys[k].column), m_destRows.Column(m_keys[k].column), m_keys[k].integer);
        if (order != 0)
            return order;
    }
    return 0;
}

bool CComparison::SameValue(size_t column, std::string& sourceText, std::string& destText)
{
    const int i = m_nValueOffset + static_cast<int>(column);
    const XSQLVAR& a = m_sourceRows.Column(i);
    const XSQLVAR& b = m_destRows.Column(i);
    if (IsNull(a) || IsNull(b))
        return IsNull(a) == IsNull(b);
    if ((a.sqltype & ~1) == SQL_BLOB && (b.sqltype & ~1) == SQL_BLOB)
    {
        return SameBlob(i);
    }
    if ((a.sqltype & ~1) == SQL_ARRAY && (b.sqltype & ~1) == SQL_ARRAY)
    {
        SArraySlice x;
        SArraySlice y;
        return m_sourceRows.ReadArrayValue(i, x) && m_destRows.ReadArrayValue(i, y) && SameSlices(x, y);
    }
    if ((a.sqltype & ~1) == (b.sqltype & ~1) && a.sqlscale == b.sqlscale)
        return Bytes(a) == Bytes(b);
    // Types the cast did not make alike are compared in their exact text.
    SColumnValue x;
    SColumnValue y;
    m_sourceRows.Value(i, EValueForm::Exact, x);
    m_destRows.Value(i, EValueForm::Exact, y);
    sourceText = x.text;
    destText = y.text;
    if (x.text == y.text && x.marks == y.marks)
        return true;
    return !m_throughDest[column].empty() && ConvertsAlike(column, a, b, x.text, y.text);
}

bool CComparison::ConvertsAlike(size_t column, const XSQLVAR& source, const XSQLVAR& dest,
                                const std::string& sourceText, const std::string& destText)
{
    if (DoubleHoldsScaled(source, IntegerOf(dest), dest.sqlscale))
        return true;
    // Rare (more decimals than the destination keeps, or beyond a double's
    // integers): the destination's server converts the value itself.
    const std::string value = ExactNumberExpression(source, sourceText);
    if (value.empty())
        return false;
    CStringGrid converted;
    int failure = 0;
    m_dest.Execute("SELECT CAST(" + value + " AS " + m_throughDest[column] + ") FROM RDB$DATABASE", failure, &converted,
                   nullptr, EValueForm::Exact);
    return failure == 0 && converted.RowCount() == 1 && converted.GetCell(0, 0) == destText;
}

void CComparison::CompareValues(STableVerification& result)
{
    bool differs = false;
    for (size_t c = 0; c < m_columns.size(); ++c)
    {
        std::string ignoredSource;
        std::string ignoredDest;
        if (SameValue(c, ignoredSource, ignoredDest))
            continue;
        if (!differs && result.differences.size() < kShownDifferences)
        {
            const int i = m_nValueOffset + static_cast<int>(c);
            result.differences.push_back(
                {KeyText(m_destRows), m_columns[c].dest.name, Literal(m_sourceRows, i), Literal(m_destRows, i)});
        }
        differs = true;
    }
    if (differs)
        ++result.differing;
    else
        ++result.identical;
}

void CComparison::Run(const std::string& sourceSql, const std::string& destSql, STableVerification& result)
{
    if (!m_sourceRows.Open(sourceSql))
    {
        result.error = m_sourceRows.LastErrorMessage();
        return;
    }
    if (!m_destRows.Open(destSql))
    {
        result.error = m_destRows.LastErrorMessage();
        return;
    }
    int a = m_sourceRows.Fetch();
    int b = m_destRows.Fetch();
    // A side that fails to deliver ends the comparison: its rows not yet
    // read are neither missing nor extra.
    while ((a == 1 || b == 1) && a >= 0 && b >= 0)
    {
        const int order = a != 1 ? 1 : b != 1 ? -1 : CompareKeys();
        if (order == 0)
        {
            CompareValues(result);
            a = m_sourceRows.Fetch();
            b = m_destRows.Fetch();
        }
        else if (order < 0)
        {
            if (++result.missing <= static_cast<long long>(kShownDifferences))
                result.missingKeys.push_back(KeyText(m_sourceRows));
            a = m_sourceRows.Fetch();
        }
        else
        {
            if (++result.extra <= static_cast<long long>(kShownDifferences))
                result.extraKeys.push_back(KeyText(m_destRows));
            b = m_destRows.Fetch();
        }
    }
    // A fetch error is never the end of the rows.
    if (a < 0 || b < 0)
    {
        result.error = a < 0 ? m_sourceRows.LastErrorMessage() : m_destRows.LastErrorMessage();
        return;
    }
    result.ran = true;
}
} // namespace

STableVerification VerifyTable(CFbConnection& source, CFbConnection& dest, const std::string& sourceTable,
                               const std::string& destTable, const std::vector<SVerifyColumn>& columns)
{
    STableVerification result;
    const CharsetNames charsets = ReadCharsetNames(dest);
    std::vector<SVerifyColumn> compared;
    std::vector<std::string> types;
    for (const SVerifyColumn& column : columns)
    {
        const std::string type = ArraysAlike(column) ? "ARRAY" : CastType(column.dest, charsets);
        if (type.empty())
        {
            result.notCompared.push_back(column.dest.name); // an array whose elements change type
            continue;
        }
        compared.push_back(column);
        types.push_back(type);
    }
    // Nothing compared proves nothing, whatever the rows hold.
    if (compared.empty())
    {
        result.error = "No column of both tables can be compared";
        return result;
    }
    std::vector<std::string> throughDest(compared.size());
    for (size_t c = 0; c < compared.size(); ++c)
    {
        if (ConvertedByDestination(compared[c], source.SqlDialect()))
            throughDest[c] = types[c];
    }
    const auto sourceValue = [&](size_t c) {
        return SourceExpression(compared[c], throughDest[c].empty() ? types[c] : std::string());
    };

    // The destination's primary key, or a unique key, when all its columns
    // are compared; else every compared column that is not a BLOB, and then
    // the BLOBs by a hash of their contents.
    bool byEveryColumn = false;
    std::vector<std::string> keyNames;
    GetPrimaryKey(dest, destTable, keyNames);
    if (keyNames.empty())
        GetUniqueKey(dest, destTable, keyNames);
    const auto comparedIndex = [&](const std::string& name) {
        for (size_t c = 0; c < compared.size(); ++c)
        {
            if (compared[c].dest.name == name)
                return static_cast<int>(c);
        }
        return -1;
    };
    if (keyNames.empty() ||
        std::any_of(keyNames.begin(), keyNames.end(), [&](const std::string& name) { return comparedIndex(name) < 0; }))
    {
        keyNames.clear();
        byEveryColumn = true;
        for (const SVerifyColumn& column : compared)
        {
            if (!column.dest.blob && column.dest.dimensions == 0)
                keyNames.push_back(column.dest.name);
        }
    }
    std::vector<SOrderKey> keys;
    for (const std::string& name : keyNames)
    {
        const size_t c = static_cast<size_t>(comparedIndex(name));
        SOrderKey key;
        key.name = name;
        key.valueColumn = c;
        // A key the destination converts orders alike only from an integer.
        key.integer = IsIntegerKey(compared[c].dest) && (throughDest[c].empty() || IsIntegerKey(compared[c].source));
        if (key.integer)
        {
            // The same type on both sides needs no cast, so an index can give the order.
            const bool sameType =
                compared[c].source.fieldType == compared[c].dest.fieldType && compared[c].source.scale == 0;
            key.sourceExpression = sameType ? SqlIdentifier(compared[c].source.name) : sourceValue(c);
            key.destExpression = SqlIdentifier(name);
        }
        else
        {
            const std::string room = std::to_string(std::min(32765, TextBytes(compared[c].dest)));
            key.sourceExpression = "CAST(" + sourceValue(c) + " AS VARCHAR(" + room + ") CHARACTER SET OCTETS)";
            key.destExpression =
                "CAST(" + DestExpression(compared[c]) + " AS VARCHAR(" + room + ") CHARACTER SET OCTETS)";
        }
        keys.push_back(key);
    }
    for (size_t c = 0; byEveryColumn && c < compared.size(); ++c)
    {
        // Rows alike but for their BLOBs would otherwise meet in the order
        // the engine happens to give, and be paired wrongly. The source's
        // hash is taken of its value as the destination stores it.
        if (!compared[c].dest.blob)
            continue;
        SOrderKey key;
        key.name = compared[c].dest.name;
        key.valueColumn = c;
        key.integer = true;
        key.sourceExpression = "HASH(" + sourceValue(c) + ")";
        key.destExpression = "HASH(" + DestExpression(compared[c]) + ")";
        key.shown = false;
        keys.push_back(key);
    }
    // An integer key read alike on both sides is its compared column itself;
    // every other key gets a column of its own, before the compared ones.
    std::vector<bool> ownColumn(keys.size());
    int valueOffset = 0;
    for (size_t k = 0; k < keys.size(); ++k)
    {
        const size_t c = keys[k].valueColumn;
        ownColumn[k] = !keys[k].integer || keys[k].sourceExpression != sourceValue(c) ||
                       keys[k].destExpression != DestExpression(compared[c]);
        if (ownColumn[k])
            keys[k].column = valueOffset++;
    }
    std::string sourceSql = "SELECT ";
    std::string destSql = "SELECT ";
    std::string order;
    for (size_t k = 0; k < keys.size(); ++k)
    {
        if (ownColumn[k])
        {
            sourceSql += keys[k].sourceExpression + ", ";
            destSql += keys[k].destExpression + ", ";
        }
        else
            keys[k].column = valueOffset + static_cast<int>(keys[k].valueColumn);
        order += (k ? ", " : " ORDER BY ") + std::to_string(keys[k].column + 1);
    }
    for (size_t c = 0; c < compared.size(); ++c)
    {
        sourceSql += (c ? ", " : "") + sourceValue(c);
        destSql += (c ? ", " : "") + DestExpression(compared[c]);
    }
    // Rows whose values the destination's types refuse could not be
    // inserted; they are counted apart, since reading them as those types
    // would fail the whole comparison.
    std::string refused;
    for (size_t c = 0; c < compared.size(); ++c)
    {
        for (const std::string& condition : FailingConversions(compared[c].source, compared[c].dest))
            refused += (refused.empty() ? "" : " OR ") + condition;
    }
    const std::string from = " FROM " + SqlIdentifier(sourceTable);
    if (!refused.empty())
    {
        CStringGrid count;
        int failure = 0;
        source.Execute("SELECT COUNT(*)" + from + " WHERE COALESCE(" + refused + ", FALSE)", failure, &count);
        if (failure == 0 && count.RowCount() == 1)
            result.refused = count.GetCellInt(0, 0);
        sourceSql += from + " WHERE NOT COALESCE(" + refused + ", FALSE)" + order;
    }
    else
        sourceSql += from + order;
    destSql += " FROM " + SqlIdentifier(destTable) + order;
    CComparison comparison(source, dest, compared, keys, valueOffset, throughDest);
    comparison.Run(sourceSql, destSql, result);
    return result;
}
