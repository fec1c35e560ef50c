// The row-level steps of a table copy: reading the source through a cursor,
// matching columns by name and inserting every row with one prepared INSERT.
#include "copy/CCopyEngine.h"

#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/CFbParamStatement.h"
#include "db/SqlText.h"

#include <cstring>

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

// Binds one source value to parameter i: doubles travel as binary values,
// because the server's text to double conversion is not exact.
void BindValue(CFbParamStatement& insert, int i, const XSQLVAR& column, const SColumnValue& value)
{
    if (value.marks & CStringGrid::MarkNull)
    {
        insert.SetNull(i);
        return;
    }
    const int type = column.sqltype & ~1;
    if (type == SQL_DOUBLE)
    {
        double number;
        std::memcpy(&number, column.sqldata, sizeof number);
        insert.SetDouble(i, number);
    }
    else if (type == SQL_FLOAT)
    {
        float number;
        std::memcpy(&number, column.sqldata, sizeof number);
        insert.SetDouble(i, static_cast<double>(number));
    }
    else
        insert.SetBytes(i, value.text, (value.marks & CStringGrid::MarkBinary) != 0);
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

    std::string parameterSql = "INSERT INTO " + SqlIdentifier(table) + " (";
    for (int i = 0; i < destCount; ++i)
        parameterSql += (i ? "," : "") + SqlIdentifier(destColumns.GetCell(i, 0));
    parameterSql += ") VALUES (";
    for (int i = 0; i < destCount; ++i)
        parameterSql += i ? ",?" : "?";
    parameterSql += ")";

    CFbParamStatement insert(dest);
    const bool prepared = insert.Prepare(parameterSql);
    const std::string prepareError = insert.LastErrorMessage();

    std::vector<int> sourceIndex(static_cast<size_t>(destCount));
    std::vector<bool> needed(static_cast<size_t>(sourceCount), m_bLog);
    for (int i = 0; i < destCount; ++i)
    {
        sourceIndex[static_cast<size_t>(i)] = static_cast<int>(destColumns.GetCellInt(i, 2));
        if (sourceIndex[static_cast<size_t>(i)] >= 0)
            needed[static_cast<size_t>(sourceIndex[static_cast<size_t>(i)])] = true;
    }

    std::vector<SColumnValue> values(static_cast<size_t>(sourceCount));
    CStringGrid currentRow;
    int fetch = 1;
    do
    {
        bool rowOk = true;
        std::string rowError;
        for (int j = 0; j < sourceCount && rowOk; ++j)
        {
            if (needed[static_cast<size_t>(j)] && !cursor.Value(j, EValueForm::Exact, values[static_cast<size_t>(j)]))
            {
                rowOk = false;
                rowError = cursor.LastErrorMessage();
            }
        }
        if (rowOk && prepared)
        {
            for (int i = 0; i < destCount; ++i)
            {
                const int j = sourceIndex[static_cast<size_t>(i)];
                if (j < 0)
                    insert.SetBytes(i, destColumns.GetCell(i, 1) == "STRING" ? "" : "0", false);
                else
                    BindValue(insert, i, cursor.Column(j), values[static_cast<size_t>(j)]);
            }
            rowOk = insert.Execute();
            rowError = insert.LastErrorMessage();
        }
        else if (!prepared)
        {
            rowOk = false;
            rowError = prepareError;
        }
        if (!rowOk)
            ++failedRecords;
        if (m_bLog)
        {
            currentRow.Clear();
            currentRow.SetSize(sourceCount, 1);
            std::string textLine;
            for (int j = 0; j < sourceCount; ++j)
            {
                const SColumnValue& value = values[static_cast<size_t>(j)];
                currentRow.SetCellMarked(j, 0, value.text, value.marks);
                textLine += (j ? ";" : "") + LogText(value.text, value.marks);
            }
            WriteSqlLog(BuildInsert(destColumns, currentRow, prefix, 0));
            if (!rowOk)
                WriteSqlFailure(rowError);
            const std::string detail =
                sourceCount > 1 ? LogText(values[1].text, values[1].marks) : std::string();
            WriteLog(rowOk ? "Successfully inserted" : "ERROR: Failed to add", detail);
            WriteTextLog(textLine);
        }
    } while ((fetch = cursor.Fetch()) == 1);

    if (fetch < 0)
    {
        // The source stopped delivering rows: the copy is incomplete.
        WriteLog("ERROR: Failed to read source rows", "");
        WriteSqlFailure(cursor.LastErrorMessage());
        return false;
    }
    return failedRecords == 0;
}
