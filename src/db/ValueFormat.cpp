#include "db/ValueFormat.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace
{
constexpr int SqlTypeOf(const XSQLVAR& column)
{
    return column.sqltype & ~1;
}

bool IsNull(const XSQLVAR& column)
{
    return (column.sqltype & 1) != 0 && column.sqlind != nullptr && *column.sqlind < 0;
}

template <typename T>
T Load(const XSQLVAR& column)
{
    T value;
    std::memcpy(&value, column.sqldata, sizeof value);
    return value;
}

std::int64_t IntegerValue(const XSQLVAR& column)
{
    switch (SqlTypeOf(column))
    {
    case SQL_SHORT: return Load<std::int16_t>(column);
    case SQL_LONG: return Load<std::int32_t>(column);
    default: return Load<std::int64_t>(column);
    }
}

int CharacterSetOf(const XSQLVAR& column)
{
    return column.sqlsubtype & 0xFF;
}

std::string FormatTimestamp(const ISC_TIMESTAMP& stamp)
{
    struct tm parts{};
    isc_decode_timestamp(const_cast<ISC_TIMESTAMP*>(&stamp), &parts);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%04u", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<unsigned>(stamp.timestamp_time % 10000));
    return buffer;
}

std::string FormatDate(ISC_DATE date)
{
    struct tm parts{};
    isc_decode_sql_date(&date, &parts);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    return buffer;
}

std::string FormatTime(ISC_TIME time)
{
    struct tm parts{};
    isc_decode_sql_time(&time, &parts);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%04u", parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<unsigned>(time % 10000));
    return buffer;
}

std::string FormatBlobId(const XSQLVAR& column)
{
    const auto id = Load<ISC_QUAD>(column);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%08x:%08x", static_cast<unsigned>(id.gds_quad_high),
                  static_cast<unsigned>(id.gds_quad_low));
    return buffer;
}

std::string VaryingBytes(const XSQLVAR& column)
{
    const auto length = Load<unsigned short>(column);
    return std::string(column.sqldata + 2, length);
}

std::string UnsupportedMarker(const XSQLVAR& column)
{
    return "<unsupported type " + std::to_string(SqlTypeOf(column)) + ">";
}

// The forms shared by display and exact output: numbers, dates and times.
bool FormatCommon(const XSQLVAR& column, std::string& text)
{
    switch (SqlTypeOf(column))
    {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: text = FormatScaledInteger(IntegerValue(column), column.sqlscale); return true;
    case SQL_TIMESTAMP: text = FormatTimestamp(Load<ISC_TIMESTAMP>(column)); return true;
    case SQL_TYPE_DATE: text = FormatDate(Load<ISC_DATE>(column)); return true;
    case SQL_TYPE_TIME: text = FormatTime(Load<ISC_TIME>(column)); return true;
    case SQL_BOOLEAN: text = Load<unsigned char>(column) != 0 ? "TRUE" : "FALSE"; return true;
    default: return false;
    }
}
} // namespace

std::string TimestampText(const ISC_TIMESTAMP& stamp)
{
    return FormatTimestamp(stamp);
}

std::string FormatScaledInteger(std::int64_t value, int scale)
{
    if (scale == 0)
        return std::to_string(value);
    if (scale > 0)
        return std::to_string(value) + std::string(static_cast<size_t>(scale), '0');
    std::int64_t divisor = 1;
    for (int i = 0; i < -scale && i < 18; ++i)
        divisor *= 10;
    const std::int64_t quotient = value / divisor;
    const std::int64_t remainder = value % divisor;
    std::string fraction = std::to_string(remainder < 0 ? -static_cast<std::uint64_t>(remainder)
                                                        : static_cast<std::uint64_t>(remainder));
    if (fraction.size() < static_cast<size_t>(-scale))
        fraction.insert(0, static_cast<size_t>(-scale) - fraction.size(), '0');
    const std::string whole = (value < 0 && quotient == 0) ? "-0" : std::to_string(quotient);
    return whole + "." + fraction;
}

std::string FormatExactDouble(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FormatExactFloat(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

int CharacterSetBytesPerChar(int characterSetId)
{
    switch (characterSetId)
    {
    case 3: return 3;                    // UNICODE_FSS
    case 4: return 4;                    // UTF8
    case 5: case 6: case 8: return 2;    // SJIS_0208, EUCJ_0208, KSC_5601 (old id)
    case 44: case 56: case 57: return 2; // KSC_5601, BIG_5, GB_2312
    case 67: case 68: return 4;          // GBK, CP943C use up to 2; GB18030 up to 4
    case 69: return 4;
    default: return 1;
    }
}

bool IsBinaryCharacterSet(int characterSetId)
{
    return characterSetId == 1;
}

std::string FormatColumnValue(const XSQLVAR& column)
{
    if (IsNull(column))
        return {};
    std::string text;
    if (FormatCommon(column, text))
        return text;
    char buffer[64];
    switch (SqlTypeOf(column))
    {
    case SQL_TEXT: {
        const std::string raw(column.sqldata, static_cast<unsigned short>(column.sqllen));
        return raw.substr(0, raw.find('\0'));
    }
    case SQL_VARYING: {
        const std::string raw = VaryingBytes(column);
        return raw.substr(0, raw.find('\0'));
    }
    case SQL_FLOAT: std::snprintf(buffer, sizeof buffer, "%15g ", static_cast<double>(Load<float>(column))); return buffer;
    case SQL_DOUBLE: {
        // Fixed notation of a large double needs up to 317 characters.
        char wide[400];
        std::snprintf(wide, sizeof wide, "%24f ", Load<double>(column));
        return wide;
    }
    case SQL_BLOB:
    case SQL_ARRAY: return FormatBlobId(column);
    default: return UnsupportedMarker(column);
    }
}

bool FormatColumnValue(const XSQLVAR& column, EValueForm form, const BlobReader& readBlob, SColumnValue& value)
{
    value.marks = CStringGrid::MarkNone;
    if (form == EValueForm::Display)
    {
        value.text = FormatColumnValue(column);
        if (IsNull(column))
            value.marks = CStringGrid::MarkNull;
        return true;
    }
    value.text.clear();
    if (IsNull(column))
    {
        value.marks = CStringGrid::MarkNull;
        return true;
    }
    if (FormatCommon(column, value.text))
        return true;
    switch (SqlTypeOf(column))
    {
    case SQL_TEXT: {
        value.text.assign(column.sqldata, static_cast<unsigned short>(column.sqllen));
        if (IsBinaryCharacterSet(CharacterSetOf(column)))
        {
            value.marks = CStringGrid::MarkBinary;
            return true;
        }
        // CHAR values are padded with blanks to their declared length.
        const size_t end = value.text.find_last_not_of(' ');
        value.text.resize(end == std::string::npos ? 0 : end + 1);
        return true;
    }
    case SQL_VARYING:
        value.text = VaryingBytes(column);
        if (IsBinaryCharacterSet(CharacterSetOf(column)))
            value.marks = CStringGrid::MarkBinary;
        return true;
    case SQL_FLOAT: value.text = FormatExactFloat(Load<float>(column)); return true;
    case SQL_DOUBLE: value.text = FormatExactDouble(Load<double>(column)); return true;
    case SQL_BLOB:
        // Subtype 1 is text (delivered in the connection character set); all
        // other subtypes are bytes.
        if (column.sqlsubtype != 1)
            value.marks = CStringGrid::MarkBinary;
        return readBlob && readBlob(Load<ISC_QUAD>(column), value.text);
    case SQL_ARRAY: value.text = FormatBlobId(column); return true; // the elements travel apart
    default: value.text = UnsupportedMarker(column); return true;
    }
}

std::string TrimSpaces(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

namespace
{
const char* ValueClass(int type)
{
    switch (type)
    {
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_LONG:
    case SQL_SHORT:
    case SQL_INT64:
    case SQL_BOOLEAN: return "VALUE";
    default: return "STRING";
    }
}

// The declared length: characters for text columns, bytes otherwise.
int DeclaredLength(const XSQLVAR& column)
{
    const int type = SqlTypeOf(column);
    const int bytes = static_cast<unsigned short>(column.sqllen);
    if (type == SQL_TEXT || type == SQL_VARYING)
        return bytes / CharacterSetBytesPerChar(CharacterSetOf(column));
    return bytes;
}

std::string TypeName(const XSQLVAR& column)
{
    switch (SqlTypeOf(column))
    {
    case SQL_VARYING: return "VARCHAR(" + std::to_string(DeclaredLength(column)) + ")";
    case SQL_DOUBLE:
    case SQL_FLOAT: return "FLOAT";
    case SQL_LONG: return "LONG";
    case SQL_SHORT: return "SMALLINT";
    case SQL_INT64: return "INT";
    case SQL_TIMESTAMP: return "TIMESTAMP";
    case SQL_TYPE_DATE: return "DATE";
    case SQL_TYPE_TIME: return "TIME";
    case SQL_BLOB: return "BLOB";
    case SQL_BOOLEAN: return "BOOLEAN";
    default: return "BLOB SUBTYPE TEXT";
    }
}
} // namespace

void DescribeColumns(XSQLDA* descriptor, CStringGrid* columnGrid, int n)
{
    if (!columnGrid)
        return;
    columnGrid->Clear();
    columnGrid->SetSize(n, 5);
    for (int i = 0; i < n; ++i)
    {
        const XSQLVAR& column = descriptor->sqlvar[i];
        columnGrid->SetCell(i, 0, std::string(column.aliasname, static_cast<size_t>(column.aliasname_length)));
        columnGrid->SetCellInt(i, 4, DeclaredLength(column));
        columnGrid->SetCell(i, 1, ValueClass(SqlTypeOf(column)));
    }
    if (n > 0)
    {
        const XSQLVAR& first = descriptor->sqlvar[0];
        columnGrid->SetCell(0, 2, std::string(first.relname, static_cast<size_t>(first.relname_length)));
    }
    for (int i = 0; i < n; ++i)
        columnGrid->SetCell(i, 3, TypeName(descriptor->sqlvar[i]));
}
