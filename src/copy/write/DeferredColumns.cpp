#include "copy/write/DeferredColumns.h"

#include "copy/logs/CRunLogs.h"
#include "copy/logs/LogValues.h"
#include "copy/read/CSourceRowReader.h"
#include "copy/run/CAbortSignal.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/CFbParamStatement.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

namespace
{
// The select of the columns' source values with the row's key, and the
// update that sets them by that key.
struct SDeferredStatements
{
    std::string select;
    std::string update;
};

SDeferredStatements DeferredStatements(const SDeferredColumns& entry, const std::vector<std::string>& primaryKey)
{
    SDeferredStatements statements{"SELECT ", "UPDATE " + SqlIdentifier(entry.table) + " SET "};
    std::string where;
    std::string notNull;
    for (size_t c = 0; c < entry.columns.size(); ++c)
    {
        statements.select += (c ? "," : "") + SqlIdentifier(entry.columns[c]);
        statements.update += (c ? "," : "") + SqlIdentifier(entry.columns[c]) + "=?";
        notNull += (c ? " OR " : "") + SqlIdentifier(entry.columns[c]) + " IS NOT NULL";
    }
    for (size_t c = 0; c < primaryKey.size(); ++c)
    {
        statements.select += "," + SqlIdentifier(primaryKey[c]);
        where += (c ? " AND " : "") + SqlIdentifier(primaryKey[c]) + "=?";
    }
    statements.select += " FROM " + SqlIdentifier(entry.table) + " WHERE " + notNull;
    statements.update += " WHERE " + where;
    return statements;
}

// Binds the fetched row to the update; the update as the SQL log shows it.
std::string BindRow(CFbCursor& cursor, CFbParamStatement& statement, const std::string& update)
{
    std::string literal = update;
    SColumnValue value;
    for (int i = 0; i < cursor.ColumnCount(); ++i)
    {
        cursor.Value(i, EValueForm::Exact, value);
        // Numbers, dates and times go as they are, as the rows' inserts
        // send them: the server converts them to the column's type the same
        // way (a DOUBLE into a VARCHAR reads alike on both paths).
        const XSQLVAR& column = cursor.Column(i);
        const int type = column.sqltype & ~1;
        const int paramType = statement.ParamType(i);
        const bool intoText = paramType == SQL_TEXT || paramType == SQL_VARYING || paramType == SQL_BLOB;
        if (value.marks & CStringGrid::MarkNull)
            statement.SetNull(i);
        else if (GoesAsCastText(type, intoText))
            statement.SetBytes(i, CastText(column), false);
        else if (IsPlainValueType(type))
            statement.SetRaw(i, type, column.sqlscale, column.sqlsubtype,
                             std::string(column.sqldata, static_cast<unsigned short>(column.sqllen)));
        else
            statement.SetBytes(i, value.text, (value.marks & CStringGrid::MarkBinary) != 0);
        const size_t mark = literal.find('?');
        // Shown as text, as the statement binds it; a long one abbreviated.
        std::string text;
        AppendLogValue(text, ELogForm::Sql, true, value.text, value.marks & CStringGrid::MarkNull);
        literal.replace(mark, 1, text);
    }
    return literal;
}
} // namespace

bool ClearDeferredColumns(CFbConnection& dest, const SDeferredColumns& entry, CRunLogs& logs)
{
    std::string sql = "UPDATE " + SqlIdentifier(entry.table) + " SET ";
    for (size_t c = 0; c < entry.columns.size(); ++c)
        sql += (c ? "," : "") + SqlIdentifier(entry.columns[c]) + "=NULL";
    sql += ";";
    int failure = 0;
    dest.Execute(sql, failure);
    logs.WriteSqlLog(sql);
    if (failure == 0)
        return true;
    logs.WriteSqlFailure(dest.LastErrorMessage());
    logs.WriteLog("ERROR: Failed to cleanup table!\r\n", logs.TablePrefix());
    logs.WriteLog("ERROR: " + CRunLogs::OneLine(dest.LastErrorMessage()), "");
    return false;
}

EDeferred ApplyDeferredColumns(CFbConnection& source, CFbConnection& dest, const SDeferredColumns& entry,
                               CRunLogs& logs, CAbortSignal& abort)
{
    std::vector<std::string> primaryKey;
    if (!GetPrimaryKey(dest, entry.table, primaryKey) || primaryKey.empty())
    {
        logs.WriteLog("ERROR: Deferred columns cannot be set without a primary key", entry.constraint);
        return EDeferred::Broken;
    }
    // The columns' values as the source holds them, row by row.
    const SDeferredStatements statements = DeferredStatements(entry, primaryKey);
    CFbCursor cursor(source);
    CFbParamStatement statement(dest);
    if (!cursor.Open(statements.select) || !statement.Prepare(statements.update))
    {
        logs.WriteLog("ERROR: Failed to set deferred columns", entry.constraint);
        logs.WriteSqlFailure(cursor.LastErrorMessage() + statement.LastErrorMessage());
        return EDeferred::Broken;
    }
    // An abort cancels the updates as it does the inserts.
    CAbortSignal::CRegistration cancelable(abort, {&dest});
    int failedRows = 0;
    bool destBroke = false;
    int fetch = 0;
    while ((fetch = cursor.Fetch()) == 1)
    {
        const std::string literal = BindRow(cursor, statement, statements.update);
        const bool updated = statement.Execute();
        logs.WriteSqlLog(literal + ";");
        if (!updated)
        {
            ++failedRows;
            logs.WriteSqlFailure(statement.LastErrorMessage());
            // Not the row's fault: no later row would fare better, and none is kept.
            destBroke = statement.LastFault() == EFbFault::Table;
            if (destBroke)
                break;
        }
        if (abort.Raised())
            break;
    }
    cancelable.Release();
    if (fetch < 0)
    {
        logs.WriteLog("ERROR: Failed to read source rows", CRunLogs::OneLine(cursor.LastErrorMessage()));
        return EDeferred::Broken;
    }
    // The group's transaction goes back whole.
    if (destBroke)
    {
        logs.WriteLog("ERROR: Failed to write to the destination", CRunLogs::OneLine(statement.LastErrorMessage()));
        return EDeferred::Broken;
    }
    if (failedRows != 0)
    {
        logs.WriteLog("ERROR: Failed to set deferred columns", entry.constraint);
        logs.WriteReport(failedRows, entry.table);
        return EDeferred::RowsFailed;
    }
    return EDeferred::Set;
}
