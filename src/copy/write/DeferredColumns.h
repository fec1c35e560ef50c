#pragma once

#include "copy/plan/CRunPlan.h"

class CAbortSignal;
class CFbConnection;
class CRunLogs;

// What setting a group's deferred columns came to.
enum class EDeferred
{
    Set,
    RowsFailed, // rows refused their values: the table fails, the group commits
    Broken,     // the statement could not run: the group rolls back
};

// Clears the deferred columns of the old rows, so that they let go of the
// rows they point at before those are deleted; false, logged, on failure.
bool ClearDeferredColumns(CFbConnection& dest, const SDeferredColumns& entry, CRunLogs& logs);
// Sets the deferred columns of the copied rows to the source's values, row
// by row found by primary key, in the destination's open transaction.
EDeferred ApplyDeferredColumns(CFbConnection& source, CFbConnection& dest, const SDeferredColumns& entry,
                               CRunLogs& logs, CAbortSignal& abort);
