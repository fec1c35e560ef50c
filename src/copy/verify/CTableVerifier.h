#pragma once

#include "db/SchemaQueries.h"

#include <string>
#include <vector>

class CFbConnection;

// A column to compare: the source's column, read as the destination's type,
// and the destination's column.
struct SVerifyColumn
{
    SColumnInfo source;
    SColumnInfo dest;
    // The source's NONE text is read as this code page first (empty: as its bytes).
    std::string legacyCharset;
};

// One row that differs, in the SQL literal form of the logs.
struct SVerifyDifference
{
    std::string key;    // "ID=5"
    std::string column; // empty for a missing or extra row
    std::string source;
    std::string dest;
};

// What the comparison of one table found.
struct STableVerification
{
    bool ran = false; // false: the tables could not be read (error says why)
    std::string error;
    long long identical = 0;
    long long differing = 0; // rows in both with a value that differs
    long long missing = 0;   // source rows the destination lacks
    long long extra = 0;     // destination rows the source lacks
    // Source rows whose values the destination's types refuse: their INSERT
    // failed, so they are missing too.
    long long refused = 0;
    // Array columns whose elements change type: not compared.
    std::vector<std::string> notCompared;
    // Columns the source stores and the destination computes: not compared.
    std::vector<std::string> computedInDestination;
    // The first few of each, for the log.
    std::vector<SVerifyDifference> differences;
    std::vector<std::string> missingKeys;
    std::vector<std::string> extraKeys;

    long long Differences() const { return differing + missing + extra + refused; }
    bool Identical() const { return ran && Differences() == 0; }
};

// How many differing, missing and extra rows are kept for the log.
inline constexpr size_t kShownDifferences = 10;

// Compares the rows of sourceTable and destTable in the given columns. The
// source is read with each column cast to the destination's type, so both
// sides went through the same conversion; both are ordered by the
// destination's primary key (or a unique key, or all compared columns
// without a BLOB) and streamed side by side, never held whole. Values are
// compared exactly: NULL apart from empty, BLOB contents, doubles bit for bit.
STableVerification VerifyTable(CFbConnection& source, CFbConnection& dest, const std::string& sourceTable,
                               const std::string& destTable, const std::vector<SVerifyColumn>& columns);
