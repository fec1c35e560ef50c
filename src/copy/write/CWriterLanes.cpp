#include "copy/write/CWriterLanes.h"

#include "copy/write/PreparedCommits.h"

#include "db/CFbConnection.h"
#include "db/CFbTransaction.h"
#include "db/ConcurrentInsertQueries.h"
#include "db/PreparedTransactions.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace
{
// Rows go to the lanes in runs of this many blocks. Read in key order,
// each lane's rows then fill a part of the key's index of their own: lanes
// taking turns block by block all insert next to each other, and every
// insert waits for the same index page (through a server, four such lanes
// were no faster than two; in runs, they were 1.3 times as fast).
constexpr size_t RunBlocks = 32;
// Jobs waiting for a lane beyond the one it works on: a whole run, so the
// other lanes get theirs meanwhile, and no more, to bound the memory held.
constexpr size_t QueuedJobs = RunBlocks + 2;
// The most memory one job's rows hold: a job of long texts goes before it
// has a block's count of rows, so that queued runs of them stay within a
// few tens of megabytes even with twelve lanes.
constexpr size_t JobBytes = 96 * 1024;
// The lane that rows of a unique key go to is remembered by a hash of the
// key: 4 MB of lane numbers. Once most buckets are taken, rows spread over
// the lanes by their hash, as equal keys still must.
constexpr size_t KeyBuckets = size_t{1} << 22;
} // namespace

struct CWriterLanes::SLane
{
    explicit SLane(int attempts) : connection(attempts) {}

    CFbConnection connection;
    std::unique_ptr<CBatchInserter> inserter;
    std::shared_ptr<SJob> building; // rows gathered for the next job
    std::deque<std::shared_ptr<SJob>> queue;
    std::shared_ptr<SJob> current;
    std::thread thread;
    bool ready = false;
    bool failed = false;
    std::string error;
};

CWriterLanes::CWriterLanes(const SRunSettings& settings, const std::string& table,
                           const std::vector<std::string>& columns, ResultCallback onResult)
    : m_settings(settings), m_sTable(table), m_columns(columns), m_onResult(std::move(onResult))
{
}

CWriterLanes::~CWriterLanes()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    for (auto& lane : m_lanes)
    {
        if (lane->thread.joinable())
            lane->thread.join();
    }
    // A lane's attachment would commit what is open as it detaches.
    ForEachLane([](SLane& lane) {
        if (lane.connection.IsConnected())
            lane.connection.Rollback();
        lane.connection.Disconnect();
    });
}

void CWriterLanes::ForEachLane(const std::function<void(SLane&)>& work)
{
    // Over a slow network each call is a round trip: the lanes take theirs
    // side by side. Their own threads are idle by now.
    std::vector<std::thread> threads;
    for (auto& lane : m_lanes)
        threads.emplace_back([&work, &lane] { work(*lane); });
    for (std::thread& thread : threads)
        thread.join();
}

int CWriterLanes::LanesFor(double rttMs)
{
    // A block's round trip costs rttMs on top of the server's own work (a
    // millisecond or two for a full block): below a quarter of a
    // millisecond a second writer gains little. Measured through a relay,
    // six writers keep a 1 ms network close to a local one; at 10 ms,
    // twelve were a quarter faster than eight and sixteen no faster again.
    if (rttMs < 0.25)
        return 0;
    return std::clamp(4 + 2 * static_cast<int>(std::ceil(rttMs)), 4, 12);
}

void CWriterLanes::Start(int count)
{
    for (int i = 0; i < count; ++i)
        m_lanes.push_back(std::make_unique<SLane>(m_settings.attempts));
    // Each lane attaches on its own thread: over a slow network the attaches
    // take their round trips side by side, while the table's own writer goes on.
    for (auto& pointer : m_lanes)
    {
        SLane* lane = pointer.get();
        lane->thread = std::thread([this, lane] { Run(*lane); });
    }
}

bool CWriterLanes::WaitForLanes(std::string& reason)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return std::all_of(m_lanes.begin(), m_lanes.end(), [](const auto& lane) { return lane->ready; });
    });
    for (const auto& lane : m_lanes)
    {
        if (lane->failed)
        {
            reason = lane->error;
            return false;
        }
    }
    return true;
}

bool CWriterLanes::Open(std::string& reason)
{
    if (!WaitForLanes(reason))
        return false;
    CFbConnection& probe = m_lanes.front()->connection;
    SConcurrentInsertFacts facts;
    if (!ReadConcurrentInsertFacts(probe, m_sTable, facts))
    {
        reason = probe.LastErrorMessage();
        return false;
    }
    if (facts.uniqueIndexes > 1 || facts.expressionIndexes > 0)
    {
        reason = "unique keys that could meet across lanes";
        return false;
    }
    // Each writer sees only its own rows until the end: a row that must
    // find another row of the table (a foreign key to the table itself, a
    // CHECK that selects) could wait on, or miss, one in another writer.
    if (facts.selfReferences > 0 || facts.selectingChecks > 0)
    {
        reason = "rows that must find other rows of the table";
        return false;
    }
    std::vector<size_t> positions;
    for (const SKeyColumn& column : facts.uniqueKey)
    {
        const auto found = std::find(m_columns.begin(), m_columns.end(), column.name);
        if (found == m_columns.end())
        {
            reason = "a key column that is not inserted";
            return false;
        }
        positions.push_back(static_cast<size_t>(found - m_columns.begin()));
    }
    if (facts.hasRows)
    {
        reason = "committed rows in the table";
        return false;
    }
    m_nBlockRows = m_lanes.front()->inserter->BlockRows();
    m_keys = std::make_unique<CLaneKeys>(facts.uniqueKey, positions);
    if (!m_keys->Empty())
        m_keyLanes.assign(KeyBuckets, 0);
    return true;
}

bool CWriterLanes::Attach(SLane& lane)
{
    const bool attached =
        lane.connection.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database);
    if (attached)
    {
        lane.inserter = std::make_unique<CBatchInserter>(lane.connection, m_sTable, m_columns,
                                                         [&lane](ERowResult result, const std::string& message) {
                                                             lane.current->results.emplace_back(result, message);
                                                         });
        lane.inserter->SetMaxBatchRows(m_settings.maxBatchRows);
        if (!lane.inserter->Prepare())
            lane.error = lane.inserter->PrepareError();
    }
    else
        lane.error = lane.connection.LastErrorMessage();
    {
        std::lock_guard lock(m_mutex);
        lane.failed = !attached || !lane.error.empty();
        lane.ready = true;
    }
    m_changed.notify_all();
    return !lane.failed;
}

void CWriterLanes::Run(SLane& lane)
{
    if (!Attach(lane))
        return;
    while (true)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_bStop || !lane.queue.empty(); });
            if (m_bStop)
                return;
            lane.current = lane.queue.front();
            lane.queue.pop_front();
        }
        m_changed.notify_all();
        Write(lane, *lane.current);
        m_changed.notify_all();
    }
}

void CWriterLanes::Write(SLane& lane, SJob& job)
{
    job.results.reserve(job.rows.size());
    std::string brokenError;
    {
        std::lock_guard lock(m_mutex);
        if (m_bBroken)
            brokenError = m_sBrokenError;
    }
    // After another lane's failure the rows are not sent: the table ends.
    if (!brokenError.empty())
        job.results.assign(job.rows.size(), {ERowResult::Broken, brokenError});
    else
    {
        for (BoundRow& row : job.rows)
            lane.inserter->Add(row);
        lane.inserter->Finish();
    }
    std::lock_guard lock(m_mutex);
    if (lane.inserter->Broken() && !m_bBroken)
    {
        m_bBroken = true;
        m_sBrokenError = lane.inserter->BrokenError();
    }
    for (size_t i = 0; i < job.sequence.size() && i < job.results.size(); ++i)
    {
        auto& slot = m_results[job.sequence[i] - m_nReported];
        slot.first = job.results[i].first;
        slot.second = std::move(job.results[i].second);
    }
    job.done = true;
    lane.current.reset();
}

size_t CWriterLanes::LaneOf(const BoundRow& row)
{
    if (!m_keys || m_keys->Empty())
        return m_nRunLane;
    const std::string key = m_keys->KeyOf(row);
    std::uint8_t& lane = m_keyLanes[std::hash<std::string>{}(key) & (KeyBuckets - 1)];
    if (lane == 0)
        lane = static_cast<std::uint8_t>(m_nRunLane + 1);
    return lane - 1u;
}

void CWriterLanes::Dispatch(size_t index)
{
    SLane& lane = *m_lanes[index];
    if (!lane.building || lane.building->rows.empty())
        return;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return lane.queue.size() < QueuedJobs; });
        lane.queue.push_back(std::move(lane.building));
    }
    m_changed.notify_all();
    lane.building.reset();
}

void CWriterLanes::Add(BoundRow& row)
{
    const size_t index = LaneOf(row);
    SLane& lane = *m_lanes[index];
    if (!lane.building)
        lane.building = std::make_shared<SJob>();
    SJob& job = *lane.building;
    for (const SBoundValue& value : row)
        job.bytes += sizeof value + value.bytes.size();
    job.rows.emplace_back().swap(row);
    job.sequence.push_back(m_nAdded++);
    {
        std::lock_guard lock(m_mutex);
        m_results.emplace_back(std::nullopt, std::string());
    }
    if (job.rows.size() >= m_nBlockRows || job.bytes >= JobBytes)
    {
        Dispatch(index);
        // The run moves on to the next lane after RunBlocks jobs of its own.
        if (index == m_nRunLane && ++m_nRunJobs == RunBlocks)
        {
            m_nRunLane = (m_nRunLane + 1) % m_lanes.size();
            m_nRunJobs = 0;
        }
    }
    Report(false);
}

void CWriterLanes::AddFailed(const std::string& message, EFbFault fault)
{
    {
        std::lock_guard lock(m_mutex);
        if (fault == EFbFault::Table && !m_bBroken)
        {
            m_bBroken = true;
            m_sBrokenError = message;
        }
        m_results.emplace_back(fault == EFbFault::Table ? ERowResult::Broken : ERowResult::Refused, message);
    }
    ++m_nAdded;
    Report(false);
}

void CWriterLanes::Finish()
{
    for (size_t i = 0; i < m_lanes.size(); ++i)
        Dispatch(i);
    Report(true);
}

void CWriterLanes::Report(bool wait)
{
    while (true)
    {
        std::vector<std::pair<std::optional<ERowResult>, std::string>> ready;
        {
            std::unique_lock lock(m_mutex);
            if (wait)
                m_changed.wait(lock, [&] { return m_results.empty() || m_results.front().first; });
            while (!m_results.empty() && m_results.front().first)
            {
                ready.push_back(std::move(m_results.front()));
                m_results.pop_front();
                ++m_nReported;
            }
        }
        for (const auto& [result, message] : ready)
            m_onResult(*result, message);
        if (!wait || ready.empty())
            return;
    }
}

bool CWriterLanes::CommitWith(CFbTransaction& rows, std::string& error, std::string& leftInLimbo)
{
    // Two phases, in the order PreparedCommits.h explains: the table's own
    // transaction is prepared first and commits before the lanes.
    const std::string group = NewCommitGroup();
    if (!rows.Prepare(PreparedMarkText(OwnPreparedMark(group, m_sTable, true))))
    {
        error = rows.Error();
        Rollback();
        rows.Rollback();
        return false;
    }
    // A lane whose answer to its prepare got lost may be in limbo all the
    // same: the main transaction rolls back, and the database, which records
    // that, decides the lanes below.
    const bool lanesPrepared = Prepare(PreparedMarkText(OwnPreparedMark(group, m_sTable, false)), error);
    if (!lanesPrepared)
        rows.Rollback();
    if (lanesPrepared)
        Step(ECommitStep::LanesPrepared);
    const bool mainCommitted = lanesPrepared && rows.Commit();
    if (mainCommitted)
        Step(ECommitStep::MainCommitted);
    if (mainCommitted && Commit(error))
        return true;
    if (lanesPrepared && !mainCommitted)
        error = rows.Error();
    // An answer got lost between the commits: the database decides, read
    // from an attachment of its own once the lanes let go of theirs.
    Abandon();
    std::vector<SResolvedCommit> resolved;
    if (!ResolveOwnGroup(group, resolved, leftInLimbo))
        return false;
    // Nothing left in limbo means every part committed.
    return lanesPrepared && (resolved.empty() || resolved.front().committed);
}

bool CWriterLanes::ResolveOwnGroup(const std::string& group, std::vector<SResolvedCommit>& resolved, std::string& error)
{
    CFbConnection decider(m_settings.attempts);
    const bool ended = decider.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database) &&
                       ResolvePreparedCommits(
                           decider, [&](const SPreparedMark& mark) { return mark.group == group; }, resolved, error);
    if (!ended && error.empty())
        error = decider.LastErrorMessage();
    if (!ended && error.empty())
        error = "the prepared transactions could not be ended";
    return ended;
}

void CWriterLanes::Step(ECommitStep step)
{
    if (m_onStep)
        m_onStep(step);
}

bool CWriterLanes::Prepare(const std::string& mark, std::string& error)
{
    std::mutex failures;
    ForEachLane([&](SLane& lane) {
        if (!lane.connection.IsConnected() || !lane.connection.InTransaction() ||
            PrepareTransaction(lane.connection, mark))
            return;
        std::lock_guard lock(failures);
        if (error.empty())
            error = lane.connection.LastErrorMessage();
    });
    if (error.empty())
        return true;
    Rollback();
    return false;
}

bool CWriterLanes::Commit(std::string& error)
{
    std::mutex failures;
    ForEachLane([&](SLane& lane) {
        if (!lane.connection.IsConnected() || lane.connection.Commit())
            return;
        std::lock_guard lock(failures);
        if (error.empty())
            error = lane.connection.LastErrorMessage();
    });
    return error.empty();
}

void CWriterLanes::Abandon()
{
    ForEachLane([](SLane& lane) {
        lane.connection.ForgetTransaction();
        lane.connection.Disconnect();
    });
}

void CWriterLanes::Rollback()
{
    ForEachLane([](SLane& lane) {
        if (lane.connection.IsConnected())
            lane.connection.Rollback();
    });
}
