#pragma once

// Rows an interrupted copy left in limbo, for tests of what finds them.
#include "copy/write/PreparedCommits.h"
#include "db/CFbConnection.h"
#include "db/PreparedTransactions.h"
#include "support/CTempDatabase.h"

#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Leaves the rows insert adds to table of database in a prepared transaction
// marked as a writer's of a copy whose process is gone, as a copy that died
// between its two commits leaves them. False when that could not be done.
inline bool LeaveRowsInLimbo(const std::string& database, const std::string& table, const std::string& insert)
{
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    SPreparedMark mark = OwnPreparedMark(NewCommitGroup(), table, false);
    mark.pid = gone;
    CFbConnection writer(1);
    if (!writer.Connect(TestUser, TestPassword, database))
        return false;
    int failure = 0;
    writer.Execute(insert, failure);
    if (!PrepareTransaction(writer, PreparedMarkText(mark)))
        return false;
    writer.ForgetTransaction();
    writer.Disconnect();
    return true;
}
