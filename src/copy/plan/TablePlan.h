#pragma once

#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"

#include <set>
#include <string>
#include <vector>

// A column of the source as the copy reads it: its name and type as the
// client library describes the fetched value, and what the system tables say.
struct SSourceColumn
{
    std::string name;
    int sqlType = 0; // SQL_xxx of the fetched value, nullable bit cleared
    SColumnInfo info;
};

// What one destination column receives.
enum class EColumnValue
{
    Source,     // the source column's value, NULL kept, converted by the engine
    LeftOut,    // not in the INSERT: its DEFAULT or identity fills it
    Filler,     // '' for text, 0 for numbers, FALSE for a BOOLEAN (a nullable key column gets NULL)
    Null,       // no source column, no default, no filler for its type
    Deferred,   // NULL now; the source's value once the tables it waits for are filled
    NotWritten, // COMPUTED BY: takes no value
};

struct SColumnPlan
{
    std::string name;
    EColumnValue value = EColumnValue::Source;
    int sourceIndex = -1;      // the source column, for Source and Deferred
    bool isString = true;      // logged between apostrophes (the column grid's "STRING")
    std::string filler;        // the bound text of a Filler
    std::string fillerLiteral; // a Filler or NULL as the SQL log shows it
    // A source text column in CHARACTER SET NONE carried into a column of a
    // real character set: its bytes mean characters only in a code page.
    bool legacyText = false;
    // What the destination's system tables say of the column: type, length,
    // precision and scale, character set, nullability, default, computed and
    // identity flags.
    SColumnInfo dest;
};

// How one table is copied, decided from both databases' columns before
// anything is written.
struct STablePlan
{
    std::string table;
    std::vector<SColumnPlan> columns;  // the destination's columns in their order
    std::vector<SSourceColumn> source; // the source's columns as its SELECT reads them
    // Why the table cannot be filled, each a run-log message; the table
    // fails before it is emptied when any is present.
    std::vector<std::string> problems;
    // No destination column takes a source column's value (one of the problems).
    bool carriesNothing = false;

    // The columns the INSERT names, in parameter order.
    std::vector<const SColumnPlan*> InsertColumns() const;
};

// The described result columns of the source's SELECT with what the system
// tables say of each (matched by name).
std::vector<SSourceColumn> MatchSourceColumns(const std::vector<SResultColumn>& described,
                                              const std::vector<SColumnInfo>& info);
// Plans the copy of table. deferred names destination columns that are
// inserted as NULL and set later (key cycles, CHECKs reading other tables).
STablePlan BuildTablePlan(const std::string& table, const std::vector<SSourceColumn>& source,
                          const std::vector<SColumnInfo>& dest, const std::set<std::string>& deferred);
// True for the fetched types this program reads and binds.
bool IsKnownSqlType(int sqlType);
// A system-table field type as SQL names it ("TIMESTAMP", "BLOB SUB_TYPE 0").
std::string FieldTypeName(const SColumnInfo& column);
