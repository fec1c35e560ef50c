#include "copy/check/ColumnCounts.h"

#include "copy/plan/TablePlan.h"
#include "db/FieldTypes.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Checking
{
bool IsText(const SColumnInfo& column)
{
    return IsTextType(column.fieldType, column.blobSubType);
}

bool IsExactNumber(const SColumnInfo& column)
{
    return column.fieldType == FieldSmallint || column.fieldType == FieldInteger || column.fieldType == FieldBigint;
}

bool IsFloat(const SColumnInfo& column)
{
    return column.fieldType == FieldFloat || column.fieldType == FieldDouble || column.fieldType == FieldDFloat;
}

std::string TextType(const SColumnInfo& column)
{
    return column.fieldType == FieldBlob ? "BLOB SUB_TYPE TEXT"
                                         : "VARCHAR(" + std::to_string(std::max(1, column.length)) + ")";
}

std::string TypeText(const SColumnInfo& column)
{
    if (column.fieldType == FieldChar || column.fieldType == FieldVarchar)
        return std::string(column.fieldType == FieldChar ? "CHAR(" : "VARCHAR(") + std::to_string(column.length) + ")";
    if (IsExactNumber(column) && column.scale < 0)
        return "NUMERIC(" + std::to_string(column.precision) + "," + std::to_string(-column.scale) + ")";
    return FieldTypeName(column);
}

std::string ConvertedForKey(const std::string& value, const SColumnInfo& source, const SColumnInfo& dest)
{
    const bool stored = IsExactNumber(dest) || IsFloat(dest) || dest.fieldType == FieldDate ||
                        dest.fieldType == FieldTime || dest.fieldType == FieldTimestamp;
    if (!stored || dest.dimensions > 0 || (source.fieldType == dest.fieldType && source.scale == dest.scale))
        return value;
    return "CAST(" + value + " AS " + TypeText(dest) + ")";
}

EValueKind ValueKind(const SColumnInfo& column)
{
    if (column.dimensions > 0)
        return EValueKind::Other;
    if (column.fieldType == FieldChar || column.fieldType == FieldVarchar || column.fieldType == FieldCstring)
        return EValueKind::Text;
    if (IsExactNumber(column) || IsFloat(column))
        return EValueKind::Number;
    if (column.fieldType == FieldBlob && column.blobSubType == BlobSubTypeText)
        return EValueKind::TextBlob;
    switch (column.fieldType)
    {
    case FieldBoolean: return EValueKind::Boolean;
    case FieldDate: return EValueKind::Date;
    case FieldTime: return EValueKind::Time;
    case FieldTimestamp: return EValueKind::Timestamp;
    default: return EValueKind::Other;
    }
}

bool MayFailToConvert(const SColumnInfo& source, const SColumnInfo& dest)
{
    const EValueKind from = ValueKind(source);
    const EValueKind to = ValueKind(dest);
    if (from == EValueKind::Other || to == EValueKind::Other || from == to)
        return false;
    switch (to)
    {
    case EValueKind::Boolean: return true;
    case EValueKind::Date:
    case EValueKind::Time:
    case EValueKind::Timestamp:
        // A timestamp gives and takes a date or a time; a date and a time
        // have nothing in common.
        return from == EValueKind::Text || from == EValueKind::TextBlob || from == EValueKind::Number ||
               from == EValueKind::Boolean || (from == EValueKind::Date && to == EValueKind::Time) ||
               (from == EValueKind::Time && to == EValueKind::Date);
    case EValueKind::Number: return from != EValueKind::Text; // text, not a text BLOB, is counted by its pattern
    default: return false;
    }
}
} // namespace Checking

namespace
{
using namespace Checking;

// The largest value an exact number of the column stores, whatever
// precision it declares; the smallest is one unit further from zero.
double StorageMaximum(const SColumnInfo& column)
{
    const double units = column.fieldType == FieldSmallint  ? 32767.0
                         : column.fieldType == FieldInteger ? 2147483647.0
                                                            : 9223372036854775807.0;
    return units / std::pow(10.0, -column.scale);
}

double StorageMinimum(const SColumnInfo& column)
{
    const double units = column.fieldType == FieldSmallint  ? 32768.0
                         : column.fieldType == FieldInteger ? 2147483648.0
                                                            : 9223372036854775808.0;
    return -units / std::pow(10.0, -column.scale);
}

// A limit as a double literal: compared with a double, a limit never
// overflows the scale of the column it is compared with.
std::string Number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17e", value);
    return text;
}

// Adds the count of the rows for which condition holds.
class CColumnCounts
{
  public:
    CColumnCounts(const SColumnInfo& source, const SColumnInfo& dest, std::vector<SCount>& counts)
        : source(source), dest(dest), name(SqlIdentifier(source.name)), m_counts(counts)
    {
    }

    void Count(const std::string& condition, EKind kind, ECheckSeverity severity, const std::string& detail)
    {
        m_counts.push_back({"SUM(IIF(" + condition + ", 1, 0))", condition, kind, severity, dest.name, detail});
    }

    const SColumnInfo& source;
    const SColumnInfo& dest;
    const std::string name; // the source column in SQL

  private:
    std::vector<SCount>& m_counts;
};

void CountTooLong(CColumnCounts& counts)
{
    const SColumnInfo& source = counts.source;
    const SColumnInfo& dest = counts.dest;
    if ((dest.fieldType != FieldChar && dest.fieldType != FieldVarchar) || dest.dimensions != 0 ||
        source.dimensions != 0)
        return;
    const std::string& name = counts.name;
    std::string length;
    // OCTETS and NONE hold bytes: their length is in bytes.
    if (dest.characterSetId == 1 || dest.characterSetId == 0)
        length = "OCTET_LENGTH(" + name + ")";
    else if (IsText(source))
        length = "CHAR_LENGTH(TRIM(TRAILING FROM " + name + "))";
    else if (source.fieldType != FieldBlob)
        length = "CHAR_LENGTH(CAST(" + name + " AS VARCHAR(64)))";
    if (!length.empty())
        counts.Count(length + " > " + std::to_string(dest.length), EKind::TooLong, ECheckSeverity::Fails,
                     TypeText(dest));
}

void CountNumbersIntoExact(CColumnCounts& counts)
{
    const SColumnInfo& source = counts.source;
    const SColumnInfo& dest = counts.dest;
    if (!IsExactNumber(dest) || dest.dimensions != 0 || !(IsExactNumber(source) || IsFloat(source)))
        return;
    const std::string& name = counts.name;
    const double maximum = StorageMaximum(dest);
    const std::string value = "CAST(" + name + " AS DOUBLE PRECISION)";
    counts.Count(value + " > " + Number(maximum) + " OR " + value + " < " + Number(StorageMinimum(dest)),
                 EKind::OutOfRange, ECheckSeverity::Fails, TypeText(dest));
    if (dest.precision > 0 && dest.precision < 18)
    {
        const double digits = std::pow(10.0, dest.precision + dest.scale);
        if (digits < maximum)
            counts.Count("ABS(" + value + ") >= " + Number(digits) + " AND ABS(" + value + ") <= " + Number(maximum),
                         EKind::BeyondPrecision, ECheckSeverity::Warning, TypeText(dest));
    }
    // ROUND of a double beyond the column's range overflows, and would
    // take the whole query down with it: such values are out of range.
    if ((IsExactNumber(source) && source.scale < dest.scale) || IsFloat(source))
        counts.Count("ABS(" + value + ") <= " + Number(maximum) + " AND " + name + " <> ROUND(" + name + ", " +
                         std::to_string(-dest.scale) + ")",
                     EKind::Rounded, ECheckSeverity::Warning, TypeText(dest));
}

void CountNumbersIntoFloat(CColumnCounts& counts)
{
    const SColumnInfo& source = counts.source;
    const SColumnInfo& dest = counts.dest;
    const std::string& name = counts.name;
    if (dest.fieldType == FieldFloat && dest.dimensions == 0 && IsFloat(source) && source.fieldType != FieldFloat &&
        source.dimensions == 0)
        counts.Count("ABS(" + name + ") > " + Number(3.4028234663852886e38), EKind::OutOfRange, ECheckSeverity::Fails,
                     TypeText(dest));
    if (IsFloat(dest) && dest.dimensions == 0 && IsExactNumber(source) && source.dimensions == 0)
    {
        // A DOUBLE PRECISION holds every whole number below 2^53 exactly, a
        // FLOAT below 2^24: an exact value with more significant digits may
        // arrive changed (9007199254740993 as 9007199254740992, which is
        // also what it reads as here, hence from 2^53 on).
        const double exactUnits = dest.fieldType == FieldFloat ? 16777216.0 : 9007199254740992.0;
        counts.Count("ABS(CAST(" + name +
                         " AS DOUBLE PRECISION)) >= " + Number(exactUnits / std::pow(10.0, -source.scale)),
                     EKind::BeyondPrecision, ECheckSeverity::Warning, TypeText(dest));
    }
}

void CountTextIntoNumber(CColumnCounts& counts)
{
    const SColumnInfo& source = counts.source;
    const SColumnInfo& dest = counts.dest;
    if (!(IsExactNumber(dest) || IsFloat(dest)) || dest.dimensions != 0 || !IsText(source) ||
        source.fieldType == FieldBlob)
        return;
    const std::string& name = counts.name;
    counts.Count(name + " IS NOT NULL AND TRIM(" + name + ") NOT SIMILAR TO " + NumberPattern, EKind::NotANumber,
                 ECheckSeverity::Fails, TypeText(dest));
    if (!IsExactNumber(dest))
        return;
    // Only text that reads as a number is read as one here.
    const std::string number = "CASE WHEN TRIM(" + name + ") SIMILAR TO " + NumberPattern + " THEN CAST(TRIM(" + name +
                               ") AS DOUBLE PRECISION) END";
    counts.Count(number + " > " + Number(StorageMaximum(dest)) + " OR " + number + " < " + Number(StorageMinimum(dest)),
                 EKind::OutOfRange, ECheckSeverity::Fails, TypeText(dest));
    // A digit other than 0 beyond the decimals the column keeps.
    const std::string kept = dest.scale < 0 ? "{" + std::to_string(-dest.scale) + "}" : "{0}";
    counts.Count("TRIM(" + name + ") SIMILAR TO '[-+]?[0-9]*.[0-9]" + kept + "[0-9]*[1-9][0-9]*'", EKind::Rounded,
                 ECheckSeverity::Warning, TypeText(dest));
}

void CountDatesAndTimes(CColumnCounts& counts)
{
    const SColumnInfo& source = counts.source;
    const SColumnInfo& dest = counts.dest;
    const std::string& name = counts.name;
    if (source.fieldType == FieldTimestamp && dest.fieldType == FieldDate)
        counts.Count("CAST(" + name + " AS TIME) <> TIME '00:00:00'", EKind::TimeDropped, ECheckSeverity::Warning, "");
    if (source.fieldType == FieldTimestamp && dest.fieldType == FieldTime)
        counts.Count(name + " IS NOT NULL", EKind::DateDropped, ECheckSeverity::Warning, "");
    // A time has no date, and the server reads these words as the moment
    // of the copy: the values take the date or time of the copy.
    const bool dated = dest.fieldType == FieldDate || dest.fieldType == FieldTime || dest.fieldType == FieldTimestamp;
    if (source.fieldType == FieldTime && dest.fieldType == FieldTimestamp)
        counts.Count(name + " IS NOT NULL", EKind::CopyDate, ECheckSeverity::Warning, "");
    if (dated && dest.dimensions == 0 && IsText(source) && source.fieldType != FieldBlob)
        counts.Count("UPPER(TRIM(" + name + ")) IN ('NOW', 'TODAY', 'TOMORROW', 'YESTERDAY')", EKind::CopyDate,
                     ECheckSeverity::Warning, "");
}
} // namespace

void Checking::AddCountsOfColumn(const SColumnInfo& source, const SColumnInfo& dest, std::vector<SCount>& counts)
{
    CColumnCounts column(source, dest, counts);
    if (!dest.nullable && source.nullable)
        column.Count(column.name + " IS NULL", EKind::NullIntoNotNull, ECheckSeverity::Fails, "");
    CountTooLong(column);
    CountNumbersIntoExact(column);
    CountNumbersIntoFloat(column);
    CountTextIntoNumber(column);
    CountDatesAndTimes(column);
}

namespace
{
// Whether every value the source column can hold converts into the
// destination column without the failure of that kind, by their declared
// types alone: a text no longer than the destination's, an exact number of
// the same scale in a storage no wider.
bool AlwaysConverts(const SColumnInfo& source, const SColumnInfo& dest, EKind kind)
{
    if (source.dimensions > 0 || dest.dimensions > 0)
        return false;
    const auto width = [](const SColumnInfo& column) {
        return column.fieldType == FieldSmallint ? 2 : column.fieldType == FieldInteger ? 4 : 8;
    };
    switch (kind)
    {
    case EKind::TooLong: {
        const bool sourceText = source.fieldType == FieldChar || source.fieldType == FieldVarchar;
        if (!sourceText || source.length > dest.length)
            return false;
        // The length counted is the characters, or the bytes of an OCTETS or
        // NONE destination, which a single-byte source holds as many as characters.
        return dest.characterSetId > 1 || source.characterSetId == 0 || source.characterSetId == 1;
    }
    case EKind::OutOfRange: return IsExactNumber(source) && source.scale == dest.scale && width(source) <= width(dest);
    default: return false;
    }
}
} // namespace

std::vector<std::string> FailingConversions(const SColumnInfo& source, const SColumnInfo& dest)
{
    std::vector<SCount> counts;
    AddCountsOfColumn(source, dest, counts);
    std::vector<std::string> conditions;
    for (const SCount& count : counts)
    {
        // A condition the types rule out would only cost a pass over the rows.
        if (count.severity == ECheckSeverity::Fails && !count.condition.empty() &&
            !AlwaysConverts(source, dest, count.kind))
            conditions.push_back(count.condition);
    }
    return conditions;
}
