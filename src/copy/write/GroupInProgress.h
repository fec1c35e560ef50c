#pragma once

#include "db/CFbConnection.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CTableCopy;

// A group of tables that foreign keys or CHECKs join, while it is copied.
// Its tables are emptied, refilled and given their deferred columns in the
// one transaction of the group's own destination attachment, which is
// committed once, at the end: a run that dies at any moment (killed, its
// terminal gone, the server lost) leaves every table of the group with all
// its old rows or all its new ones. The source is read through one
// attachment too, so the group's rows come from one snapshot.
struct SGroupInProgress
{
    explicit SGroupInProgress(int attempts);
    ~SGroupInProgress();
    SGroupInProgress(const SGroupInProgress&) = delete;
    SGroupInProgress& operator=(const SGroupInProgress&) = delete;

    CFbConnection source;
    // Holds the group's transaction; no step but the group's end commits it.
    CFbConnection dest;
    // The tables emptied in the group's transaction, their triggers off.
    std::vector<std::string> replaced;
    // The columns each table's copy inserts as NULL and the group sets later.
    std::map<std::string, std::set<std::string>> deferredColumns;
    // The filled tables, in fill order, waiting for the commit to publish
    // their rows, set their generators and read their rows back.
    std::vector<std::unique_ptr<CTableCopy>> waiting;
    // The table whose failure rolls the whole group back, and why.
    std::string brokenTable;
    std::string brokenReason;

    bool Replaces(const std::string& table) const
    {
        for (const std::string& name : replaced)
        {
            if (name == table)
                return true;
        }
        return false;
    }
};
