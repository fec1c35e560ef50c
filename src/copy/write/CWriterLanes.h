#pragma once

#include "copy/run/RunSettings.h"
#include "copy/write/CBatchInserter.h"
#include "copy/write/LaneKeys.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CFbConnection;
class CFbTransaction;
struct SResolvedCommit;

// Several writers for one table over a slow network, where every block of
// rows costs a round trip: each lane is an attachment of its own to the
// destination, with its own transaction and thread, inserting blocks as a
// CBatchInserter does (a block that fails is inserted again row by row, so a
// row the server refuses fails alone with its own message). Rows go to the
// lanes in runs of consecutive rows, but rows whose key is equal always go
// to the same lane (equal as the destination's collation of the key
// compares them, see CLaneKeys), so two rows never meet across transactions. Once one
// lane's destination fails (a full disk, a lost connection), no lane sends
// more rows, and they are reported Broken. Results
// are reported in the order the rows were added, as one writer would. The
// lanes' transactions are prepared together (two-phase) after the table's
// own and committed after it (CommitWith, see PreparedCommits.h): a lane
// that cannot prepare rolls back every lane's rows.
class CWriterLanes
{
  public:
    using ResultCallback = CBatchInserter::ResultCallback;

    CWriterLanes(const SRunSettings& settings, const std::string& table, const std::vector<std::string>& columns,
                 ResultCallback onResult);
    ~CWriterLanes();
    CWriterLanes(const CWriterLanes&) = delete;
    CWriterLanes& operator=(const CWriterLanes&) = delete;

    // How many lanes a destination whose round trip takes rttMs deserves
    // (0: one writer is as fast).
    static int LanesFor(double rttMs);

    // Starts attaching count lanes, each on its own thread, and returns.
    void Start(int count);
    // Waits for the lanes Start began. False, with none kept, when one
    // cannot attach, when the table's unique keys could meet across lanes
    // (more than one unique index), when a row must find other rows of the
    // table (a foreign key to itself, a CHECK that selects) or when
    // committed rows stand in the table: the old rows that the table's own
    // transaction deletes would hold every new row of the same key.
    bool Open(std::string& reason);
    int Count() const { return static_cast<int>(m_lanes.size()); }
    // As CBatchInserter::Add; the row's result comes later, in order.
    void Add(BoundRow& row);
    // A row that failed before it was added, in its place.
    void AddFailed(const std::string& message, EFbFault fault);
    // Sends what is gathered, waits for every lane and reports every result.
    void Finish();
    // Commits the table's own transaction (rows) and the lanes' together,
    // in two phases (PreparedCommits.h). False, with the reason, when the
    // rows are not committed; an answer lost between the commits is decided
    // from the marks at once. Should that fail too, leftInLimbo says why:
    // the rows wait in prepared transactions for the next run.
    bool CommitWith(CFbTransaction& rows, std::string& error, std::string& leftInLimbo);
    // Every lane's transaction rolled back.
    void Rollback();

    // The steps of CommitWith that a watcher is told of.
    enum class ECommitStep
    {
        LanesPrepared, // the main transaction and the lanes' are prepared
        MainCommitted, // the main transaction committed, the lanes' not yet
    };
    // Tells watch of each step as CommitWith reaches it (the tests break
    // attachments there).
    void WatchCommit(std::function<void(ECommitStep)> watch) { m_onStep = std::move(watch); }

  private:
    struct SJob
    {
        std::vector<BoundRow> rows;
        std::vector<size_t> sequence; // each row's place among the rows added
        std::vector<std::pair<ERowResult, std::string>> results;
        size_t bytes = 0; // what the rows hold, roughly
        bool done = false;
    };
    struct SLane;

    // Waits until every lane attached or failed; false, with the first
    // lane's reason, when one failed.
    bool WaitForLanes(std::string& reason);
    // A lane's thread: attaches, then writes the jobs it is given.
    void Run(SLane& lane);
    // False, with the lane's error, when it could not attach or prepare.
    bool Attach(SLane& lane);
    void Write(SLane& lane, SJob& job);
    // Phase one of the commit, each lane's transaction stored with mark;
    // false, with the reason, when a lane cannot prepare: then every lane
    // is rolled back.
    bool Prepare(const std::string& mark, std::string& error);
    // Phase two, after the table's own transaction committed; false when a
    // lane's prepared work could not be committed.
    bool Commit(std::string& error);
    // Lets go of every lane without ending its transaction: what is
    // prepared stays in limbo for its group's decision (PreparedCommits.h).
    void Abandon();
    // Decides the prepared transactions of group from an attachment of its own.
    bool ResolveOwnGroup(const std::string& group, std::vector<SResolvedCommit>& resolved, std::string& error);
    void Step(ECommitStep step);
    void ForEachLane(const std::function<void(SLane&)>& work);
    void Dispatch(size_t lane);
    void Report(bool wait);
    size_t LaneOf(const BoundRow& row);

    const SRunSettings& m_settings;
    const std::string m_sTable;
    const std::vector<std::string> m_columns;
    ResultCallback m_onResult;
    std::vector<std::unique_ptr<SLane>> m_lanes;
    std::unique_ptr<CLaneKeys> m_keys; // the unique key's texts, once open
    size_t m_nBlockRows = 128;
    size_t m_nRunLane = 0;                // the lane that takes rows of new keys
    size_t m_nRunJobs = 0;                // the jobs it took in this run
    std::vector<std::uint8_t> m_keyLanes; // by key hash: 0 none yet, else the lane + 1
    size_t m_nAdded = 0;                  // rows added so far
    size_t m_nReported = 0;               // rows whose results went out
    // Results by row, from the first row not yet reported (none while waiting).
    std::deque<std::pair<std::optional<ERowResult>, std::string>> m_results;
    // Once a lane's destination failed no lane sends more rows: the table ends.
    bool m_bBroken = false;
    std::string m_sBrokenError;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStop = false;
    std::function<void(ECommitStep)> m_onStep;
};
