// The row-level steps of a table copy: matching columns by name and
// inserting the rows that the source row reader delivers, in batches.
#include "copy/run/CCopyEngine.h"
#include "copy/write/CTableCopy.h"

#include "copy/write/CBatchInserter.h"
#include "copy/logs/CRowLogPipe.h"
#include "copy/read/CRowQueue.h"
#include "copy/read/CSourceRowReader.h"
#include "copy/logs/CStagedRunLog.h"
#include "copy/write/CWriterLanes.h"
#include "copy/logs/LogValues.h"
#include "copy/plan/TablePlan.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"
#include "db/BlobIo.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/RoundTrip.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace
{
// One value of a literal INSERT, whole, as it must stand in SQL.
void AppendLiteral(std::string& text, bool isString, const std::string& value, std::uint8_t marks)
{
    if (marks & CStringGrid::MarkNull)
        text += "NULL";
    else if (marks & CStringGrid::MarkBinary)
        text += HexLiteral(value);
    else if (isString)
        text += "'" + EscapeSqlString(value) + "'";
    else
        text += value.empty() ? "0" : value;
}

// What a destination column without a source column receives: '' for text,
// 0 for numbers, and FALSE for a BOOLEAN, which takes no number.
std::string MissingValue(bool isString, const std::string& typeName, bool literal)
{
    if (typeName == "BOOLEAN")
        return "FALSE";
    if (isString)
        return literal ? "''" : "";
    return "0";
}

constexpr size_t QueueChunks = 4;

// Rows a table must reach before extra writers start to attach, and
// before they take rows: a small table is done before their attaches would
// pay off, and a larger one goes on meanwhile.
constexpr size_t LaneStartRows = 500;
constexpr size_t LaneThresholdRows = 2000;

bool HoldsWrittenBlob(const BoundRow& row)
{
    return std::any_of(row.begin(), row.end(), [](const SBoundValue& v) { return v.kind == SBoundValue::Blob; });
}

// Writes the long BLOBs whose pieces arrive ahead of their row into new
// BLOBs of the destination, each piece as it comes, and puts them into the
// row. A BLOB that cannot be written fails its row with the server's reason.
class CLongBlobWriter
{
  public:
    CLongBlobWriter(CFbConnection& dest, const CBatchInserter& inserter) : m_dest(dest), m_inserter(inserter) {}

    void Take(SReadRow& piece)
    {
        if (piece.firstPiece)
        {
            Close();
            m_bActive = true;
            m_nColumn = static_cast<size_t>(piece.pieceColumn);
            m_sError.clear();
            m_eFault = EFbFault::None;
            if (!m_inserter.Prepared())
                Fail(m_inserter.PrepareError(), EFbFault::Table);
            else if (!m_writer.Create(m_status, m_dest,
                                      m_inserter.BlobBpb(m_nColumn, piece.pieceBinary)))
                Fail(m_status.Message(), m_status.Fault());
        }
        if (m_bActive && m_sError.empty() && !m_writer.Write(m_status, piece.piece.data(), piece.piece.size()))
            Fail(m_status.Message(), m_status.Fault());
        // Only the pieces on their way hold memory.
        std::string().swap(piece.piece);
    }

    // Puts the BLOBs written for the row into it; false, with the reason and
    // whose fault it is, when one of them could not be written.
    bool Bind(BoundRow& row, std::string& error, EFbFault& fault)
    {
        if (!m_bActive && m_written.empty())
            return true;
        Close();
        bool ok = true;
        for (size_t c = 0; c < row.size(); ++c)
        {
            if (row[c].kind != SBoundValue::Blob)
                continue;
            for (const SWritten& written : m_written)
            {
                if (written.column != c)
                    continue;
                row[c].bytes = written.id;
                if (!written.error.empty() && ok)
                {
                    ok = false;
                    error = written.error;
                    fault = written.fault;
                }
            }
        }
        m_written.clear();
        return ok;
    }

  private:
    struct SWritten
    {
        size_t column = 0;
        std::string id;
        std::string error;
        EFbFault fault = EFbFault::None;
    };

    void Fail(const std::string& error, EFbFault fault)
    {
        m_sError = error;
        m_eFault = fault;
    }

    void Close()
    {
        if (!m_bActive)
            return;
        m_bActive = false;
        SWritten written{m_nColumn, {}, m_sError, m_eFault};
        ISC_QUAD id{};
        if (written.error.empty() && !m_writer.Close(m_status, id))
        {
            written.error = m_status.Message();
            written.fault = m_status.Fault();
        }
        if (written.error.empty())
            written.id.assign(reinterpret_cast<const char*>(&id), sizeof id);
        m_writer.Cancel();
        m_written.push_back(std::move(written));
    }

    CFbConnection& m_dest;
    const CBatchInserter& m_inserter;
    CFbStatus m_status;
    CBlobWriter m_writer;
    bool m_bActive = false;
    size_t m_nColumn = 0;
    std::string m_sError;
    EFbFault m_eFault = EFbFault::None;
    std::vector<SWritten> m_written;
};
} // namespace

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

std::string CCopyEngine::BuildInsertPrefix(CStringGrid& destColumns, const std::string& table)
{
    std::string text = "INSERT INTO " + SqlIdentifier(table) + " (";
    for (int i = 0; i < destColumns.ColumnCount(); ++i)
    {
        if (i > 0)
            text += ",";
        text += SqlIdentifier(destColumns.GetCell(i, 0));
    }
    return text + ") VALUES (";
}

void CCopyEngine::MapColumns(CStringGrid& sourceColumns, CStringGrid& destColumns)
{
    destColumns.AddRows(1);
    for (int i = 0; i < destColumns.ColumnCount(); ++i)
    {
        const std::string name = destColumns.GetCell(i, 0);
        int index = -1;
        if (i < sourceColumns.ColumnCount() && sourceColumns.GetCell(i, 0) == name)
            index = i;
        for (int j = 0; index < 0 && j < sourceColumns.ColumnCount(); ++j)
        {
            if (sourceColumns.GetCell(j, 0) == name)
                index = j;
        }
        destColumns.SetCellInt(i, 2, index);
    }
}

std::string CCopyEngine::BuildInsert(CStringGrid& destColumns, CStringGrid& sourceRows, const std::string& prefix,
                                     int r)
{
    std::string text = prefix;
    for (int i = 0; i < destColumns.ColumnCount(); ++i)
    {
        if (i > 0)
            text += ",";
        const long index = destColumns.GetCellInt(i, 2);
        const bool isString = destColumns.GetCell(i, 1) == "STRING";
        if (index < 0)
        {
            text += MissingValue(isString, destColumns.GetCell(i, 3), true);
            continue;
        }
        const int column = static_cast<int>(index);
        AppendLiteral(text, isString, sourceRows.GetCell(column, r), sourceRows.GetCellMarks(column, r));
    }
    return text + ");";
}

bool CTableCopy::InsertRows(CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows)
{
    CFbConnection& dest = m_dest;
    const STablePlan& tablePlan = m_plan;
    const std::vector<const SColumnPlan*> plan = tablePlan.InsertColumns();
    const std::string& table = tablePlan.table;
    std::vector<std::string> destNames;
    for (const SColumnPlan* column : plan)
        destNames.push_back(column->name);
    const bool logging = m_logs.Logging();
    // Without a code page NONE text reaches a real character set as bytes,
    // and the rows the server refuses for it are explained once per column.
    const bool checkLegacyText = m_settings.sourceCharset.empty();
    std::set<int> explainedLegacyColumns;

    // The source is read on its own thread while this one writes, so reading
    // and writing overlap: in process the two attachments run on two cores,
    // through a server each one's round trips leave time for the other.
    CSourceRowReader rowReader(m_cursor, plan, InsertPrefix(table, destNames), logging, checkLegacyText);
    if (m_nUnmappedColumn >= 0)
        rowReader.RefuseUnmappedBytes(m_nUnmappedColumn, m_unmappedByColumn);
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

    // The row entries go to the files on a thread of their own; only they
    // are written while the rows are inserted.
    // The run log's row entries wait until the rows are committed or rolled
    // back: only then is it known whether a row arrived.
    CRowLogPipe logPipe([this, &stagedRows](CRowLogPipe::EFile file, const std::string& text) {
        if (file == CRowLogPipe::RunLog)
        {
            if (!stagedRows.Store(text))
                m_logs.RunWriter().MarkLost();
            return;
        }
        (file == CRowLogPipe::SqlLog ? m_logs.SqlWriter() : m_logs.TextWriter()).AppendText(text);
    });
    // The log lines of the rows the inserter holds, in the order it reports
    // them: the lines of pendingLogs[loggedRows, heldRows) wait for their rows.
    std::vector<SLogLines> pendingLogs;
    size_t loggedRows = 0;
    size_t heldRows = 0;
    // Rows that went unsent once the destination failed (or an abort cancelled it).
    int brokenRecords = 0;
    CBatchInserter inserter(dest, table, destNames, [&](ERowResult result, const std::string& serverMessage) {
        // From the first failure of the destination on, rows are neither
        // sent nor logged one by one: the table ends and its rows go back.
        if (result == ERowResult::Broken || m_bDestBroke)
        {
            ++failedRecords;
            ++brokenRecords;
            if (!m_bDestBroke)
                m_sDestBroke = serverMessage;
            m_bDestBroke = true;
            return;
        }
        const bool ok = result == ERowResult::Inserted;
        if (!ok)
        {
            ++failedRecords;
            m_logs.NoteServerFailure(serverMessage);
        }
        else
            ++insertedRows;
        if (!logging)
            return;
        const SLogLines& lines = pendingLogs[loggedRows++];
        std::string& sql = logPipe.Gathered(CRowLogPipe::SqlLog);
        sql.append(lines.insert).append("\r\n");
        if (!ok)
            sql.append(CRunLogs::SqlFailureComment(serverMessage)).append("\r\n");
        if (!ok && lines.legacyColumn >= 0 && explainedLegacyColumns.insert(lines.legacyColumn).second)
        {
            const std::string hint = LegacyTextHint(plan[static_cast<size_t>(lines.legacyColumn)]->name);
            sql.append(CRunLogs::SqlFailureComment(hint)).append("\r\n");
            CStagedRunLog::AppendEntry(logPipe.Gathered(CRowLogPipe::RunLog), hint);
        }
        CStagedRunLog::AppendRow(logPipe.Gathered(CRowLogPipe::RunLog), ok, lines.detail);
        logPipe.Gathered(CRowLogPipe::TextLog).append(lines.text).append("\r\n");
        if (loggedRows == heldRows)
            loggedRows = heldRows = 0;
    });
    inserter.Prepare();
    inserter.SetMaxBatchRows(m_settings.maxBatchRows);
    CLongBlobWriter longBlobs(dest, inserter);
    // Over a slow network every block waits a round trip: a large table
    // then gets writers side by side, as many as the round trip asks for
    // (measured once the table is large enough to deserve them).
    // A group's rows go into the group's one transaction, which extra writers cannot share.
    bool mayAddLanes = m_settings.maxBatchRows > 1 && inserter.Prepared() && !dest.IsInProcess() && !m_pGroup;
    size_t rowsSeen = 0;
    std::unique_ptr<CWriterLanes> startedLanes; // attaching, not yet writing
    m_engine.NoteTableWriters(1);

    std::vector<SReadRow> chunk;
    m_engine.NoteRows(0, false);
    std::string rowError;
    // An abort leaves the rows not yet sent: the transaction goes back whole.
    long long& rowsRead = m_engine.TableOutcome().rowsRead;
    EFbFault rowFault = EFbFault::None;
    while (!m_engine.AbortRequested() && !m_bDestBroke && queue.Pop(chunk))
    {
        for (SReadRow& read : chunk)
        {
            if (m_bDestBroke)
                break;
            if (read.IsPiece())
            {
                longBlobs.Take(read);
                continue;
            }
            ++rowsRead; // pieces of long BLOBs travel as items of their own
            if (logging)
            {
                // The lines wait before the row is added: a row sent at once
                // (one with a long BLOB) is reported within Add.
                if (loggedRows > 0)
                {
                    for (size_t k = loggedRows; k < heldRows; ++k)
                        pendingLogs[k - loggedRows].Swap(pendingLogs[k]);
                    heldRows -= loggedRows;
                    loggedRows = 0;
                }
                if (heldRows == pendingLogs.size())
                    pendingLogs.emplace_back();
                pendingLogs[heldRows++].Swap(read.lines);
            }
            if (mayAddLanes)
            {
                ++rowsSeen;
                if (!startedLanes && rowsSeen >= LaneStartRows)
                {
                    const int wantedLanes = CWriterLanes::LanesFor(RoundTripMs(dest));
                    mayAddLanes = wantedLanes > 0;
                    // The lanes attach while the table's own writer goes on.
                    if (mayAddLanes)
                    {
                        startedLanes =
                            std::make_unique<CWriterLanes>(m_settings, table, destNames, inserter.ResultHandler());
                        startedLanes->Start(wantedLanes);
                    }
                }
                if (startedLanes && rowsSeen >= LaneThresholdRows)
                {
                    // The rows gathered so far go first, in the table's own transaction.
                    inserter.Finish();
                    std::string whyNot;
                    if (startedLanes->Open(whyNot))
                    {
                        m_lanes = std::move(startedLanes);
                        m_engine.NoteTableWriters(1 + m_lanes->Count());
                    }
                    startedLanes.reset();
                    mayAddLanes = false;
                }
            }
            // Rows the inserter sends now are reported before this one.
            bool bound = longBlobs.Bind(read.row, rowError, rowFault);
            if (bound && !read.refusal.empty())
            {
                bound = false;
                rowError.swap(read.refusal);
                rowFault = EFbFault::Row;
            }
            if (m_lanes && bound && !HoldsWrittenBlob(read.row))
                m_lanes->Add(read.row);
            else if (m_lanes && !bound)
                m_lanes->AddFailed(rowError, rowFault);
            else
            {
                // A BLOB written ahead belongs to the table's own transaction.
                if (m_lanes)
                    m_lanes->Finish();
                if (bound)
                    inserter.Add(read.row);
                else
                    inserter.AddFailed(rowError, rowFault);
            }
        }
        queue.Recycle(std::move(chunk));
        logPipe.Send();
        m_engine.NoteRows(insertedRows + failedRecords, false);
    }
    const bool aborted = m_engine.AbortRequested();
    if (!aborted && m_lanes)
        m_lanes->Finish();
    if (!aborted)
    {
        inserter.Finish();
        if (queue.Error().empty() && !m_bDestBroke)
            m_engine.NoteRows(insertedRows + failedRecords, true);
    }
    queue.Abandon();
    logPipe.Close();
    if (reader.joinable())
        reader.join();

    const std::string readError = queue.Error();
    // A cancelled statement is the abort's doing, not the destination's.
    if (aborted)
    {
        // The rows the cancel stopped are the user's choice, not failed records.
        failedRecords -= brokenRecords;
        m_bDestBroke = false;
        return false;
    }
    if (m_bDestBroke)
    {
        // Not one row's fault: the table's rows go back, its old rows stay.
        m_engine.TableOutcome().error = CRunLogs::OneLine(m_sDestBroke);
        m_logs.WriteLog("ERROR: Failed to write to the destination", CRunLogs::OneLine(m_sDestBroke));
        m_logs.WriteSqlFailure(m_sDestBroke);
        return false;
    }
    if (!readError.empty())
    {
        // The source stopped delivering rows: the copy is incomplete.
        m_bSourceBroke = true;
        m_logs.WriteLog("ERROR: Failed to read source rows", CRunLogs::OneLine(readError));
        m_logs.WriteSqlFailure(readError);
        return false;
    }
    return failedRecords == 0;
}
