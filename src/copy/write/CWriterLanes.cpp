#include "copy/write/CWriterLanes.h"

#include "db/CFbConnection.h"
#include "db/FbStatus.h"
#include "db/PreparedTransactions.h"
#include "db/SqlText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <ibase.h>

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

// The text by which rows of a unique key meet: letter case and trailing
// blanks aside, as a case-insensitive collation or a CHAR would compare.
void AppendKeyValue(std::string& key, const SBoundValue& value)
{
    switch (value.kind)
    {
    case SBoundValue::Null: key += '\x01'; break;
    case SBoundValue::Double: key.append(reinterpret_cast<const char*>(&value.number), sizeof value.number); break;
    default: {
        std::string text = value.bytes;
        if (!value.binary)
        {
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            for (char& c : text)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        key += text;
        break;
    }
    }
    key += '\x02';
}
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
        if (lane.connection.m_bConnected)
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

double CWriterLanes::RoundTripMs(CFbConnection& connection)
{
    if (!connection.m_bConnected || connection.IsInProcess())
        return 0;
    const char items[] = {isc_info_ods_version, isc_info_end};
    double fastest = 1e9;
    for (int i = 0; i < 3; ++i)
    {
        char reply[32] = {};
        ISC_STATUS_ARRAY status{};
        const auto start = std::chrono::steady_clock::now();
        if (isc_database_info(status, connection.DatabaseHandle(), sizeof items, items, sizeof reply, reply) != 0)
            return 0;
        fastest = std::min(fastest,
                           std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return fastest;
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

bool CWriterLanes::Open(std::string& reason)
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
    lock.unlock();
    CFbConnection& probe = m_lanes.front()->connection;
    CStringGrid rows;
    int failure = 0;
    const std::string name = EscapeSqlString(m_sTable);
    probe.Execute("SELECT TRIM(s.rdb$field_name) FROM rdb$indices i JOIN rdb$index_segments s ON s.rdb$index_name ="
                  " i.rdb$index_name WHERE i.rdb$relation_name = '" +
                      name +
                      "' AND i.rdb$unique_flag = 1 AND COALESCE(i.rdb$index_inactive, 0) = 0"
                      " ORDER BY s.rdb$field_position",
                  failure, &rows);
    // Each writer sees only its own rows until the end: a row that must
    // find another row of the table (a foreign key to the table itself, a
    // CHECK that selects) could wait on, or miss, one in another writer.
    CStringGrid guards;
    if (failure == 0)
        probe.Execute("SELECT (SELECT COUNT(*) FROM rdb$indices WHERE rdb$relation_name = '" + name +
                          "' AND rdb$unique_flag = 1 AND COALESCE(rdb$index_inactive, 0) = 0),"
                          " (SELECT COUNT(rdb$expression_blr) FROM rdb$indices WHERE rdb$relation_name = '" +
                          name +
                          "' AND rdb$unique_flag = 1 AND COALESCE(rdb$index_inactive, 0) = 0),"
                          " (SELECT COUNT(*) FROM rdb$relation_constraints fk JOIN rdb$ref_constraints r ON"
                          " r.rdb$constraint_name = fk.rdb$constraint_name JOIN rdb$relation_constraints pk ON"
                          " pk.rdb$constraint_name = r.rdb$const_name_uq WHERE fk.rdb$relation_name = '" +
                          name + "' AND pk.rdb$relation_name = '" + name +
                          "'),"
                          " (SELECT COUNT(*) FROM rdb$relation_constraints c JOIN rdb$check_constraints cc ON"
                          " cc.rdb$constraint_name = c.rdb$constraint_name JOIN rdb$triggers t ON"
                          " t.rdb$trigger_name = cc.rdb$trigger_name WHERE c.rdb$relation_name = '" +
                          name +
                          "' AND c.rdb$constraint_type = 'CHECK' AND t.rdb$trigger_source CONTAINING 'SELECT')"
                          " FROM rdb$database",
                      failure, &guards);
    if (failure != 0 || guards.RowCount() != 1)
    {
        reason = probe.LastErrorMessage();
        return false;
    }
    if (guards.GetCellInt(0, 0) > 1 || guards.GetCellInt(1, 0) > 0)
    {
        reason = "unique keys that could meet across lanes";
        return false;
    }
    if (guards.GetCellInt(2, 0) > 0 || guards.GetCellInt(3, 0) > 0)
    {
        reason = "rows that must find other rows of the table";
        return false;
    }
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        const auto found = std::find(m_columns.begin(), m_columns.end(), rows.GetCell(0, r));
        if (found == m_columns.end())
        {
            reason = "a key column that is not inserted";
            return false;
        }
        m_keyColumns.push_back(static_cast<size_t>(found - m_columns.begin()));
    }
    CStringGrid old;
    probe.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(m_sTable), failure, &old);
    if (failure != 0 || old.RowCount() > 0)
    {
        reason = failure != 0 ? probe.LastErrorMessage() : "committed rows in the table";
        return false;
    }
    m_nBlockRows = m_lanes.front()->inserter->BlockRows();
    if (!m_keyColumns.empty())
        m_keyLanes.assign(KeyBuckets, 0);
    return true;
}

void CWriterLanes::Run(SLane& lane)
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
    if (lane.failed)
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
        SJob& job = *lane.current;
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
        {
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
        m_changed.notify_all();
    }
}

size_t CWriterLanes::LaneOf(const BoundRow& row)
{
    if (m_keyColumns.empty())
        return m_nRunLane;
    std::string key;
    for (size_t column : m_keyColumns)
        AppendKeyValue(key, row[column]);
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

bool CWriterLanes::Prepare(const std::string& mark, std::string& error)
{
    std::mutex failures;
    ForEachLane([&](SLane& lane) {
        if (!lane.connection.m_bConnected || !*lane.connection.TransactionHandle() ||
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
        if (!lane.connection.m_bConnected || lane.connection.Commit())
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
        if (lane.connection.m_bConnected)
            lane.connection.Rollback();
    });
}
