// The row-level steps of a table copy: reading the source through a cursor,
// matching columns by name and inserting the rows in batches.
#include "copy/CCopyEngine.h"
#include "copy/CTableCopy.h"

#include "copy/CBatchInserter.h"
#include "copy/CRowLogPipe.h"
#include "copy/CRowQueue.h"
#include "copy/CStagedRunLog.h"
#include "copy/TablePlan.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
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
std::string HexLiteral(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "x'";
    for (unsigned char c : bytes)
    {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text + "'";
}

// A value as the run log and the data text log show it.
std::string LogText(const std::string& text, std::uint8_t marks)
{
    return (marks & CStringGrid::MarkBinary) ? HexLiteral(text) : text;
}

// One value of a literal INSERT as the SQL log shows it.
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

// What the logs say of one row.
struct SLogLines
{
    std::string insert;
    std::string detail;
    std::string text;
    // The first inserted column holding NONE text that is not UTF-8, or -1.
    int legacyColumn = -1;

    void Swap(SLogLines& other) noexcept
    {
        insert.swap(other.insert);
        detail.swap(other.detail);
        text.swap(other.text);
        std::swap(legacyColumn, other.legacyColumn);
    }
};

// A source row ready for the destination. Rows are refilled in place, so
// their buffers circulate between the reader and the writer instead of being
// allocated on one thread and freed on the other for every row.
struct SReadRow
{
    BoundRow row;
    SLogLines lines;
};

constexpr size_t ChunkRows = 256;
constexpr size_t QueueChunks = 4;

// Source types whose fetched data is bound as it is: the server converts
// numbers, dates, times and UTF-8 text to the destination's types exactly,
// with no text form in between.
bool BindsRaw(int type)
{
    switch (type)
    {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_BOOLEAN:
    case SQL_VARYING: return true;
    default: return false;
    }
}

// True when the bound value needs the formatted value of the column.
bool NeedsFormattedValue(const XSQLVAR& column)
{
    return !BindsRaw(column.sqltype & ~1);
}

void Bind(const XSQLVAR& column, const SColumnValue& value, SBoundValue& bound)
{
    const bool isNull = (column.sqltype & 1) != 0 && column.sqlind && *column.sqlind < 0;
    if (isNull)
    {
        bound.kind = SBoundValue::Null;
        return;
    }
    const int type = column.sqltype & ~1;
    if (BindsRaw(type))
    {
        bound.kind = SBoundValue::Raw;
        bound.sqlType = static_cast<short>(type);
        bound.scale = column.sqlscale;
        bound.subType = column.sqlsubtype;
        size_t length = static_cast<unsigned short>(column.sqllen);
        if (type == SQL_VARYING)
        {
            unsigned short characters = 0;
            std::memcpy(&characters, column.sqldata, 2);
            length = 2 + characters;
        }
        bound.bytes.assign(column.sqldata, length);
        return;
    }
    bound.kind = SBoundValue::Bytes;
    bound.bytes = value.text;
    bound.binary = (value.marks & CStringGrid::MarkBinary) != 0;
}
// Binds the current source row for the destination and, with logging on,
// prepares what the logs say of it.
bool ReadRow(CFbCursor& cursor, const std::vector<const SColumnPlan*>& plan, const std::vector<SColumnValue>& values,
             const std::string& prefix, bool logging, bool checkLegacyText, SReadRow& read)
{
    read.row.resize(plan.size());
    SLogLines& lines = read.lines;
    if (logging)
    {
        lines.insert = prefix;
        lines.legacyColumn = -1;
    }
    for (size_t i = 0; i < plan.size(); ++i)
    {
        const SColumnPlan& column = *plan[i];
        SBoundValue& bound = read.row[i];
        bound.array.reset(); // the slot may hold an earlier row's array
        if (logging && i > 0)
            lines.insert += ",";
        switch (column.value)
        {
        case EColumnValue::Filler:
            bound.kind = SBoundValue::Bytes;
            bound.bytes = column.filler;
            bound.binary = false;
            if (logging)
                lines.insert += column.fillerLiteral;
            continue;
        case EColumnValue::Null:
        case EColumnValue::Deferred:
            // A deferred column is set once the tables it waits for are filled.
            bound.kind = SBoundValue::Null;
            if (logging)
                lines.insert += "NULL";
            continue;
        default: break;
        }
        const int j = column.sourceIndex;
        const SColumnValue& value = values[static_cast<size_t>(j)];
        Bind(cursor.Column(j), value, bound);
        if (bound.kind == SBoundValue::Bytes && (cursor.Column(j).sqltype & ~1) == SQL_ARRAY)
        {
            // An array's elements are read from the source and written as a
            // new array of the destination column.
            auto slice = std::make_shared<SArraySlice>();
            if (!cursor.ReadArrayValue(j, *slice))
                return false;
            bound.kind = SBoundValue::Array;
            bound.array = std::move(slice);
        }
        if (logging)
        {
            AppendLiteral(lines.insert, column.isString, value.text, value.marks);
            if (checkLegacyText && column.legacyText && lines.legacyColumn < 0 && !IsValidUtf8(value.text))
                lines.legacyColumn = static_cast<int>(i);
        }
    }
    if (logging)
    {
        lines.insert += ");";
        lines.text.clear();
        for (size_t j = 0; j < values.size(); ++j)
        {
            if (j)
                lines.text += ';';
            lines.text += LogText(values[j].text, values[j].marks);
        }
        if (values.size() > 1)
            lines.detail = LogText(values[1].text, values[1].marks);
        else
            lines.detail.clear();
    }
    return true;
}
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
    CFbCursor& cursor = m_cursor;
    CFbConnection& dest = m_dest;
    const STablePlan& tablePlan = m_plan;
    const std::vector<const SColumnPlan*> plan = tablePlan.InsertColumns();
    const std::string& table = tablePlan.table;
    std::vector<std::string> destNames;
    for (const SColumnPlan* column : plan)
        destNames.push_back(column->name);
    const std::string prefix = InsertPrefix(table, destNames);
    const int sourceCount = cursor.ColumnCount();
    std::vector<bool> needed(static_cast<size_t>(sourceCount), m_logs.Logging());
    for (const SColumnPlan* column : plan)
    {
        if (column->value == EColumnValue::Source && NeedsFormattedValue(cursor.Column(column->sourceIndex)))
            needed[static_cast<size_t>(column->sourceIndex)] = true;
    }
    // Without a code page NONE text reaches a real character set as bytes,
    // and the rows the server refuses for it are explained once per column.
    const bool checkLegacyText = m_settings.sourceCharset.empty();
    std::set<int> explainedLegacyColumns;
    const bool logging = m_logs.Logging();

    // Reads up to one chunk of rows (the current row first); false at the end
    // of the rows or on a read error (readError then says why).
    int fetch = 1;
    std::vector<SColumnValue> values(static_cast<size_t>(sourceCount));
    auto readChunk = [&](std::vector<SReadRow>& chunk, std::string& readError) {
        size_t filled = 0;
        while (fetch == 1 && filled < ChunkRows)
        {
            for (int j = 0; j < sourceCount && fetch == 1; ++j)
            {
                if (needed[static_cast<size_t>(j)] &&
                    !cursor.Value(j, EValueForm::Exact, values[static_cast<size_t>(j)]))
                    fetch = -1;
            }
            if (fetch < 0)
                break;
            if (filled == chunk.size())
                chunk.emplace_back();
            if (!ReadRow(cursor, plan, values, prefix, logging, checkLegacyText, chunk[filled]))
            {
                fetch = -1;
                break;
            }
            ++filled;
            fetch = cursor.Fetch();
        }
        chunk.resize(filled);
        if (fetch < 0)
            readError = cursor.LastErrorMessage() + "\n";
        return filled > 0;
    };

    // The source is read on its own thread while this one writes, so reading
    // and writing overlap: in process the two attachments run on two cores,
    // through a server each one's round trips leave time for the other.
    CRowQueue<SReadRow> queue(QueueChunks);
    std::thread reader([&] {
        std::vector<SReadRow> chunk;
        std::string readError;
        while (!queue.Abandoned())
        {
            queue.TakeSpare(chunk);
            if (!readChunk(chunk, readError))
                break;
            queue.Push(std::move(chunk));
        }
        queue.Finish(readError);
    });
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
    // them; it reports every row it holds at once, so the list then restarts.
    std::vector<SLogLines> pendingLogs;
    size_t loggedRows = 0;
    size_t heldRows = 0;
    CBatchInserter inserter(dest, table, destNames, [&](bool ok, const std::string& serverMessage) {
        if (!ok)
            ++failedRecords;
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
    std::vector<SReadRow> chunk;
    m_engine.NoteRows(0, false);
    // An abort leaves the rows not yet sent: the transaction goes back whole.
    while (!m_engine.AbortRequested() && queue.Pop(chunk))
    {
        for (SReadRow& read : chunk)
        {
            // Rows the inserter sends now are reported before this one is held.
            inserter.Add(read.row);
            if (logging)
            {
                if (heldRows == pendingLogs.size())
                    pendingLogs.emplace_back();
                pendingLogs[heldRows++].Swap(read.lines);
            }
        }
        queue.Recycle(std::move(chunk));
        logPipe.Send();
        m_engine.NoteRows(insertedRows + failedRecords, false);
    }
    const bool aborted = m_engine.AbortRequested();
    if (!aborted)
    {
        inserter.Finish();
        if (queue.Error().empty())
            m_engine.NoteRows(insertedRows + failedRecords, true);
    }
    queue.Abandon();
    logPipe.Close();
    if (reader.joinable())
        reader.join();

    const std::string readError = queue.Error();
    if (aborted)
        return false;
    if (!readError.empty())
    {
        // The source stopped delivering rows: the copy is incomplete.
        m_logs.WriteLog("ERROR: Failed to read source rows", "");
        m_logs.WriteSqlFailure(readError);
        return false;
    }
    return failedRecords == 0;
}
