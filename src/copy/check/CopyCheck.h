#pragma once

#include "copy/check/LeftBehind.h"
#include "copy/run/RunSettings.h"

#include <string>
#include <vector>

// How a table would fare in a copy.
enum class ECheckSeverity
{
    Fine,    // copied as it stands
    Warning, // copied, but something is lost, rounded or left behind
    Fails,   // the table, or some of its rows, would fail
};

// One thing the check found about a table, with the source rows it affects.
struct SCheckFinding
{
    enum class EKind
    {
        DroppedData,       // a source column the destination lacks holds values
        ComputedData,      // a source column the destination computes holds values
        TooLong,           // values longer than the destination column
        OutOfRange,        // numbers beyond the range the destination stores
        BeyondPrecision,   // more digits than the destination declares
        Rounded,           // more decimals than the destination keeps
        TimeDropped,       // a TIMESTAMP into a DATE loses its time of day
        DateDropped,       // a TIMESTAMP into a TIME loses its date
        CopyDate,          // the date or time of the copy: a TIME into a TIMESTAMP, 'NOW' into a DATE
        NotANumber,        // text that does not read as a number
        NotConvertible,    // values the destination's type does not take (text that is no date)
        LegacyText,        // CHARACTER SET NONE bytes without the code page
        NotInCharacterSet, // characters the destination's character set does not have
        UnmappedBytes,     // NONE bytes that stand for no character in the code page
        NullIntoNotNull,   // NULLs into a NOT NULL column
        NeedsDefault,      // a NOT NULL column nothing can fill
        Unreadable,        // a column type this program cannot read
        NotATable,         // a view, no table, or a table the source lacks
        MissingParentKeys, // keys the parent table will not hold
        DuplicateKeys,     // rows that meet on a primary or unique key of the destination
        CheckRefuses,      // rows a CHECK of the destination (or of a column's domain) refuses
        ReachesOthers,     // rows of a table the run does not refill refer to its rows
        GroupRefused,      // joined to a table that cannot be refilled
        Cycle,             // foreign keys in a cycle that no nullable key can break
        UndeferredCheck,   // a CHECK reading another table that cannot wait for it
        Deferred,          // inserted empty and set after the other tables
        Receives,          // a column only the destination has, and what it gets
        Triggers,          // triggers switched off during the copy
        Generators,        // generators set to the source's values
        GeneratorsKept,    // shared generators kept above the source's values
        Identities,        // identity columns that restart after the keys
        SourceEmpty,       // the destination keeps its rows
        Unfinished,        // a copy killed before it ended may have left other rows
    };
    EKind kind = EKind::DroppedData;
    ECheckSeverity severity = ECheckSeverity::Fine;
    std::string column;
    long long rows = -1; // source rows affected; -1 when not about rows
    // What the finding names besides the column: a type ("VARCHAR(40)"), a
    // table, trigger or generator names, a constraint, a value.
    std::string detail;
};

struct STableCheck
{
    std::string table;
    ECheckSeverity severity = ECheckSeverity::Fine;
    long long sourceRows = 0;
    double estimatedSeconds = 0;
    std::vector<SCheckFinding> findings;
};

// True when a finding of the table keeps it from being copied at all (not
// only some of its rows): a column nothing can fill, a type that cannot be
// read, no table, or a group it cannot be refilled with.
bool LeavesTableUncopied(const STableCheck& table);

struct SCheckReport
{
    // False when a database could not be read at all (error says why).
    bool checked = false;
    std::string error;
    std::vector<STableCheck> tables;
    // What interrupted copies left in the destination (FindLeftBehind).
    SLeftBehind leftBehind;

    int Count(ECheckSeverity severity) const;
};

struct SColumnInfo;

// SQL conditions on the source column that are true for a value whose
// conversion into the destination column makes its row fail (too long, out
// of range, no number, NULL into NOT NULL).
std::vector<std::string> FailingConversions(const SColumnInfo& source, const SColumnInfo& dest);

// Foresees what a copy of tables (in list order) from the source into the
// destination would do, reading both databases and writing to neither: one
// aggregate query per table counts the rows each finding affects.
SCheckReport CheckCopy(const SRunSettings& settings, const std::vector<std::string>& tables);

// Adds to the report's tables that a killed copy left unfinished
// (CFailedTables::Unfinished) what the destination may hold now.
void NoteUnfinishedTables(SCheckReport& report, const std::vector<std::string>& unfinished);
