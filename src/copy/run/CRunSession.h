#pragma once

#include "copy/run/RunSettings.h"
#include "copy/run/TableOutcome.h"
#include "copy/write/CGroupCopy.h"
#include "copy/write/CTriggerSwitch.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAbortSignal;
class CCopyEngine;
class CFailedTables;
class CRunAttachments;
class CRunLogs;
struct SRunSettings;

// One run of an engine, from its first table to its last. It holds what
// the run acquires (the engine's busy mark, the claim on the destination in
// the trigger journal, the attachments its tables share, the listeners, the
// group in progress) and gives all of it back when it goes, whatever way
// the run ends: an early return or an exception leaves the engine free,
// the destination unclaimed and no listener behind. The tables' copies
// reach the run's settings, logs, triggers and abort through it.
class CRunSession
{
  public:
    // Marks the engine busy; Begun is false when a run holds it already,
    // and then the session holds nothing.
    explicit CRunSession(CCopyEngine& engine);
    ~CRunSession();
    CRunSession(const CRunSession&) = delete;
    CRunSession& operator=(const CRunSession&) = delete;

    bool Begun() const { return m_bBegun; }
    // Claims the destination for this run: two copies into one destination
    // would switch each other's triggers. False with the holder's process
    // ("pid:start@host"), or with heldBy empty when the journal cannot be
    // written.
    bool ClaimDestination(std::string& heldBy);
    // The tables copied from now on share one source and one destination
    // attachment, made when the first table needs them.
    void ShareAttachments();
    // Called (on the copying thread) with the rows of the table in progress
    // that went through (all: every row has), as a table's rows are read
    // back to be compared with the source, and with the attachments that
    // write the rows of the table in progress once that changes.
    void SetListeners(std::function<void(long long rows, bool all)> onRows,
                      std::function<void(const std::string& table)> onVerifying,
                      std::function<void(int writers)> onWriters = {});

    // Whether the run writes its run log, SQL log and data text log.
    void SetLogging(ELogging logging);
    // Copies one table with or without the three logs. A table of the group
    // in progress waits for the group's end (TableWaits).
    STableOutcome CopyTable(const std::string& table, ELogging logging);
    // True when the last table copied waits for its group's commit.
    bool TableWaits() const { return m_bTableWaits; }
    // Starts a group of joined tables (see CGroupCopy::Begin); false when it
    // cannot be copied, and then Group() says why for each table.
    bool BeginGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred);
    // Ends the group in progress (see CGroupCopy::End).
    CGroupCopy::SEnd EndGroup(const std::vector<SDeferredColumns>& deferred);
    // The group begun last, or null before the first.
    CGroupCopy* Group() { return m_group.get(); }

    // What the tables' copies work with.
    const SRunSettings& Settings() const;
    CRunLogs& Logs();
    CTriggerSwitch& Triggers() { return m_triggers; }
    CAbortSignal& Abort();
    bool AbortRequested() const;
    CRunAttachments* SharedAttachments() { return m_shared.get(); }
    // The group in progress when it empties table, or null.
    SGroupInProgress* GroupReplacing(const std::string& table) const;
    // The columns the group in progress inserts as NULL into table and sets later.
    std::set<std::string> DeferredColumnsOf(const std::string& table) const;
    void NoteRows(long long rows, bool all) const
    {
        if (m_onRows)
            m_onRows(rows, all);
    }
    void NoteVerifying(const std::string& table) const
    {
        if (m_onVerifying)
            m_onVerifying(table);
    }
    void NoteWriters(int writers) const
    {
        if (m_onWriters)
            m_onWriters(writers);
    }
    // Notes, before their rows go, the tables the run replaces; a run killed
    // before it ends leaves them noted (CFailedTables::Unfinished).
    void NoteUnfinished(const std::vector<std::string>& tables);

  private:
    CCopyEngine& m_engine;
    bool m_bBegun = false;
    bool m_bClaimed = false;
    bool m_bTableWaits = false;
    CTriggerSwitch m_triggers;
    std::unique_ptr<CRunAttachments> m_shared;
    std::unique_ptr<CGroupCopy> m_group;
    std::function<void(long long, bool)> m_onRows;
    std::function<void(const std::string&)> m_onVerifying;
    std::function<void(int)> m_onWriters;
};
