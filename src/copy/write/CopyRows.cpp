// The row-level steps of a table copy: the rows that the source row reader
// delivers go to a row sink (one writer, or writer lanes beside it), and
// their log lines wait until each row's result is known.
#include "copy/logs/CRunLogs.h"
#include "copy/run/CRunSession.h"
#include "copy/write/CTableCopy.h"

#include "copy/logs/CRowLogPipe.h"
#include "copy/logs/CStagedRunLog.h"
#include "copy/read/CRowQueue.h"
#include "copy/read/CSourceRowReader.h"
#include "copy/write/CBatchInserter.h"
#include "copy/write/CWriterLanes.h"
#include "copy/write/LongBlobWriter.h"
#include "copy/write/RowSink.h"
#include "db/CFbConnection.h"
#include "db/RoundTrip.h"
#include "db/SqlText.h"

#include <memory>
#include <set>
#include <thread>

namespace
{
constexpr size_t QueueChunks = 4;

// Rows a table must reach before extra writers start to attach, and
// before they take rows: a small table is done before their attaches would
// pay off, and a larger one goes on meanwhile.
constexpr size_t LaneStartRows = 500;
constexpr size_t LaneThresholdRows = 2000;

// The log lines of the rows a writer holds, in the order it reports them:
// the lines of [m_nLogged, m_nHeld) wait for their rows' results.
std::vector<std::string> NamesOf(const std::vector<const SColumnPlan*>& plan)
{
    std::vector<std::string> names;
    for (const SColumnPlan* column : plan)
        names.push_back(column->name);
    return names;
}

class CPendingLogs
{
  public:
    // Keeps a row's lines (taking them over) until its result comes.
    void Hold(SLogLines& lines)
    {
        if (m_nLogged > 0)
        {
            for (size_t k = m_nLogged; k < m_nHeld; ++k)
                m_lines[k - m_nLogged].Swap(m_lines[k]);
            m_nHeld -= m_nLogged;
            m_nLogged = 0;
        }
        if (m_nHeld == m_lines.size())
            m_lines.emplace_back();
        m_lines[m_nHeld++].Swap(lines);
    }
    // The lines of the row whose result came; valid until the next Hold.
    const SLogLines& Next()
    {
        const SLogLines& lines = m_lines[m_nLogged++];
        if (m_nLogged == m_nHeld)
            m_nLogged = m_nHeld = 0;
        return lines;
    }

  private:
    std::vector<SLogLines> m_lines;
    size_t m_nLogged = 0;
    size_t m_nHeld = 0;
};

// Over a slow network every block waits a round trip: a large table then
// gets writers side by side, as many as the round trip asks for, measured
// once the table is large enough to deserve them. They attach while the
// table's own writer goes on.
class CLaneStartUp
{
  public:
    // Whether the table may get lanes at all.
    void Allow(bool mayAdd) { m_bMayAdd = mayAdd; }

    // Counts a row; gives the lanes once they may take rows, else null.
    std::unique_ptr<CWriterLanes> Row(CFbConnection& dest, const SRunSettings& settings, const std::string& table,
                                      const std::vector<std::string>& columns, CBatchInserter& inserter)
    {
        if (!m_bMayAdd)
            return nullptr;
        ++m_nRows;
        if (!m_started && m_nRows >= LaneStartRows)
        {
            const int wanted = CWriterLanes::LanesFor(RoundTripMs(dest));
            m_bMayAdd = wanted > 0;
            if (m_bMayAdd)
            {
                m_started = std::make_unique<CWriterLanes>(settings, table, columns, inserter.ResultHandler());
                m_started->Start(wanted);
            }
        }
        if (!m_started || m_nRows < LaneThresholdRows)
            return nullptr;
        m_bMayAdd = false;
        // The rows gathered so far go first, in the table's own transaction.
        inserter.Finish();
        std::string whyNot;
        if (!m_started->Open(whyNot))
            m_started.reset();
        return std::move(m_started);
    }

  private:
    bool m_bMayAdd = false;
    size_t m_nRows = 0;
    std::unique_ptr<CWriterLanes> m_started; // attaching, not yet writing
};
} // namespace

// One InsertRows: reads the rows on a thread of their own, hands them to
// the sink and logs each row once its result is known.
class CRowWriting
{
  public:
    CRowWriting(CTableCopy& copy, CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows);
    bool Run();

  private:
    void OnResult(ERowResult result, const std::string& serverMessage);
    void LogRow(bool ok, const std::string& serverMessage);
    void WriteLogFile(CRowLogPipe::EFile file, const std::string& text);
    // One item the reader delivered: a row, or a piece of a long BLOB.
    void Take(SReadRow& read);
    void Pump(CRowQueue<SReadRow>& queue);
    bool Outcome(bool aborted, const std::string& readError);

    CTableCopy& m_copy;
    CStagedRunLog& m_stagedRows;
    int& m_nFailedRecords;
    int& m_nInsertedRows;
    const std::vector<const SColumnPlan*> m_plan;
    const std::vector<std::string> m_destNames;
    const bool m_bLogging;
    // Without a code page NONE text reaches a real character set as bytes,
    // and the rows the server refuses for it are explained once per column.
    std::set<int> m_explainedLegacyColumns;
    // The row entries go to the files on a thread of their own; only they
    // are written while the rows are inserted. The run log's row entries
    // wait until the rows are committed or rolled back: only then is it
    // known whether a row arrived.
    CRowLogPipe m_logPipe;
    CPendingLogs m_pending;
    // Rows that went unsent once the destination failed (or an abort cancelled it).
    int m_nBrokenRecords = 0;
    CBatchInserter m_inserter;
    CLongBlobWriter m_longBlobs;
    CLaneStartUp m_laneStartUp;
    COneWriterSink m_oneWriter;
    std::unique_ptr<CLanesSink> m_lanesSink;
    CRowSink* m_pSink;
    std::string m_sRowError;
    EFbFault m_eRowFault = EFbFault::None;
};

CRowWriting::CRowWriting(CTableCopy& copy, CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows)
    : m_copy(copy), m_stagedRows(stagedRows), m_nFailedRecords(failedRecords), m_nInsertedRows(insertedRows),
      m_plan(copy.m_plan.InsertColumns()), m_destNames(NamesOf(m_plan)), m_bLogging(copy.m_logs.Logging()),
      m_logPipe([this](CRowLogPipe::EFile file, const std::string& text) { WriteLogFile(file, text); }),
      m_inserter(copy.m_dest, copy.m_plan.table, m_destNames,
                 [this](ERowResult result, const std::string& message) { OnResult(result, message); }),
      m_longBlobs(copy.m_dest, m_inserter), m_oneWriter(m_inserter), m_pSink(&m_oneWriter)
{
}

void CRowWriting::WriteLogFile(CRowLogPipe::EFile file, const std::string& text)
{
    CRunLogs& logs = m_copy.m_logs;
    if (file == CRowLogPipe::RunLog)
    {
        if (!m_stagedRows.Store(text))
            logs.RunWriter().MarkLost();
        return;
    }
    (file == CRowLogPipe::SqlLog ? logs.SqlWriter() : logs.TextWriter()).AppendText(text);
}

void CRowWriting::OnResult(ERowResult result, const std::string& serverMessage)
{
    // From the first failure of the destination on, rows are neither
    // sent nor logged one by one: the table ends and its rows go back.
    if (result == ERowResult::Broken || m_copy.m_bDestBroke)
    {
        ++m_nFailedRecords;
        ++m_nBrokenRecords;
        if (!m_copy.m_bDestBroke)
            m_copy.m_sDestBroke = serverMessage;
        m_copy.m_bDestBroke = true;
        return;
    }
    const bool ok = result == ERowResult::Inserted;
    if (!ok)
    {
        ++m_nFailedRecords;
        m_copy.m_logs.NoteServerFailure(serverMessage);
    }
    else
        ++m_nInsertedRows;
    if (m_bLogging)
        LogRow(ok, serverMessage);
}

void CRowWriting::LogRow(bool ok, const std::string& serverMessage)
{
    const SLogLines& lines = m_pending.Next();
    std::string& sql = m_logPipe.Gathered(CRowLogPipe::SqlLog);
    sql.append(lines.insert).append("\r\n");
    if (!ok)
        sql.append(CRunLogs::SqlFailureComment(serverMessage)).append("\r\n");
    if (!ok && lines.legacyColumn >= 0 && m_explainedLegacyColumns.insert(lines.legacyColumn).second)
    {
        const std::string hint = CTableCopy::LegacyTextHint(m_plan[static_cast<size_t>(lines.legacyColumn)]->name);
        sql.append(CRunLogs::SqlFailureComment(hint)).append("\r\n");
        CStagedRunLog::AppendEntry(m_logPipe.Gathered(CRowLogPipe::RunLog), hint);
    }
    CStagedRunLog::AppendRow(m_logPipe.Gathered(CRowLogPipe::RunLog), ok, lines.detail);
    m_logPipe.Gathered(CRowLogPipe::TextLog).append(lines.text).append("\r\n");
}

void CRowWriting::Take(SReadRow& read)
{
    if (read.IsPiece())
    {
        m_longBlobs.Take(read);
        return;
    }
    ++m_copy.m_outcome.rowsRead; // pieces of long BLOBs travel as items of their own
    // The lines wait before the row is added: a row sent at once (one with
    // a long BLOB) is reported within Add.
    if (m_bLogging)
        m_pending.Hold(read.lines);
    if (auto lanes = m_laneStartUp.Row(m_copy.m_dest, m_copy.m_settings, m_copy.m_plan.table, m_destNames, m_inserter))
    {
        m_copy.m_lanes = std::move(lanes);
        m_copy.NoteWriters(1 + m_copy.m_lanes->Count());
        m_lanesSink = std::make_unique<CLanesSink>(m_inserter, *m_copy.m_lanes);
        m_pSink = m_lanesSink.get();
    }
    // Rows the inserter sends now are reported before this one.
    bool bound = m_longBlobs.Bind(read.row, m_sRowError, m_eRowFault);
    if (bound && !read.refusal.empty())
    {
        bound = false;
        m_sRowError.swap(read.refusal);
        m_eRowFault = EFbFault::Row;
    }
    if (bound)
        m_pSink->Add(read.row);
    else
        m_pSink->AddFailed(m_sRowError, m_eRowFault);
}

void CRowWriting::Pump(CRowQueue<SReadRow>& queue)
{
    CRunSession& run = m_copy.m_run;
    std::vector<SReadRow> chunk;
    // An abort leaves the rows not yet sent: the transaction goes back whole.
    while (!run.AbortRequested() && !m_copy.m_bDestBroke && queue.Pop(chunk))
    {
        for (SReadRow& read : chunk)
        {
            if (m_copy.m_bDestBroke)
                break;
            Take(read);
        }
        queue.Recycle(std::move(chunk));
        m_logPipe.Send();
        run.NoteRows(m_nInsertedRows + m_nFailedRecords, false);
    }
}

bool CRowWriting::Run()
{
    CRunSession& run = m_copy.m_run;
    // The source is read on its own thread while this one writes, so reading
    // and writing overlap: in process the two attachments run on two cores,
    // through a server each one's round trips leave time for the other.
    CSourceRowReader rowReader(m_copy.m_cursor, m_plan, CTableCopy::InsertPrefix(m_copy.m_plan.table, m_destNames),
                               m_bLogging, m_copy.m_settings.sourceCharset.empty());
    if (m_copy.m_nUnmappedColumn >= 0)
        rowReader.RefuseUnmappedBytes(m_copy.m_nUnmappedColumn, m_copy.m_unmappedByColumn);
    CRowQueue<SReadRow> queue(QueueChunks);
    std::thread reader([&] { rowReader.Run(queue); });
    // Whatever way this function is left, the reader is released and joined.
    struct SJoinReader
    {
        CRowQueue<SReadRow>& queue;
        std::thread& thread;
        ~SJoinReader()
        {
            queue.Abandon();
            if (thread.joinable())
                thread.join();
        }
    } joinReader{queue, reader};
    m_inserter.Prepare();
    m_inserter.SetMaxBatchRows(m_copy.m_settings.maxBatchRows);
    const SRunSettings& settings = m_copy.m_settings;
    // A group's rows go into the group's one transaction, which extra writers cannot share.
    m_laneStartUp.Allow(settings.maxBatchRows > 1 && m_inserter.Prepared() && !m_copy.m_dest.IsInProcess() &&
                        !m_copy.m_pGroup);
    m_copy.NoteWriters(1);
    run.NoteRows(0, false);
    Pump(queue);
    const bool aborted = run.AbortRequested();
    if (!aborted)
    {
        m_pSink->Finish();
        if (queue.Error().empty() && !m_copy.m_bDestBroke)
            run.NoteRows(m_nInsertedRows + m_nFailedRecords, true);
    }
    queue.Abandon();
    m_logPipe.Close();
    if (reader.joinable())
        reader.join();
    return Outcome(aborted, queue.Error());
}

bool CRowWriting::Outcome(bool aborted, const std::string& readError)
{
    CRunLogs& logs = m_copy.m_logs;
    // A cancelled statement is the abort's doing, not the destination's.
    if (aborted)
    {
        // The rows the cancel stopped are the user's choice, not failed records.
        m_nFailedRecords -= m_nBrokenRecords;
        m_copy.m_bDestBroke = false;
        return false;
    }
    if (m_copy.m_bDestBroke)
    {
        // Not one row's fault: the table's rows go back, its old rows stay.
        m_copy.m_outcome.error = CRunLogs::OneLine(m_copy.m_sDestBroke);
        logs.WriteLog("ERROR: Failed to write to the destination", CRunLogs::OneLine(m_copy.m_sDestBroke));
        logs.WriteSqlFailure(m_copy.m_sDestBroke);
        return false;
    }
    if (!readError.empty())
    {
        // The source stopped delivering rows: the copy is incomplete.
        m_copy.m_bSourceBroke = true;
        logs.WriteLog("ERROR: Failed to read source rows", CRunLogs::OneLine(readError));
        logs.WriteSqlFailure(readError);
        return false;
    }
    return m_nFailedRecords == 0;
}

std::string CTableCopy::InsertPrefix(const std::string& table, const std::vector<std::string>& columns)
{
    std::string text = "INSERT INTO " + SqlIdentifier(table) + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        text += (i ? "," : "") + SqlIdentifier(columns[i]);
    return text + ") VALUES (";
}

std::string CTableCopy::LegacyTextHint(const std::string& column)
{
    return "ERROR: Column " + column +
           " holds CHARACTER SET NONE text that is not UTF-8: name its code page as the "
           "source code page (Options, or --source-charset NAME)";
}

bool CTableCopy::InsertRows(CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows)
{
    CRowWriting writing(*this, stagedRows, failedRecords, insertedRows);
    return writing.Run();
}
