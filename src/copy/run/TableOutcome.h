#pragma once

#include "copy/verify/CTableVerifier.h"

#include <string>

// How a table of a run ended.
enum class ETableStatus
{
    Copied,      // every row arrived (and read back identical when verified)
    EmptySource, // the source table holds no rows; the destination keeps its rows
    Failed,      // the copy failed, or some of its rows did
    Skipped,     // not attempted: it is copied together with a table that cannot be refilled
    Stopped,     // the user stopped the run before it, or aborted it
};

// The name a report gives a status: "copied", "empty_source", "failed",
// "skipped", "stopped".
const char* TableStatusName(ETableStatus status);

// What a run did with one table, in figures.
struct STableOutcome
{
    std::string table;
    ETableStatus status = ETableStatus::Stopped;
    long long rowsRead = 0;    // source rows read
    long long rowsWritten = 0; // rows committed in the destination
    long long rowsFailed = 0;  // rows the destination refused or that went back with the transaction
    // Rows written and then rolled back because the user aborted the table:
    // no failure of theirs, so not in rowsFailed.
    long long rowsRolledBack = 0;
    // Set when the copied rows were read back and compared.
    bool verified = false;
    STableVerification verification;
    double seconds = 0;
    // How many attachments wrote the rows: 1, or more when a large table
    // went over a slow network (see CWriterLanes).
    int writers = 1;
    // The first failure's server message (or the program's own reason when
    // the server gave none); empty when nothing failed.
    std::string error;
};
