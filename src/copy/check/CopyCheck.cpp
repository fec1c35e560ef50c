// The check that shows what a copy will do before anything is written: for
// every table the plan of its columns and one aggregate query over its
// source rows that counts what would be lost, rounded or refused.
#include "copy/check/CopyCheck.h"

#include "copy/plan/CRunPlan.h"
#include "copy/write/SharedGenerators.h"
#include "copy/read/SourceSelect.h"
#include "copy/plan/TablePlan.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace
{
using EKind = SCheckFinding::EKind;

// Rows a copy moves per second, for the estimate (measured by copy_bench:
// embedded about 180,000, through a server about 90,000), and what every
// table costs besides its rows.
constexpr double EmbeddedRowsPerSecond = 150000;
constexpr double ServerRowsPerSecond = 60000;
constexpr double SecondsPerTable = 0.05;
// Beyond this many distinct keys the keys of a table outside the run are not
// looked up one by one.
constexpr size_t MaxCheckedKeys = 200000;

// Rows whose text holds a character beyond ASCII: only they can be refused
// for their characters.
const char* const NotAscii = " SIMILAR TO '%[^' || ASCII_CHAR(1) || '-' || ASCII_CHAR(127) || ']%'";

const char* const NumberPattern = "'[-+]?([0-9]+(.[0-9]*)?|.[0-9]+)([eE][-+]?[0-9]+)?'";

bool IsText(const SColumnInfo& column)
{
    return column.fieldType == 14 || column.fieldType == 37 || column.fieldType == 40 ||
           (column.fieldType == 261 && column.blobSubType == 1);
}

bool IsExactNumber(const SColumnInfo& column)
{
    return column.fieldType == 7 || column.fieldType == 8 || column.fieldType == 16;
}

bool IsFloat(const SColumnInfo& column)
{
    return column.fieldType == 10 || column.fieldType == 27 || column.fieldType == 11;
}

// A text type as long as the column, without its character set.
std::string TextType(const SColumnInfo& column)
{
    return column.fieldType == 261 ? "BLOB SUB_TYPE TEXT"
                                   : "VARCHAR(" + std::to_string(std::max(1, column.length)) + ")";
}

std::string TypeText(const SColumnInfo& column)
{
    if (column.fieldType == 14 || column.fieldType == 37)
        return std::string(column.fieldType == 14 ? "CHAR(" : "VARCHAR(") + std::to_string(column.length) + ")";
    if (IsExactNumber(column) && column.scale < 0)
        return "NUMERIC(" + std::to_string(column.precision) + "," + std::to_string(-column.scale) + ")";
    return FieldTypeName(column);
}

// A key value as the destination's column stores it: 1.001 and 1.002 are
// one key in a NUMERIC(9,2), '1' and '01' in an INTEGER, two times of one
// day in a DATE. Text keeps what ComparedAsInDestination made of it.
std::string ConvertedForKey(const std::string& value, const SColumnInfo& source, const SColumnInfo& dest)
{
    const bool stored =
        IsExactNumber(dest) || IsFloat(dest) || dest.fieldType == 12 || dest.fieldType == 13 || dest.fieldType == 35;
    if (!stored || dest.dimensions > 0 || (source.fieldType == dest.fieldType && source.scale == dest.scale))
        return value;
    return "CAST(" + value + " AS " + TypeText(dest) + ")";
}

// The largest value an exact number of the column stores, whatever
// precision it declares; the smallest is one unit further from zero.
double StorageMaximum(const SColumnInfo& column)
{
    const double units = column.fieldType == 7 ? 32767.0 : column.fieldType == 8 ? 2147483647.0 : 9223372036854775807.0;
    return units / std::pow(10.0, -column.scale);
}

double StorageMinimum(const SColumnInfo& column)
{
    const double units = column.fieldType == 7 ? 32768.0 : column.fieldType == 8 ? 2147483648.0 : 9223372036854775808.0;
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

void AddCountsOfColumn(const SColumnInfo& source, const SColumnInfo& dest, std::vector<SCount>& counts)
{
    const std::string name = SqlIdentifier(source.name);
    const auto count = [&](const std::string& condition, EKind kind, ECheckSeverity severity,
                           const std::string& detail) {
        counts.push_back({"SUM(IIF(" + condition + ", 1, 0))", condition, kind, severity, dest.name, detail});
    };
    if (!dest.nullable && source.nullable)
        count(name + " IS NULL", EKind::NullIntoNotNull, ECheckSeverity::Fails, "");
    if ((dest.fieldType == 14 || dest.fieldType == 37) && dest.dimensions == 0 && source.dimensions == 0)
    {
        std::string length;
        // OCTETS and NONE hold bytes: their length is in bytes.
        if (dest.characterSetId == 1 || dest.characterSetId == 0)
            length = "OCTET_LENGTH(" + name + ")";
        else if (IsText(source))
            length = "CHAR_LENGTH(TRIM(TRAILING FROM " + name + "))";
        else if (source.fieldType != 261)
            length = "CHAR_LENGTH(CAST(" + name + " AS VARCHAR(64)))";
        if (!length.empty())
            count(length + " > " + std::to_string(dest.length), EKind::TooLong, ECheckSeverity::Fails, TypeText(dest));
    }
    if (IsExactNumber(dest) && dest.dimensions == 0 && (IsExactNumber(source) || IsFloat(source)))
    {
        const double maximum = StorageMaximum(dest);
        const std::string value = "CAST(" + name + " AS DOUBLE PRECISION)";
        count(value + " > " + Number(maximum) + " OR " + value + " < " + Number(StorageMinimum(dest)),
              EKind::OutOfRange, ECheckSeverity::Fails, TypeText(dest));
        if (dest.precision > 0 && dest.precision < 18)
        {
            const double digits = std::pow(10.0, dest.precision + dest.scale);
            if (digits < maximum)
                count("ABS(" + value + ") >= " + Number(digits) + " AND ABS(" + value + ") <= " + Number(maximum),
                      EKind::BeyondPrecision, ECheckSeverity::Warning, TypeText(dest));
        }
        // ROUND of a double beyond the column's range overflows, and would
        // take the whole query down with it: such values are out of range.
        if ((IsExactNumber(source) && source.scale < dest.scale) || IsFloat(source))
            count("ABS(" + value + ") <= " + Number(maximum) + " AND " + name + " <> ROUND(" + name + ", " +
                      std::to_string(-dest.scale) + ")",
                  EKind::Rounded, ECheckSeverity::Warning, TypeText(dest));
    }
    if (dest.fieldType == 10 && dest.dimensions == 0 && IsFloat(source) && source.fieldType != 10 &&
        source.dimensions == 0)
        count("ABS(" + name + ") > " + Number(3.4028234663852886e38), EKind::OutOfRange, ECheckSeverity::Fails,
              TypeText(dest));
    if (IsFloat(dest) && dest.dimensions == 0 && IsExactNumber(source) && source.dimensions == 0)
    {
        // A DOUBLE PRECISION holds every whole number below 2^53 exactly, a
        // FLOAT below 2^24: an exact value with more significant digits may
        // arrive changed (9007199254740993 as 9007199254740992, which is
        // also what it reads as here, hence from 2^53 on).
        const double exactUnits = dest.fieldType == 10 ? 16777216.0 : 9007199254740992.0;
        count("ABS(CAST(" + name + " AS DOUBLE PRECISION)) >= " + Number(exactUnits / std::pow(10.0, -source.scale)),
              EKind::BeyondPrecision, ECheckSeverity::Warning, TypeText(dest));
    }
    if ((IsExactNumber(dest) || IsFloat(dest)) && dest.dimensions == 0 && IsText(source) && source.fieldType != 261)
    {
        count(name + " IS NOT NULL AND TRIM(" + name + ") NOT SIMILAR TO " + NumberPattern, EKind::NotANumber,
              ECheckSeverity::Fails, TypeText(dest));
        if (IsExactNumber(dest))
        {
            // Only text that reads as a number is read as one here.
            const std::string number = "CASE WHEN TRIM(" + name + ") SIMILAR TO " + NumberPattern + " THEN CAST(TRIM(" +
                                       name + ") AS DOUBLE PRECISION) END";
            count(number + " > " + Number(StorageMaximum(dest)) + " OR " + number + " < " +
                      Number(StorageMinimum(dest)),
                  EKind::OutOfRange, ECheckSeverity::Fails, TypeText(dest));
            // A digit other than 0 beyond the decimals the column keeps.
            const std::string kept = dest.scale < 0 ? "{" + std::to_string(-dest.scale) + "}" : "{0}";
            count("TRIM(" + name + ") SIMILAR TO '[-+]?[0-9]*.[0-9]" + kept + "[0-9]*[1-9][0-9]*'", EKind::Rounded,
                  ECheckSeverity::Warning, TypeText(dest));
        }
    }
    if (source.fieldType == 35 && dest.fieldType == 12)
        count("CAST(" + name + " AS TIME) <> TIME '00:00:00'", EKind::TimeDropped, ECheckSeverity::Warning, "");
    if (source.fieldType == 35 && dest.fieldType == 13)
        count(name + " IS NOT NULL", EKind::DateDropped, ECheckSeverity::Warning, "");
    // A time has no date, and the server reads these words as the moment
    // of the copy: the values take the date or time of the copy.
    const bool dated = dest.fieldType == 12 || dest.fieldType == 13 || dest.fieldType == 35;
    if (source.fieldType == 13 && dest.fieldType == 35)
        count(name + " IS NOT NULL", EKind::CopyDate, ECheckSeverity::Warning, "");
    if (dated && dest.dimensions == 0 && IsText(source) && source.fieldType != 261)
        count("UPPER(TRIM(" + name + ")) IN ('NOW', 'TODAY', 'TOMORROW', 'YESTERDAY')", EKind::CopyDate,
              ECheckSeverity::Warning, "");
}

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

EValueKind ValueKind(const SColumnInfo& column)
{
    if (column.dimensions > 0)
        return EValueKind::Other;
    if (column.fieldType == 14 || column.fieldType == 37 || column.fieldType == 40)
        return EValueKind::Text;
    if (IsExactNumber(column) || IsFloat(column))
        return EValueKind::Number;
    if (column.fieldType == 261 && column.blobSubType == 1)
        return EValueKind::TextBlob;
    switch (column.fieldType)
    {
    case 23: return EValueKind::Boolean;
    case 12: return EValueKind::Date;
    case 13: return EValueKind::Time;
    case 35: return EValueKind::Timestamp;
    default: return EValueKind::Other;
    }
}

// Whether the server may refuse to turn a value of the source column into
// the destination's type, beyond the cases counted by condition above: text
// into a date, a time, a timestamp or a boolean, and the pairs it never
// converts (a number into a boolean or a date, a date into a time ...).
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
} // namespace

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
        return column.fieldType == 7 ? 2 : column.fieldType == 8 ? 4 : 8;
    };
    switch (kind)
    {
    case EKind::TooLong: {
        const bool sourceText = source.fieldType == 14 || source.fieldType == 37;
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

namespace
{
class CTableChecker
{
  public:
    CTableChecker(const SRunSettings& settings, CFbConnection& source, CFbConnection& dest, const SRunPlan& plan,
                  const std::vector<std::string>& runTables)
        : m_settings(settings), m_source(source), m_dest(dest), m_plan(plan), m_runTables(runTables)
    {
        GetUserTables(m_source, m_sourceTables);
        GetUserTables(m_dest, m_destTables);
        GetForeignKeys(m_dest, m_keys);
        CStringGrid mode;
        int failure = 0;
        m_dest.Execute("SELECT mon$read_only FROM mon$database", failure, &mode);
        m_bDestReadOnly = failure == 0 && mode.RowCount() == 1 && mode.GetCellInt(0, 0) != 0;
    }

    STableCheck Check(const std::string& table);

  private:
    std::string SourceSpelling(const std::string& table) const;
    void Add(STableCheck& check, EKind kind, ECheckSeverity severity, const std::string& column, long long rows,
             const std::string& detail) const
    {
        check.findings.push_back({kind, severity, column, rows, detail});
        check.severity = std::max(check.severity, severity);
    }
    void CheckParentKeys(STableCheck& check, const std::string& sourceTable);
    bool RefilledFromSource(const std::string& table);
    long long CountRowsWithoutSourceParent(const std::string& sourceTable, const SForeignKey& key);
    void CheckDuplicateKeys(STableCheck& check, const std::string& sourceTable, const STablePlan& plan);
    void CheckDuplicateExpressionKeys(STableCheck& check, const std::string& sourceTable);
    std::string ComparedAsInDestination(const std::string& table, const std::string& source, const SColumnInfo& dest);
    void CheckConstraints(STableCheck& check, const std::string& sourceTable, const STablePlan& plan);
    void CheckReachedTables(STableCheck& check);
    long long CountRefusedValues(const std::string& sourceTable, const std::string& column,
                                 const std::vector<std::string>& steps, const std::string& where);
    std::string DestCharacterSet(int id);
    long long CountLegacyText(const std::string& sourceTable, const SColumnInfo& source, const SColumnInfo& dest);
    long long CountUnstorableText(const std::string& sourceTable, const SColumnInfo& source, const SColumnInfo& dest);
    long long CountUnmappedBytes(const std::string& sourceTable, const SColumnInfo& source);
    long long CountFailedConversions(const std::string& sourceTable, const SColumnInfo& source,
                                     const SColumnInfo& dest);
    long long CountChangedValues(const std::string& sourceTable, const std::string& column,
                                 const std::vector<std::string>& steps, size_t comparedWith, const std::string& where);
    void CheckApproximateNumbers(STableCheck& check, const std::string& sourceTable, const SColumnInfo& source,
                                 const SColumnInfo& dest);
    void AddSteps(STableCheck& check, const std::string& sourceTable, const std::vector<SColumnInfo>& destInfo);

    const SRunSettings& m_settings;
    CFbConnection& m_source;
    CFbConnection& m_dest;
    const SRunPlan& m_plan;
    const std::vector<std::string>& m_runTables;
    std::vector<std::string> m_sourceTables;
    std::vector<std::string> m_destTables;
    std::vector<SForeignKey> m_keys;
    std::optional<std::string> m_unmappedBytes; // of the source code page, once asked for
    bool m_bDestReadOnly = false;
};

std::string CTableChecker::SourceSpelling(const std::string& table) const
{
    const std::vector<std::string> spellings = TableSpellings(m_sourceTables, table);
    return spellings.size() == 1 ? spellings.front() : std::string();
}

STableCheck CTableChecker::Check(const std::string& table)
{
    STableCheck check;
    check.table = table;
    if (m_bDestReadOnly)
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1, "the destination database is read-only");
        return check;
    }
    const std::string sourceTable = SourceSpelling(table);
    if (sourceTable.empty())
    {
        const std::vector<std::string> spellings = TableSpellings(m_sourceTables, table);
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1,
            spellings.empty() ? "the source has no table " + table : AmbiguousTableMessage(table, spellings));
        return check;
    }
    CStringGrid total;
    int failure = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable), failure, &total);
    check.sourceRows = failure == 0 && total.RowCount() == 1 ? total.GetCellInt(0, 0) : 0;
    if (failure != 0)
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1, m_source.LastErrorMessage());
        return check;
    }
    if (check.sourceRows == 0)
    {
        // As the copy does: an empty source leaves the destination alone.
        Add(check, EKind::SourceEmpty, ECheckSeverity::Fine, "", 0, "");
        return check;
    }
    if (std::find(m_destTables.begin(), m_destTables.end(), table) == m_destTables.end())
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1, "the destination has no table " + table);
        return check;
    }
    std::vector<SColumnInfo> sourceInfo;
    std::vector<SColumnInfo> destInfo;
    std::vector<SResultColumn> described;
    std::string error;
    GetColumnInfo(m_source, sourceTable, sourceInfo);
    GetColumnInfo(m_dest, table, destInfo);
    DescribeResultTypes(m_source, "SELECT * FROM " + SqlIdentifier(sourceTable), described, error);
    std::set<std::string> deferred;
    for (const SDeferredColumns& entry : m_plan.deferred)
    {
        if (entry.table != table)
            continue;
        deferred.insert(entry.columns.begin(), entry.columns.end());
        for (const std::string& column : entry.columns)
            Add(check, EKind::Deferred, ECheckSeverity::Fine, column, -1, entry.constraint);
    }
    const STablePlan plan = BuildTablePlan(table, MatchSourceColumns(described, sourceInfo), destInfo, deferred);
    if (plan.carriesNothing)
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1,
            "the destination table has no column of the source table");
        return check;
    }

    // What each column of the destination gets and what the rows hold.
    std::vector<SCount> counts;
    const bool legacyTextKnown = !m_settings.sourceCharset.empty();
    SSourceSelectOptions declared;
    std::map<std::string, std::string> declaredCharsets;
    declared.bytesColumns = TextIntoBytesColumns(sourceInfo, destInfo);
    PlanDeclaredUnmappedBytes(m_source, sourceInfo, destInfo, declared, declaredCharsets);
    for (size_t i = 0; i < plan.columns.size(); ++i)
    {
        const SColumnPlan& column = plan.columns[i];
        const SColumnInfo& dest = destInfo[i];
        switch (column.value)
        {
        case EColumnValue::Source:
            if (!IsKnownSqlType(described[static_cast<size_t>(column.sourceIndex)].sqlType))
                Add(check, EKind::Unreadable, ECheckSeverity::Fails, column.name, -1,
                    FieldTypeName(sourceInfo[static_cast<size_t>(column.sourceIndex)]));
            else
            {
                const SColumnInfo& from = sourceInfo[static_cast<size_t>(column.sourceIndex)];
                AddCountsOfColumn(from, dest, counts);
                CheckApproximateNumbers(check, sourceTable, from, dest);
                if (MayFailToConvert(from, dest))
                {
                    const long long rows = CountFailedConversions(sourceTable, from, dest);
                    if (rows != 0)
                        Add(check, EKind::NotConvertible, ECheckSeverity::Fails, column.name, rows, TypeText(dest));
                }
                if (column.legacyText && !legacyTextKnown)
                {
                    const long long rows = CountLegacyText(sourceTable, from, dest);
                    if (rows != 0)
                        Add(check, EKind::LegacyText, ECheckSeverity::Fails, column.name, rows, "");
                }
                // Into UTF-8 every character goes; into another character set
                // only those it has.
                if (IsText(from) && IsText(dest) && from.characterSetId > 1 && dest.characterSetId > 4 &&
                    from.characterSetId != dest.characterSetId)
                {
                    const long long rows = CountUnstorableText(sourceTable, from, dest);
                    if (rows != 0)
                        Add(check, EKind::NotInCharacterSet, ECheckSeverity::Fails, column.name, rows,
                            DestCharacterSet(dest.characterSetId));
                }
                // Bytes become text of the destination's set only where they
                // are valid in it, and NONE text read in the code page only
                // with characters the destination's set has.
                const std::string destSet = IsText(dest) && dest.characterSetId > 1 && dest.characterSetId != 4 &&
                                                    dest.characterSetId != 3 && dest.dimensions == 0
                                                ? DestCharacterSet(dest.characterSetId)
                                                : std::string(dest.characterSetId == 4 ? "UTF8" : "");
                if (!destSet.empty() && dest.fieldType != 261 && from.dimensions == 0 &&
                    ((from.characterSetId == 1 && IsText(from) && from.fieldType != 261) ||
                     (column.legacyText && legacyTextKnown && destSet != "UTF8")))
                {
                    std::vector<std::string> steps{"TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." +
                                                   SqlIdentifier(from.name)};
                    if (column.legacyText)
                        steps.push_back(TextType(from) + " CHARACTER SET " + m_settings.sourceCharset);
                    steps.push_back(TextType(dest) + " CHARACTER SET " + destSet);
                    // A pattern of text finds nothing in OCTETS: all its bytes are tried.
                    const std::string where =
                        SqlIdentifier(from.name) + (column.legacyText ? NotAscii : std::string(" IS NOT NULL"));
                    const long long rows = IsCharacterSetName(m_settings.sourceCharset) || !column.legacyText
                                               ? CountRefusedValues(sourceTable, from.name, steps, where)
                                               : -1;
                    if (rows != 0)
                        Add(check, EKind::NotInCharacterSet, ECheckSeverity::Fails, column.name, rows, destSet);
                }
                if (column.legacyText && legacyTextKnown)
                {
                    const long long rows = CountUnmappedBytes(sourceTable, from);
                    if (rows != 0)
                        Add(check, EKind::UnmappedBytes, ECheckSeverity::Fails, column.name, rows,
                            m_settings.sourceCharset);
                }
                const auto unmapped = declared.declaredUnmapped.find(from.name);
                if (unmapped != declared.declaredUnmapped.end())
                {
                    CStringGrid count;
                    int failed = 0;
                    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable) + " WHERE " +
                                         HoldsAnyByte(SqlIdentifier(from.name), unmapped->second),
                                     failed, &count);
                    const long long rows = failed == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : -1;
                    if (rows != 0)
                        Add(check, EKind::UnmappedBytes, ECheckSeverity::Fails, column.name, rows,
                            declaredCharsets[from.name]);
                }
            }
            break;
        case EColumnValue::LeftOut:
            Add(check, EKind::Receives, ECheckSeverity::Fine, column.name, -1,
                dest.identitySequence.empty() ? "DEFAULT" : "IDENTITY");
            break;
        case EColumnValue::Filler:
            Add(check, EKind::Receives, ECheckSeverity::Fine, column.name, -1, column.fillerLiteral);
            break;
        case EColumnValue::Null:
            if (dest.nullable)
                Add(check, EKind::Receives, ECheckSeverity::Fine, column.name, -1, "NULL");
            else
                Add(check, EKind::NeedsDefault, ECheckSeverity::Fails, column.name, -1, TypeText(dest));
            break;
        default: break;
        }
    }
    for (const SColumnInfo& source : sourceInfo)
    {
        // The destination column the source's is carried into, as the plan
        // matches them (see FindColumnNamed).
        const SColumnInfo* dest = nullptr;
        for (const SColumnInfo& column : destInfo)
        {
            if (FindColumnNamed(sourceInfo, column.name) == &source)
                dest = &column;
        }
        // A column the destination computes takes no value either.
        if (!source.computed && (!dest || dest->computed))
            counts.push_back({"COUNT(" + SqlIdentifier(source.name) + ")", "",
                              !dest ? EKind::DroppedData : EKind::ComputedData, ECheckSeverity::Warning, source.name,
                              TypeText(source)});
    }
    if (!counts.empty())
    {
        std::string sql;
        for (const SCount& count : counts)
            sql += (sql.empty() ? "SELECT " : ", ") + count.expression;
        CStringGrid values;
        const std::string from = " FROM " + SqlIdentifier(sourceTable);
        m_source.Execute(sql + from, failure, &values);
        const bool together = failure == 0 && values.RowCount() == 1;
        for (size_t c = 0; c < counts.size(); ++c)
        {
            // One value the server cannot evaluate fails the query of all
            // counts: they are then made one by one, so that one hides no
            // other, and a count the server cannot make is said as such.
            long long rows = -1;
            if (together)
                rows = values.GetCellInt(static_cast<int>(c), 0);
            else
            {
                CStringGrid alone;
                m_source.Execute("SELECT " + counts[c].expression + from, failure, &alone);
                if (failure == 0 && alone.RowCount() == 1)
                    rows = alone.GetCellInt(0, 0);
            }
            if (rows != 0)
                Add(check, counts[c].kind, counts[c].severity, counts[c].column, rows, counts[c].detail);
        }
    }
    CheckParentKeys(check, sourceTable);
    CheckDuplicateKeys(check, sourceTable, plan);
    CheckConstraints(check, sourceTable, plan);
    // What the run's plan already knows: rows of a key cycle wait for each
    // other, and a CHECK that cannot wait refuses rows not yet matched.
    if (std::find(m_plan.unbreakable.begin(), m_plan.unbreakable.end(), table) != m_plan.unbreakable.end())
        Add(check, EKind::Cycle, ECheckSeverity::Fails, "", -1, Joined(m_plan.unbreakable, ", "));
    for (const SCheckRead& read : m_plan.undeferredChecks)
    {
        if (read.checkedTable == table)
            Add(check, EKind::UndeferredCheck, ECheckSeverity::Warning, read.readTable + "." + read.readColumn, -1,
                read.constraint);
    }
    CheckReachedTables(check);
    AddSteps(check, sourceTable, destInfo);
    const double rate = m_source.IsInProcess() && m_dest.IsInProcess() ? EmbeddedRowsPerSecond : ServerRowsPerSecond;
    check.estimatedSeconds = SecondsPerTable + static_cast<double>(check.sourceRows) / rate;
    return check;
}

namespace
{
// The variables V0, V1 ... of the given types, and the moves that pass a
// value from each to the next.
void ValueSteps(const std::vector<std::string>& steps, std::string& declared, std::string& moves)
{
    for (size_t i = 0; i < steps.size(); ++i)
    {
        const std::string variable = "V" + std::to_string(i);
        declared += "DECLARE " + variable + " " + steps[i] + "; ";
        if (i > 0)
            moves += variable + " = V" + std::to_string(i - 1) + "; ";
    }
}
} // namespace

long long CTableChecker::CountRefusedValues(const std::string& sourceTable, const std::string& column,
                                            const std::vector<std::string>& steps, const std::string& where)
{
    // The source's own server passes each value through variables of the
    // given types in turn, as the copy's values travel, and counts those it
    // refuses on the way. -1 when it cannot say.
    std::string declared;
    std::string moves;
    ValueSteps(steps, declared, moves);
    const std::string name = SqlIdentifier(column);
    CStringGrid bad;
    int failure = 0;
    // A dialect-1 database knows no BIGINT.
    const std::string count = m_source.SqlDialect() < 3 ? "INTEGER" : "BIGINT";
    m_source.Execute("EXECUTE BLOCK RETURNS (BAD " + count + ") AS " + declared + "BEGIN BAD = 0; FOR SELECT " + name +
                         " FROM " + SqlIdentifier(sourceTable) + " WHERE " + where + " INTO :V0 DO BEGIN BEGIN " +
                         moves + "WHEN ANY DO BAD = BAD + 1; END END SUSPEND; END",
                     failure, &bad);
    return failure == 0 && bad.RowCount() == 1 ? bad.GetCellInt(0, 0) : -1;
}

long long CTableChecker::CountChangedValues(const std::string& sourceTable, const std::string& column,
                                            const std::vector<std::string>& steps, size_t comparedWith,
                                            const std::string& where)
{
    // As CountRefusedValues, but counts the values that arrive in the last
    // variable other than they were in V<comparedWith>; a value refused on
    // the way is counted by the finding of its own.
    std::string declared;
    std::string moves;
    ValueSteps(steps, declared, moves);
    const std::string last = "V" + std::to_string(steps.size() - 1);
    CStringGrid changed;
    int failure = 0;
    m_source.Execute("EXECUTE BLOCK RETURNS (CHANGED INTEGER) AS " + declared + "BEGIN CHANGED = 0; FOR SELECT " +
                         SqlIdentifier(column) + " FROM " + SqlIdentifier(sourceTable) + " WHERE " + where +
                         " INTO :V0 DO BEGIN BEGIN " + moves + "IF (" + last + " <> V" + std::to_string(comparedWith) +
                         ") THEN CHANGED = CHANGED + 1; WHEN ANY DO CHANGED = CHANGED + 0; END END SUSPEND; END",
                     failure, &changed);
    return failure == 0 && changed.RowCount() == 1 ? changed.GetCellInt(0, 0) : -1;
}

void CTableChecker::CheckApproximateNumbers(STableCheck& check, const std::string& sourceTable,
                                            const SColumnInfo& source, const SColumnInfo& dest)
{
    // A FLOAT keeps about seven digits, and a double written as text keeps
    // the sixteen the server writes: such values arrive as other numbers.
    if (source.dimensions > 0 || dest.dimensions > 0)
        return;
    const std::string own = "TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(source.name);
    const std::string present = SqlIdentifier(source.name) + " IS NOT NULL";
    long long rows = 0;
    EKind kind = EKind::BeyondPrecision;
    if (source.fieldType == 27 && dest.fieldType == 10)
        rows = CountChangedValues(sourceTable, source.name, {own, "FLOAT"}, 0, present);
    else if (IsFloat(source) && IsText(dest) && dest.fieldType != 261)
    {
        kind = EKind::Rounded;
        const char* back = source.fieldType == 10 ? "FLOAT" : "DOUBLE PRECISION";
        rows = CountChangedValues(sourceTable, source.name, {own, TextType(dest), back}, 0, present);
    }
    else if (IsText(source) && source.fieldType != 261 && IsFloat(dest))
    {
        const std::string number = "TRIM(" + SqlIdentifier(source.name) + ") SIMILAR TO " + NumberPattern;
        // Beyond a double's range (1e-400 as well as 1e400) the server
        // refuses the text.
        const long long refused = CountRefusedValues(sourceTable, source.name, {own, "DOUBLE PRECISION"}, number);
        if (refused != 0)
            Add(check, EKind::OutOfRange, ECheckSeverity::Fails, dest.name, refused, TypeText(dest));
        if (dest.fieldType == 10)
            rows = CountChangedValues(sourceTable, source.name, {own, "DOUBLE PRECISION", "FLOAT"}, 1, number);
    }
    if (rows != 0)
        Add(check, kind, ECheckSeverity::Warning, dest.name, rows, TypeText(dest));
}

std::string CTableChecker::DestCharacterSet(int id)
{
    return CharacterSetName(m_dest, id);
}

long long CTableChecker::CountLegacyText(const std::string& sourceTable, const SColumnInfo& source,
                                         const SColumnInfo& dest)
{
    // Without a code page the copy hands NONE bytes on as UTF-8 text, which
    // the server then puts into the destination's character set.
    const std::string charset = DestCharacterSet(dest.characterSetId);
    if (charset.empty())
        return -1;
    return CountRefusedValues(sourceTable, source.name,
                              {TextType(source) + " CHARACTER SET NONE", TextType(source) + " CHARACTER SET UTF8",
                               TextType(source) + " CHARACTER SET " + charset},
                              SqlIdentifier(source.name) + NotAscii);
}

long long CTableChecker::CountUnstorableText(const std::string& sourceTable, const SColumnInfo& source,
                                             const SColumnInfo& dest)
{
    const std::string charset = DestCharacterSet(dest.characterSetId);
    if (charset.empty())
        return -1;
    return CountRefusedValues(sourceTable, source.name,
                              {"TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(source.name),
                               TextType(source) + " CHARACTER SET " + charset},
                              SqlIdentifier(source.name) + NotAscii);
}

long long CTableChecker::CountUnmappedBytes(const std::string& sourceTable, const SColumnInfo& source)
{
    // The copy refuses these rows rather than let the server store U+0000
    // for the bytes. -1 when the source cannot say.
    if (!m_unmappedBytes)
        m_unmappedBytes = UnmappedBytes(m_source, m_settings.sourceCharset);
    if (m_unmappedBytes->empty())
        return 0;
    CStringGrid count;
    int failure = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable) + " WHERE " +
                         HoldsAnyByte(SqlIdentifier(source.name), *m_unmappedBytes),
                     failure, &count);
    return failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : -1;
}

long long CTableChecker::CountFailedConversions(const std::string& sourceTable, const SColumnInfo& source,
                                                const SColumnInfo& dest)
{
    // Each value as the copy's insert would have it converted.
    const std::string target = ValueKind(dest) == EValueKind::Number ? "DOUBLE PRECISION" : FieldTypeName(dest);
    return CountRefusedValues(
        sourceTable, source.name,
        {"TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(source.name), target},
        SqlIdentifier(source.name) + " IS NOT NULL");
}

long long CTableChecker::CountRowsWithoutSourceParent(const std::string& sourceTable, const SForeignKey& key)
{
    // The parent is refilled from the source: a key must find its row there.
    // Keys meet as the parent's key in the destination compares them: 'abc'
    // finds 'ABC' under UNICODE_CI.
    const std::string parent = SourceSpelling(key.parentTable);
    std::vector<SColumnInfo> parentInfo;
    GetColumnInfo(m_dest, key.parentTable, parentInfo);
    std::string present;
    std::string match;
    for (size_t c = 0; c < key.childColumns.size() && c < key.parentColumns.size(); ++c)
    {
        std::string child = "C." + SqlIdentifier(key.childColumns[c]);
        std::string parentKey = "P." + SqlIdentifier(key.parentColumns[c]);
        present += (c ? " AND " : "") + child + " IS NOT NULL";
        const auto column = std::find_if(parentInfo.begin(), parentInfo.end(),
                                         [&](const SColumnInfo& info) { return info.name == key.parentColumns[c]; });
        if (column != parentInfo.end())
        {
            child = ComparedAsInDestination(key.parentTable, child, *column);
            parentKey = ComparedAsInDestination(key.parentTable, parentKey, *column);
        }
        match += (c ? " AND " : "") + parentKey + " = " + child;
    }
    CStringGrid count;
    int failure = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable) + " C WHERE " + present +
                         " AND NOT EXISTS (SELECT 1 FROM " + SqlIdentifier(parent) + " P WHERE " + match + ")",
                     failure, &count);
    return failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
}

namespace
{
// The condition of a CHECK as its source text gives it, without the word
// CHECK; empty when the condition reads other tables (the plan's business)
// or the text is not of that form.
std::string CheckCondition(const std::string& source)
{
    std::string upper = source;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t start = upper.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || upper.compare(start, 5, "CHECK") != 0 ||
        upper.find("SELECT") != std::string::npos)
        return {};
    return source.substr(start + 5);
}

// The condition with the word VALUE (a domain's name for its value) as the
// column; names and literals that merely hold the word stay.
std::string WithColumnForValue(const std::string& condition, const std::string& column)
{
    std::string result;
    bool quoted = false;
    char quote = 0;
    for (size_t i = 0; i < condition.size();)
    {
        const char c = condition[i];
        const auto word = [&](size_t at) {
            return at < condition.size() && (std::isalnum(static_cast<unsigned char>(condition[at])) ||
                                             condition[at] == '_' || condition[at] == '$');
        };
        if (quoted)
        {
            result += c;
            quoted = c != quote;
            ++i;
            continue;
        }
        if (c == '\'' || c == '"')
        {
            quoted = true;
            quote = c;
            result += c;
            ++i;
            continue;
        }
        if ((i == 0 || !word(i - 1)) && condition.size() - i >= 5 && !word(i + 5))
        {
            std::string five = condition.substr(i, 5);
            for (char& letter : five)
                letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
            if (five == "VALUE")
            {
                result += SqlIdentifier(column);
                i += 5;
                continue;
            }
        }
        result += c;
        ++i;
    }
    return result;
}
} // namespace

void CTableChecker::CheckConstraints(STableCheck& check, const std::string& sourceTable, const STablePlan& plan)
{
    // The destination's CHECKs of this table alone, and its columns' domain
    // CHECKs, tried on the rows as the copy would insert them.
    CStringGrid checks;
    int failure = 0;
    const std::string table = EscapeSqlString(check.table);
    m_dest.Execute("SELECT cc.rdb$constraint_name, t.rdb$trigger_source FROM rdb$relation_constraints rc"
                   " JOIN rdb$check_constraints cc ON cc.rdb$constraint_name = rc.rdb$constraint_name"
                   " JOIN rdb$triggers t ON t.rdb$trigger_name = cc.rdb$trigger_name"
                   " WHERE rc.rdb$relation_name = '" +
                       table + "' AND rc.rdb$constraint_type = 'CHECK' AND t.rdb$trigger_type = 1",
                   failure, &checks, nullptr, EValueForm::Exact);
    struct SCondition
    {
        std::string name;   // the constraint's, or the column's for its domain
        std::string column; // a domain's column
        std::string condition;
    };
    std::vector<SCondition> conditions;
    for (int r = 0; failure == 0 && r < checks.RowCount(); ++r)
    {
        const std::string condition = CheckCondition(checks.GetCell(1, r));
        if (!condition.empty())
            conditions.push_back({TrimSpaces(checks.GetCell(0, r)), "", condition});
    }
    CStringGrid domains;
    m_dest.Execute("SELECT rf.rdb$field_name, f.rdb$validation_source FROM rdb$relation_fields rf"
                   " JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source WHERE rf.rdb$relation_name = '" +
                       table + "' AND f.rdb$validation_source IS NOT NULL",
                   failure, &domains, nullptr, EValueForm::Exact);
    for (int r = 0; failure == 0 && r < domains.RowCount(); ++r)
    {
        const std::string column = TrimSpaces(domains.GetCell(0, r));
        const std::string condition = CheckCondition(domains.GetCell(1, r));
        if (!condition.empty())
            conditions.push_back({column, column, WithColumnForValue(condition, column)});
    }
    if (conditions.empty())
        return;
    // The rows as inserted: the source's values in the destination's types,
    // the fillers, and NULL where nothing is known (a DEFAULT, an identity).
    std::string list;
    for (const SColumnPlan& column : plan.columns)
    {
        std::string value = "NULL";
        if (column.value == EColumnValue::Source)
        {
            const SSourceColumn& from = plan.source[static_cast<size_t>(column.sourceIndex)];
            value = SqlIdentifier(from.name);
            if (from.info.fieldType != column.dest.fieldType || from.info.scale != column.dest.scale)
                value = "CAST(" + value + " AS " + TypeText(column.dest) + ")";
        }
        else if (column.value == EColumnValue::Filler)
            value = column.fillerLiteral;
        list += (list.empty() ? "" : ", ") + value + " AS " + SqlIdentifier(column.name);
    }
    for (const SCondition& checked : conditions)
    {
        // A CHECK fails only on FALSE; one the source cannot evaluate (a
        // DEFAULT it would need, a value that does not convert) says nothing.
        CStringGrid count;
        m_source.Execute("SELECT COUNT(*) FROM (SELECT " + list + " FROM " + SqlIdentifier(sourceTable) + ") " +
                             SqlIdentifier(check.table) + " WHERE NOT (" + checked.condition + ")",
                         failure, &count);
        const long long refused = failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
        if (refused > 0)
            Add(check, EKind::CheckRefuses, ECheckSeverity::Fails, checked.column, refused, checked.name);
    }
}

std::string CTableChecker::ComparedAsInDestination(const std::string& table, const std::string& source,
                                                   const SColumnInfo& dest)
{
    // Text meets as the destination's collation compares it: 'a' and 'A'
    // are one key under UNICODE_CI. A default collation compares as the
    // source does already.
    if (!IsText(dest) || dest.fieldType == 261 || dest.characterSetId < 0)
        return source;
    CStringGrid names;
    int failure = 0;
    m_dest.Execute("SELECT cs.rdb$character_set_name, c.rdb$collation_name FROM rdb$relation_fields rf"
                   " JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source"
                   " JOIN rdb$collations c ON c.rdb$character_set_id = f.rdb$character_set_id"
                   " AND c.rdb$collation_id = COALESCE(rf.rdb$collation_id, f.rdb$collation_id, 0)"
                   " JOIN rdb$character_sets cs ON cs.rdb$character_set_id = f.rdb$character_set_id"
                   " WHERE COALESCE(rf.rdb$collation_id, f.rdb$collation_id, 0) <> 0 AND rf.rdb$relation_name = '" +
                       EscapeSqlString(table) + "' AND rf.rdb$field_name = '" + EscapeSqlString(dest.name) + "'",
                   failure, &names);
    if (failure != 0 || names.RowCount() != 1 || !IsCharacterSetName(names.GetCell(0, 0)) ||
        !IsCharacterSetName(names.GetCell(1, 0)))
        return source;
    return "CAST(" + source + " AS VARCHAR(" + std::to_string(std::max(1, dest.length)) + ") CHARACTER SET " +
           names.GetCell(0, 0) + ") COLLATE " + names.GetCell(1, 0);
}

void CTableChecker::CheckDuplicateKeys(STableCheck& check, const std::string& sourceTable, const STablePlan& plan)
{
    // The destination's primary key, unique constraints and unique indexes
    // on columns: source rows that meet on such a key fail beyond the first.
    CStringGrid segments;
    int failure = 0;
    m_dest.Execute("SELECT COALESCE(rc.rdb$constraint_name, i.rdb$index_name), s.rdb$field_name FROM rdb$indices i"
                   " JOIN rdb$index_segments s ON s.rdb$index_name = i.rdb$index_name"
                   " LEFT JOIN rdb$relation_constraints rc ON rc.rdb$index_name = i.rdb$index_name"
                   " WHERE i.rdb$relation_name = '" +
                       EscapeSqlString(check.table) +
                       "' AND i.rdb$unique_flag = 1 AND COALESCE(i.rdb$index_inactive, 0) = 0"
                       " AND i.rdb$expression_blr IS NULL ORDER BY i.rdb$index_name, s.rdb$field_position",
                   failure, &segments);
    std::map<std::string, std::vector<std::string>> keys;
    for (int r = 0; failure == 0 && r < segments.RowCount(); ++r)
        keys[segments.GetCell(0, r)].push_back(segments.GetCell(1, r));
    for (const auto& [name, columns] : keys)
    {
        // Grouped by the source's values; a column that every row gets the
        // same value (a filler, a DEFAULT) groups nothing apart. A key whose
        // columns are all NULL meets nothing (one NULL among values meets
        // the same NULL), and an identity is new in every row.
        std::string grouped;
        std::string groupedAsStored; // without the conversion, for sources it fails on
        std::string present;
        bool mayRepeat = true;
        for (const std::string& column : columns)
        {
            const auto planned = std::find_if(plan.columns.begin(), plan.columns.end(),
                                              [&](const SColumnPlan& c) { return c.name == column; });
            if (planned == plan.columns.end())
                mayRepeat = false;
            else if (planned->value == EColumnValue::Source)
            {
                const SSourceColumn& from = plan.source[static_cast<size_t>(planned->sourceIndex)];
                const std::string source = SqlIdentifier(from.name);
                // NONE text means characters only in its code page.
                const std::string read =
                    planned->legacyText && IsCharacterSetName(m_settings.sourceCharset) && !from.info.blob
                        ? "CAST(" + source + " AS " + TextType(from.info) + " CHARACTER SET " +
                              m_settings.sourceCharset + ")"
                        : source;
                const std::string compared = ComparedAsInDestination(check.table, read, planned->dest);
                grouped += (grouped.empty() ? "" : ", ") + ConvertedForKey(compared, from.info, planned->dest);
                groupedAsStored += (groupedAsStored.empty() ? "" : ", ") + compared;
                present += (present.empty() ? "" : " OR ") + source + " IS NOT NULL";
            }
            else if (planned->value != EColumnValue::Filler &&
                     !(planned->value == EColumnValue::LeftOut && planned->dest.identitySequence.empty()))
                mayRepeat = false;
        }
        if (!mayRepeat)
            continue;
        const std::string table = SqlIdentifier(sourceTable);
        const auto sql = [&](const std::string& by) {
            return by.empty() ? "SELECT IIF(COUNT(*) > 1, COUNT(*) - 1, 0) FROM " + table
                              : "SELECT SUM(N - 1) FROM (SELECT COUNT(*) AS N FROM " + table + " WHERE (" + present +
                                    ") GROUP BY " + by + " HAVING COUNT(*) > 1)";
        };
        CStringGrid count;
        m_source.Execute(sql(grouped), failure, &count);
        // A value that does not convert fails its row by a finding of its
        // own; the others still meet as stored.
        if (failure != 0 && grouped != groupedAsStored)
            m_source.Execute(sql(groupedAsStored), failure, &count);
        const long long repeated = failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
        if (repeated > 0)
            Add(check, EKind::DuplicateKeys, ECheckSeverity::Fails, Joined(columns, ", "), repeated, name);
    }
    CheckDuplicateExpressionKeys(check, sourceTable);
}

void CTableChecker::CheckDuplicateExpressionKeys(STableCheck& check, const std::string& sourceTable)
{
    // A unique index on an expression (UPPER(NAME), A + B): the source's rows
    // grouped by the same expression over its columns of those names. One
    // the source cannot evaluate (a column it lacks) says nothing.
    CStringGrid indexes;
    int failure = 0;
    m_dest.Execute("SELECT rdb$index_name, rdb$expression_source FROM rdb$indices WHERE rdb$relation_name = '" +
                       EscapeSqlString(check.table) +
                       "' AND rdb$unique_flag = 1 AND COALESCE(rdb$index_inactive, 0) = 0"
                       " AND rdb$expression_blr IS NOT NULL",
                   failure, &indexes, nullptr, EValueForm::Exact);
    for (int r = 0; failure == 0 && r < indexes.RowCount(); ++r)
    {
        const std::string expression = indexes.GetCell(1, r);
        if (expression.empty() || expression.find(';') != std::string::npos)
            continue;
        CStringGrid count;
        int failed = 0;
        m_source.Execute("SELECT SUM(N - 1) FROM (SELECT COUNT(*) AS N FROM " + SqlIdentifier(sourceTable) + " WHERE " +
                             expression + " IS NOT NULL GROUP BY " + expression + " HAVING COUNT(*) > 1)",
                         failed, &count);
        const long long repeated = failed == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
        if (repeated > 0)
            Add(check, EKind::DuplicateKeys, ECheckSeverity::Fails, TrimSpaces(expression), repeated,
                TrimSpaces(indexes.GetCell(0, r)));
    }
}

bool CTableChecker::RefilledFromSource(const std::string& table)
{
    if (std::find(m_runTables.begin(), m_runTables.end(), table) == m_runTables.end())
        return false;
    // A table whose source is empty keeps the destination's rows.
    const std::string source = SourceSpelling(table);
    CStringGrid any;
    int failure = 0;
    if (!source.empty())
        m_source.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(source), failure, &any);
    return !source.empty() && failure == 0 && any.RowCount() == 1;
}

void CTableChecker::CheckParentKeys(STableCheck& check, const std::string& sourceTable)
{
    // A key into a table that the run refills must find its row among the
    // source's rows of that table; into any other table among the
    // destination's rows as they are.
    for (const SForeignKey& key : m_keys)
    {
        if (key.childTable != check.table)
            continue;
        if (RefilledFromSource(key.parentTable))
        {
            const long long missing = CountRowsWithoutSourceParent(sourceTable, key);
            if (missing > 0)
                Add(check, EKind::MissingParentKeys, ECheckSeverity::Fails, Joined(key.childColumns, ", "), missing,
                    key.parentTable);
            continue;
        }
        if (key.childColumns.size() != 1)
            continue;
        const std::string column = SqlIdentifier(key.childColumns[0]);
        CStringGrid keys;
        int failure = 0;
        m_source.Execute("SELECT " + column + ", COUNT(*) FROM " + SqlIdentifier(sourceTable) + " WHERE " + column +
                             " IS NOT NULL GROUP BY 1",
                         failure, &keys, nullptr, EValueForm::Exact);
        if (failure != 0 || static_cast<size_t>(keys.RowCount()) > MaxCheckedKeys)
            continue;
        std::set<std::string> present;
        constexpr int Chunk = 500;
        for (int first = 0; first < keys.RowCount(); first += Chunk)
        {
            std::string list;
            for (int r = first; r < std::min(keys.RowCount(), first + Chunk); ++r)
                list += (list.empty() ? "'" : ", '") + EscapeSqlString(keys.GetCell(0, r)) + "'";
            CStringGrid found;
            m_dest.Execute("SELECT " + SqlIdentifier(key.parentColumns[0]) + " FROM " + SqlIdentifier(key.parentTable) +
                               " WHERE " + SqlIdentifier(key.parentColumns[0]) + " IN (" + list + ")",
                           failure, &found, nullptr, EValueForm::Exact);
            for (int r = 0; failure == 0 && r < found.RowCount(); ++r)
                present.insert(found.GetCell(0, r));
        }
        long long missing = 0;
        for (int r = 0; r < keys.RowCount(); ++r)
        {
            if (!present.count(keys.GetCell(0, r)))
                missing += keys.GetCellInt(1, r);
        }
        if (missing > 0)
            Add(check, EKind::MissingParentKeys, ECheckSeverity::Fails, key.childColumns[0], missing, key.parentTable);
    }
}

void CTableChecker::CheckReachedTables(STableCheck& check)
{
    // As the copy's emptying: rows of a table it does not empty first that
    // refer to this one keep it from being emptied, whether their key
    // refuses the DELETE or its ON DELETE rule would delete or change them.
    // A table of the run is emptied first only when its source has rows.
    for (const SForeignKey& key : m_keys)
    {
        if (key.parentTable != check.table || key.childTable == check.table)
            continue;
        const std::string childSource = SourceSpelling(key.childTable);
        if (std::find(m_runTables.begin(), m_runTables.end(), key.childTable) != m_runTables.end() &&
            !childSource.empty())
        {
            int failure = 0;
            CStringGrid rows;
            m_source.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(childSource), failure, &rows);
            if (failure == 0 && rows.RowCount() > 0)
                continue;
        }
        bool found = false;
        if (FindReferringRow(m_dest, key, found) && found)
            Add(check, EKind::ReachesOthers, ECheckSeverity::Fails, "", -1,
                key.childTable + " (foreign key " + key.name + " ON DELETE " + key.deleteRule + ")");
    }
}

void CTableChecker::AddSteps(STableCheck& check, const std::string& sourceTable,
                             const std::vector<SColumnInfo>& destInfo)
{
    std::vector<std::string> triggers;
    if (GetActiveUserTriggers(m_dest, check.table, triggers) && !triggers.empty())
    {
        std::string names;
        for (const std::string& trigger : triggers)
            names += (names.empty() ? "" : ", ") + trigger;
        Add(check, EKind::Triggers, ECheckSeverity::Fine, "", -1, names);
    }
    CStringGrid destTriggers;
    CStringGrid sourceTriggers;
    if (m_dest.GetTableTriggers(check.table, destTriggers) && m_source.GetTableTriggers(sourceTable, sourceTriggers))
    {
        std::string generators;
        std::string kept;
        for (int r = 0; r < destTriggers.RowCount(); ++r)
        {
            const std::string generator = destTriggers.GetCell(2, r);
            std::string value;
            bool byName = false;
            if (generator.empty() || !SourceGeneratorValue(m_source, sourceTriggers, generator, value, byName))
                continue;
            // As the copy decides: a shared generator never goes back.
            const std::string current = destTriggers.GetCell(3, r);
            const bool back = std::strtoll(current.c_str(), nullptr, 10) > std::strtoll(value.c_str(), nullptr, 10);
            if (byName && back)
                continue;
            std::vector<std::string> others;
            if (back && OtherGeneratorUsers(m_dest, generator, check.table, others) && !others.empty())
                kept += (kept.empty() ? "" : ", ") + generator + "=" + current + " (" + Joined(others, ", ") + ")";
            else
                generators += (generators.empty() ? "" : ", ") + generator + "=" + value;
        }
        if (!generators.empty())
            Add(check, EKind::Generators, ECheckSeverity::Fine, "", -1, generators);
        if (!kept.empty())
            Add(check, EKind::GeneratorsKept, ECheckSeverity::Fine, "", -1, kept);
    }
    std::string identities;
    for (const SColumnInfo& column : destInfo)
    {
        if (!column.identitySequence.empty())
            identities += (identities.empty() ? "" : ", ") + column.name;
    }
    if (!identities.empty())
        Add(check, EKind::Identities, ECheckSeverity::Fine, "", -1, identities);
}

bool Refuses(const STableCheck& check)
{
    return std::any_of(check.findings.begin(), check.findings.end(), [](const SCheckFinding& finding) {
        return finding.kind == EKind::NeedsDefault || finding.kind == EKind::Unreadable ||
               finding.kind == EKind::NotATable || finding.kind == EKind::ReachesOthers;
    });
}
} // namespace

bool LeavesTableUncopied(const STableCheck& table)
{
    using EKind = SCheckFinding::EKind;
    for (const SCheckFinding& finding : table.findings)
    {
        switch (finding.kind)
        {
        case EKind::NeedsDefault:
        case EKind::Unreadable:
        case EKind::NotATable:
        case EKind::ReachesOthers:
        case EKind::GroupRefused: return true;
        default: break;
        }
    }
    return false;
}

int SCheckReport::Count(ECheckSeverity severity) const
{
    return static_cast<int>(std::count_if(tables.begin(), tables.end(),
                                          [&](const STableCheck& table) { return table.severity == severity; }));
}

SCheckReport CheckCopy(const SRunSettings& settings, const std::vector<std::string>& tables)
{
    SCheckReport report;
    CFbConnection source(settings.attempts);
    CFbConnection dest(settings.attempts);
    if (!source.Connect(settings.source.user, settings.source.password, settings.source.database))
    {
        report.error = source.LastErrorMessage();
        return report;
    }
    if (!dest.Connect(settings.dest.user, settings.dest.password, settings.dest.database))
    {
        report.error = dest.LastErrorMessage();
        return report;
    }
    report.checked = true;
    const SRunPlan plan = PlanRunIn(dest, tables);
    CTableChecker checker(settings, source, dest, plan, tables);
    for (const std::string& table : tables)
        report.tables.push_back(checker.Check(table));

    // A group is emptied and filled as a whole: one table it cannot refill
    // keeps every table of the group from being copied.
    for (const STableGroup& group : plan.groups)
    {
        std::string refusing;
        for (const STableCheck& check : report.tables)
        {
            const bool member =
                std::find(group.fillOrder.begin(), group.fillOrder.end(), check.table) != group.fillOrder.end();
            if (member && check.sourceRows > 0 && Refuses(check))
                refusing += (refusing.empty() ? "" : ", ") + check.table;
        }
        if (refusing.empty())
            continue;
        for (STableCheck& check : report.tables)
        {
            const bool member =
                std::find(group.fillOrder.begin(), group.fillOrder.end(), check.table) != group.fillOrder.end();
            if (!member || Refuses(check))
                continue;
            check.findings.push_back({EKind::GroupRefused, ECheckSeverity::Fails, "", -1, refusing});
            check.severity = ECheckSeverity::Fails;
        }
    }
    source.Disconnect();
    dest.Disconnect();
    return report;
}

void NoteUnfinishedTables(SCheckReport& report, const std::vector<std::string>& unfinished)
{
    for (STableCheck& table : report.tables)
    {
        if (std::find(unfinished.begin(), unfinished.end(), table.table) == unfinished.end())
            continue;
        table.findings.insert(table.findings.begin(),
                              {SCheckFinding::EKind::Unfinished, ECheckSeverity::Warning, "", -1, ""});
        if (table.severity == ECheckSeverity::Fine)
            table.severity = ECheckSeverity::Warning;
    }
}
