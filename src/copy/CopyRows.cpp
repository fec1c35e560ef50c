// The row-level steps of a table copy: reading the source through a cursor,
// matching columns by name and inserting the rows in batches.
#include "copy/CCopyEngine.h"

#include "copy/CBatchInserter.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SqlText.h"

#include <cstring>
#include <deque>

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
    if (!DescribeStatement(connection, sql, columns, error))
        return false;
    return cursor.Open(sql);
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
            text += isString ? "''" : "0";
            continue;
        }
        const int column = static_cast<int>(index);
        const std::string value = sourceRows.GetCell(column, r);
        if (sourceRows.IsCellNull(column, r))
            text += "NULL";
        else if (sourceRows.IsCellBinary(column, r))
            text += HexLiteral(value);
        else if (isString)
            text += "'" + EscapeSqlString(value) + "'";
        else
            text += value.empty() ? "0" : value;
    }
    return text + ");";
}

bool CCopyEngine::InsertRows(CFbConnection& /*source*/, CFbCursor& cursor, CFbConnection& dest,
                             CStringGrid& sourceColumns, CStringGrid& destColumns, const std::string& table,
                             int& failedRecords)
{
    const std::string prefix = BuildInsertPrefix(destColumns, table);
    MapColumns(sourceColumns, destColumns);
    const int destCount = destColumns.ColumnCount();
    const int sourceCount = cursor.ColumnCount();

    std::vector<std::string> destNames;
    std::vector<int> sourceIndex;
    std::vector<bool> destIsString;
    std::vector<bool> needed(static_cast<size_t>(sourceCount), m_bLog);
    for (int i = 0; i < destCount; ++i)
    {
        destNames.push_back(destColumns.GetCell(i, 0));
        destIsString.push_back(destColumns.GetCell(i, 1) == "STRING");
        const int j = static_cast<int>(destColumns.GetCellInt(i, 2));
        sourceIndex.push_back(j);
        if (j >= 0 && NeedsFormattedValue(cursor.Column(j)))
            needed[static_cast<size_t>(j)] = true;
    }

    // What the logs say of each row, kept until the row's result is known.
    struct SRowLog
    {
        std::string insert;
        std::string detail;
        std::string text;
    };
    std::deque<SRowLog> pendingLogs;
    CBatchInserter inserter(dest, table, destNames, [&](bool ok, const std::string& serverMessage) {
        if (!ok)
            ++failedRecords;
        if (!m_bLog)
            return;
        const SRowLog& log = pendingLogs.front();
        WriteSqlLog(log.insert);
        if (!ok)
            WriteSqlFailure(serverMessage);
        WriteLog(ok ? "Successfully inserted" : "ERROR: Failed to add", log.detail);
        WriteTextLog(log.text);
        pendingLogs.pop_front();
    });
    inserter.Prepare();

    std::vector<SColumnValue> values(static_cast<size_t>(sourceCount));
    CStringGrid currentRow;
    int fetch = 1;
    do
    {
        bool readOk = true;
        for (int j = 0; j < sourceCount && readOk; ++j)
        {
            if (needed[static_cast<size_t>(j)] && !cursor.Value(j, EValueForm::Exact, values[static_cast<size_t>(j)]))
                readOk = false;
        }
        if (!readOk)
        {
            fetch = -1;
            break;
        }
        BoundRow row(static_cast<size_t>(destCount));
        for (int i = 0; i < destCount; ++i)
        {
            const int j = sourceIndex[static_cast<size_t>(i)];
            SBoundValue& bound = row[static_cast<size_t>(i)];
            if (j < 0)
            {
                bound.kind = SBoundValue::Bytes;
                bound.bytes = destIsString[static_cast<size_t>(i)] ? "" : "0";
            }
            else
                Bind(cursor.Column(j), values[static_cast<size_t>(j)], bound);
        }
        if (m_bLog)
        {
            currentRow.Clear();
            currentRow.SetSize(sourceCount, 1);
            SRowLog log;
            for (int j = 0; j < sourceCount; ++j)
            {
                const SColumnValue& value = values[static_cast<size_t>(j)];
                currentRow.SetCellMarked(j, 0, value.text, value.marks);
                log.text += (j ? ";" : "") + LogText(value.text, value.marks);
            }
            log.insert = BuildInsert(destColumns, currentRow, prefix, 0);
            log.detail = sourceCount > 1 ? LogText(values[1].text, values[1].marks) : std::string();
            pendingLogs.push_back(std::move(log));
        }
        inserter.Add(std::move(row));
    } while ((fetch = cursor.Fetch()) == 1);
    inserter.Finish();

    if (fetch < 0)
    {
        // The source stopped delivering rows: the copy is incomplete.
        WriteLog("ERROR: Failed to read source rows", "");
        WriteSqlFailure(cursor.LastErrorMessage());
        return false;
    }
    return failedRecords == 0;
}
