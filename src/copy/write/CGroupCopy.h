#pragma once

#include "copy/plan/CRunPlan.h"
#include "copy/run/TableOutcome.h"
#include "copy/write/GroupInProgress.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CRunSession;
class CTableCopy;

// The copy of one group of tables that foreign keys or CHECKs join (see
// SGroupInProgress): checked as a whole, emptied children first in one
// transaction, filled parents first by the tables' own copies, given its
// deferred columns and committed once.
class CGroupCopy
{
  public:
    explicit CGroupCopy(CRunSession& run);
    ~CGroupCopy();
    CGroupCopy(const CGroupCopy&) = delete;
    CGroupCopy& operator=(const CGroupCopy&) = delete;

    // Checks that every table of the group can be refilled, switches their
    // triggers off and empties them (children first, deferred keys of old
    // rows cleared) in the group's transaction; its tables' copies then
    // insert their rows into it, the deferred columns as NULL. False, with
    // the reasons logged for every table, when the group cannot be copied:
    // then no row of it has changed.
    bool Begin(const STableGroup& group, const std::vector<SDeferredColumns>& deferred);

    // How a group ended: committed whole, or rolled back whole.
    struct SEnd
    {
        bool committed = false;
        // The tables that waited for the commit, in fill order, finished.
        std::vector<STableOutcome> outcomes;
    };
    // Sets the deferred columns, commits the group's transaction unless a
    // table of it failed or an abort came (then it rolls back, and every
    // table keeps its old rows), finishes each waiting table and switches
    // the triggers on again.
    SEnd End(const std::vector<SDeferredColumns>& deferred);

    // The group's state while it empties table, or null.
    SGroupInProgress* Replacing(const std::string& table) const;
    std::set<std::string> DeferredColumnsOf(const std::string& table) const;
    // A filled table waits for the group's commit.
    void Wait(std::unique_ptr<CTableCopy> copy);
    // table, emptied by the group, failed: the whole group rolls back.
    void Break(const std::string& table, const std::string& reason);
    // True when a table of the group failed: the group rolls back.
    bool Broken() const { return m_state && !m_state->brokenTable.empty(); }
    // Logs that table, of a group that broke before its turn, is not copied,
    // and gives the reason, which names the table that failed.
    std::string SkipBroken(const std::string& table);
    // Why the group could not be begun; empty when it could.
    const std::string& Failure() const { return m_sFailure; }
    // Why table itself kept the group from being copied; empty when it did not.
    std::string Refusal(const std::string& table) const;

  private:
    bool AttachBoth(const std::string& first);
    // Describes and plans every table before any is emptied; the tables to
    // empty, or false with the refusals recorded.
    bool PlanTables(const STableGroup& group, const std::vector<SDeferredColumns>& deferred,
                    std::vector<std::string>& toEmpty);
    bool SwitchTriggersOff(const STableGroup& group, const std::vector<std::string>& toEmpty);
    bool Empty(const STableGroup& group, const std::vector<SDeferredColumns>& deferred,
               const std::vector<std::string>& toEmpty, std::string& failedTable);
    bool Fail(const STableGroup& group, const std::string& reason);
    // Switches the triggers of the group's emptied tables on again.
    void SwitchTriggersOn(bool afterAbort);
    // Sets the deferred columns where both their tables were filled; the
    // tables whose rows refused their values.
    std::set<std::string> SetDeferredColumns(const std::vector<SDeferredColumns>& deferred, bool abort);
    // Commits or rolls back the group's transaction; why it was not
    // committed, or empty.
    std::string Decide(bool abort);

    CRunSession& m_run;
    std::unique_ptr<SGroupInProgress> m_state;
    std::string m_sFailure;
    std::map<std::string, std::string> m_refusals;
};
