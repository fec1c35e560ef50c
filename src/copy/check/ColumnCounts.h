#pragma once

// What the check knows of column types, and the counts of the aggregate
// query over a table's source rows that one column pair adds.
#include "copy/check/CopyCheck.h"
#include "db/SchemaQueries.h"

#include <string>
#include <vector>

namespace Checking
{
using EKind = SCheckFinding::EKind;

// Rows whose text holds a character beyond ASCII: only they can be refused
// for their characters.
inline constexpr const char* NotAscii = " SIMILAR TO '%[^' || ASCII_CHAR(1) || '-' || ASCII_CHAR(127) || ']%'";

inline constexpr const char* NumberPattern = "'[-+]?([0-9]+(.[0-9]*)?|.[0-9]+)([eE][-+]?[0-9]+)?'";

bool IsText(const SColumnInfo& column);
bool IsExactNumber(const SColumnInfo& column);
bool IsFloat(const SColumnInfo& column);
// A text type as long as the column, without its character set.
std::string TextType(const SColumnInfo& column);
std::string TypeText(const SColumnInfo& column);
// A key value as the destination's column stores it: 1.001 and 1.002 are
// one key in a NUMERIC(9,2), '1' and '01' in an INTEGER, two times of one
// day in a DATE. Text keeps what ComparedAsInDestination made of it.
std::string ConvertedForKey(const std::string& value, const SColumnInfo& source, const SColumnInfo& dest);

// What a value is, as far as converting it goes.
enum class EValueKind
{
    Text,
    TextBlob,
    Number,
    Boolean,
    Date,
    Time,
    Timestamp,
    Other,
};

EValueKind ValueKind(const SColumnInfo& column);

// Whether the server may refuse to turn a value of the source column into
// the destination's type, beyond the cases the counts find: text into a
// date, a time, a timestamp or a boolean, and the pairs it never converts
// (a number into a boolean or a date, a date into a time ...).
bool MayFailToConvert(const SColumnInfo& source, const SColumnInfo& dest);

// One count of the aggregate query and what it means when it is not zero.
struct SCount
{
    std::string expression; // counts rows
    std::string condition;  // the rows counted, when the count is of a condition
    EKind kind;
    ECheckSeverity severity;
    std::string column;
    std::string detail;
};

// The counts of what converting the source column's values into the
// destination column loses or refuses.
void AddCountsOfColumn(const SColumnInfo& source, const SColumnInfo& dest, std::vector<SCount>& counts);
} // namespace Checking
