// The row-level steps of a table copy: reading the source through a cursor,
// matching columns by name and inserting the rows in batches.
#include "copy/CCopyEngine.h"

#include "copy/CBatchInserter.h"
#include "copy/CRowLogPipe.h"
#include "copy/CRowQueue.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "core/PathHelpers.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <cstring>
#include <algorithm>
#include <map>
#include <memory>
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

// What one destination column receives.
struct SColumnPlan
{
    std::string name;
    bool isString = false;
    int sourceIndex = -1;
    std::string typeName;
    bool deferred = false;
};

// What the logs say of one row.
struct SLogLines
{
    std::string insert;
    std::string detail;
    std::string text;

    void Swap(SLogLines& other) noexcept
    {
        insert.swap(other.insert);
        detail.swap(other.detail);
        text.swap(other.text);
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
bool ReadRow(CFbCursor& cursor, const std::vector<SColumnPlan>& plan, const std::vector<SColumnValue>& values,
             const std::string& prefix, bool logging, SReadRow& read)
{
    read.row.resize(plan.size());
    SLogLines& lines = read.lines;
    if (logging)
        lines.insert = prefix;
    for (size_t i = 0; i < plan.size(); ++i)
    {
        const int j = plan[i].sourceIndex;
        SBoundValue& bound = read.row[i];
        bound.array.reset(); // the slot may hold an earlier row's array
        if (logging && i > 0)
            lines.insert += ",";
        if (j < 0)
        {
            bound.kind = SBoundValue::Bytes;
            bound.bytes = MissingValue(plan[i].isString, plan[i].typeName, false);
            if (logging)
                lines.insert += MissingValue(plan[i].isString, plan[i].typeName, true);
            continue;
        }
        if (plan[i].deferred)
        {
            bound.kind = SBoundValue::Null;
            if (logging)
                lines.insert += "NULL";
            continue;
        }
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
            AppendLiteral(lines.insert, plan[i].isString, value.text, value.marks);
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

bool CCopyEngine::SelectTable(CFbConnection& connection, CFbCursor& cursor, CStringGrid& columns,
                              const std::string& table, std::string& sql)
{
    if (!connection.m_bConnected)
        return false;
    sql = "SELECT * FROM " + SqlIdentifier(table);
    CStringGrid scratch;
    std::string error;
    if (!DescribeStatement(connection, sql, scratch, error))
        return false;
    const std::string first = scratch.GetCell(0, 0);
    sql = "SELECT * FROM " + SqlIdentifier(table) + " ORDER BY " + SqlIdentifier(first);
    // Through a server every BLOB read costs round trips of its own; small
    // BLOBs come along in the rows as strings instead, and the log shows the
    // statement that ran.
    if (m_sSourceDb != GetLocalDatabasePath(m_sSourceDb))
        sql = SelectWithInlineBlobs(connection, scratch, table, first, sql);
    if (!DescribeStatement(connection, sql, columns, error))
        return false;
    return cursor.Open(sql);
}

std::string CCopyEngine::SelectWithInlineBlobs(CFbConnection& connection, CStringGrid& described,
                                              const std::string& table, const std::string& first,
                                              const std::string& plainSql)
{
    constexpr long MessageBudget = 40000; // bytes of a fetched row given to inline BLOBs
    std::vector<SColumnInfo> info;
    if (!GetColumnInfo(connection, table, info))
        return plainSql;
    std::string lengths;
    std::vector<const SColumnInfo*> blobs;
    for (const SColumnInfo& column : info)
    {
        if (!column.blob || column.dimensions > 0)
            continue;
        // Characters for text (as the cast counts them), bytes otherwise.
        lengths += std::string(blobs.empty() ? "" : ", ") + (column.blobSubType == 1 ? "MAX(CHAR_LENGTH(" : "MAX(OCTET_LENGTH(")
                 + SqlIdentifier(column.name) + "))";
        blobs.push_back(&column);
    }
    if (blobs.empty())
        return plainSql;
    CStringGrid maxima;
    int failure = 0;
    connection.Execute("SELECT " + lengths + " FROM " + SqlIdentifier(table), failure, &maxima);
    if (failure != 0 || maxima.RowCount() != 1)
        return plainSql;
    std::map<std::string, std::string> casts;
    long budget = MessageBudget;
    for (size_t b = 0; b < blobs.size(); ++b)
    {
        const long longest = std::max(1L, maxima.GetCellInt(static_cast<int>(b), 0));
        const bool text = blobs[b]->blobSubType == 1;
        const long bytes = text ? longest * 4 : longest; // UTF-8 takes up to four bytes a character
        if (bytes > budget || longest > 32765 || (text && longest > 8191))
            continue;
        budget -= bytes;
        casts[blobs[b]->name] = "CAST(" + SqlIdentifier(blobs[b]->name) + " AS VARCHAR(" + std::to_string(longest)
                              + ") CHARACTER SET " + (text ? "UTF8" : "OCTETS") + ") AS " + SqlIdentifier(blobs[b]->name);
    }
    if (casts.empty())
        return plainSql;
    std::string list;
    for (int i = 0; i < described.ColumnCount(); ++i)
    {
        const std::string name = described.GetCell(i, 0);
        const auto cast = casts.find(name);
        list += (i ? ", " : "") + (cast != casts.end() ? cast->second : SqlIdentifier(name));
    }
    return "SELECT " + list + " FROM " + SqlIdentifier(table) + " ORDER BY " + SqlIdentifier(first);
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

bool CCopyEngine::InsertRows(CFbConnection& /*source*/, CFbCursor& cursor, CFbConnection& dest,
                             CStringGrid& sourceColumns, CStringGrid& destColumns, const std::string& table,
                             int& failedRecords)
{
    const std::string prefix = BuildInsertPrefix(destColumns, table);
    MapColumns(sourceColumns, destColumns);
    const int sourceCount = cursor.ColumnCount();
    std::vector<SColumnPlan> plan;
    std::vector<std::string> destNames;
    std::vector<bool> needed(static_cast<size_t>(sourceCount), m_bLog);
    const auto deferred = m_deferredColumns.find(table);
    for (int i = 0; i < destColumns.ColumnCount(); ++i)
    {
        SColumnPlan column{destColumns.GetCell(i, 0), destColumns.GetCell(i, 1) == "STRING",
                           static_cast<int>(destColumns.GetCellInt(i, 2)), destColumns.GetCell(i, 3)};
        // A key column that closes a cycle is inserted as NULL and set later.
        if (deferred != m_deferredColumns.end() && deferred->second.count(column.name))
            column.deferred = true;
        if (column.sourceIndex >= 0 && NeedsFormattedValue(cursor.Column(column.sourceIndex)))
            needed[static_cast<size_t>(column.sourceIndex)] = true;
        destNames.push_back(column.name);
        plan.push_back(std::move(column));
    }
    const bool logging = m_bLog;

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
                if (needed[static_cast<size_t>(j)] && !cursor.Value(j, EValueForm::Exact, values[static_cast<size_t>(j)]))
                    fetch = -1;
            }
            if (fetch < 0)
                break;
            if (filled == chunk.size())
                chunk.emplace_back();
            if (!ReadRow(cursor, plan, values, prefix, logging, chunk[filled]))
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
    CRowLogPipe logPipe([this](CRowLogPipe::EFile file, const std::string& text) {
        struct STarget
        {
            CLogWriter& writer;
            const std::string& path;
        };
        // In the order of CRowLogPipe::EFile.
        const STarget targets[] = {{m_logs.run, m_sLogFile}, {m_logs.sql, m_sSqlLogFile}, {m_logs.text, m_sTextLogFile}};
        targets[file].writer.SetPath(targets[file].path);
        targets[file].writer.AppendText(text);
    });
    // The log lines of the rows the inserter holds, in the order it reports
    // them; it reports every row it holds at once, so the list then restarts.
    std::vector<SLogLines> pendingLogs;
    size_t loggedRows = 0;
    size_t heldRows = 0;
    CBatchInserter inserter(dest, table, destNames, [&](bool ok, const std::string& serverMessage) {
        if (!ok)
            ++failedRecords;
        if (!logging)
            return;
        const SLogLines& lines = pendingLogs[loggedRows++];
        std::string& sql = logPipe.Gathered(CRowLogPipe::SqlLog);
        sql.append(lines.insert).append("\r\n");
        if (!ok)
            sql.append(SqlFailureComment(serverMessage)).append("\r\n");
        // A run-log entry ends in CR LF of its own before the line's.
        logPipe.Gathered(CRowLogPipe::RunLog)
            .append(m_sTablePrefix)
            .append(ok ? " Successfully inserted (" : " ERROR: Failed to add (")
            .append(lines.detail)
            .append(")\r\n\r\n");
        logPipe.Gathered(CRowLogPipe::TextLog).append(lines.text).append("\r\n");
        if (loggedRows == heldRows)
            loggedRows = heldRows = 0;
    });
    inserter.Prepare();
    inserter.SetMaxBatchRows(m_nMaxBatchRows);
    std::vector<SReadRow> chunk;
    while (queue.Pop(chunk))
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
    }
    inserter.Finish();
    logPipe.Close();
    if (reader.joinable())
        reader.join();

    const std::string readError = queue.Error();
    if (!readError.empty())
    {
        // The source stopped delivering rows: the copy is incomplete.
        WriteLog("ERROR: Failed to read source rows", "");
        WriteSqlFailure(readError);
        return false;
    }
    return failedRecords == 0;
}
