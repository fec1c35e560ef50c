#include "copy/run/CProgressMeter.h"

#include <algorithm>

namespace
{
// Below this the speed of a table says little: the first rows include the
// server's start of the cursor and the emptying of the destination.
constexpr double kMinSecondsForSpeed = 0.5;
} // namespace

CProgressMeter::CProgressMeter(std::vector<long long> counts) : m_counts(std::move(counts))
{
    for (size_t i = 0; i < m_counts.size(); ++i)
        m_totalWeight += Weight(i);
}

double CProgressMeter::Weight(size_t position) const
{
    // An empty table still takes its statements; a table of unknown size
    // counts as an average one.
    long long known = 0;
    long long knownTables = 0;
    for (long long count : m_counts)
    {
        if (count >= 0)
        {
            known += count;
            ++knownTables;
        }
    }
    const long long count = m_counts[position];
    if (count >= 0)
        return static_cast<double>(count) + 1;
    return knownTables > 0 ? static_cast<double>(known) / static_cast<double>(knownTables) + 1 : 1;
}

void CProgressMeter::StartTable(size_t position, Clock::time_point now)
{
    m_position = position;
    m_bInTable = position < m_counts.size();
    m_nRows = 0;
    m_tableStart = now;
}

SRowProgress CProgressMeter::Update(long long rows, Clock::time_point now)
{
    SRowProgress progress;
    // Rows that are reported again never take the numbers back.
    m_nRows = std::max(m_nRows, rows);
    progress.rows = m_nRows;
    const long long count = m_position < m_counts.size() ? m_counts[m_position] : -1;
    // A source that grew since it was counted has at least the rows read.
    progress.total = count >= 0 ? std::max(count, m_nRows) : -1;
    const double seconds = std::chrono::duration<double>(now - m_tableStart).count();
    if (seconds >= kMinSecondsForSpeed && m_nRows > 0)
    {
        progress.rowsPerSecond = static_cast<double>(m_nRows) / seconds;
        if (progress.total >= 0)
            progress.secondsLeft =
                static_cast<long long>(static_cast<double>(progress.total - m_nRows) / progress.rowsPerSecond + 0.5);
    }
    if (!m_bInTable)
    {
        progress.runShare = RunShare();
        return progress;
    }
    const double part = progress.total > 0 ? static_cast<double>(m_nRows) / static_cast<double>(progress.total) : 0;
    progress.runShare =
        m_totalWeight > 0 ? std::min(1.0, (m_doneWeight + Weight(m_position) * part) / m_totalWeight) : 0;
    return progress;
}

void CProgressMeter::FinishTable()
{
    if (m_bInTable)
        m_doneWeight += Weight(m_position);
    m_bInTable = false;
}

double CProgressMeter::RunShare() const
{
    return m_totalWeight > 0 ? std::min(1.0, m_doneWeight / m_totalWeight) : 0;
}
