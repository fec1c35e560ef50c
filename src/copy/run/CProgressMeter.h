#pragma once

#include <chrono>
#include <vector>

// Where a run stands within its tables: rows done of the table in progress,
// its speed and the time it still needs, and the share of the whole run,
// each table weighted by its source row count.
struct SRowProgress
{
    long long rows = 0;         // rows of the table in progress that went through
    long long total = -1;       // its source rows; -1 when not known
    double rowsPerSecond = 0;   // 0 until enough time has passed to tell
    long long secondsLeft = -1; // -1 when not known
    double runShare = 0;        // 0 to 1, the part of the run done
};

// Computes SRowProgress from the rows a copy reports. Times are passed in,
// so the arithmetic does not depend on the clock.
class CProgressMeter
{
  public:
    using Clock = std::chrono::steady_clock;

    // The source row counts of the run's tables in the order they run
    // (-1 where not known).
    explicit CProgressMeter(std::vector<long long> counts);

    // The table at position starts; its rows begin to count at now.
    void StartTable(size_t position, Clock::time_point now);
    // rows of the table in progress have gone through at now.
    SRowProgress Update(long long rows, Clock::time_point now);
    // The table in progress has ended, whatever it did.
    void FinishTable();
    // The run's share done between tables.
    double RunShare() const;

  private:
    double Weight(size_t position) const;

    std::vector<long long> m_counts;
    double m_totalWeight = 0;
    double m_doneWeight = 0;
    size_t m_position = 0;
    bool m_bInTable = false;
    long long m_nRows = 0;
    Clock::time_point m_tableStart;
};
