// Runs whose tables foreign keys join: emptying children first, filling
// parents first, and setting the keys that close a cycle afterwards.
#include "copy/CCopyEngine.h"

#include "copy/CRunPlan.h"
#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/CFbParamStatement.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <cstdio>

namespace
{
std::string Joined(const std::vector<std::string>& names, const char* separator)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : separator) + name;
    return text;
}
} // namespace

SRunPlan CCopyEngine::PlanTables(const std::vector<std::string>& tables, int mode)
{
    m_bLog = !(mode == 0 || mode == 2);
    std::vector<SForeignKey> keys;
    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb) || !GetForeignKeys(dest, keys))
        keys.clear();
    std::map<std::string, std::vector<SColumnInfo>> columns;
    const NullableColumns nullable = [&](const std::string& table, const std::vector<std::string>& names) {
        auto found = columns.find(table);
        if (found == columns.end())
        {
            std::vector<SColumnInfo> info;
            GetColumnInfo(dest, table, info);
            found = columns.emplace(table, std::move(info)).first;
        }
        for (const std::string& name : names)
        {
            for (const SColumnInfo& column : found->second)
            {
                if (column.name == name && !column.nullable)
                    return false;
            }
        }
        return true;
    };
    return PlanRun(tables, keys, nullable);
}

std::set<std::string> CCopyEngine::BeginReorderedRun(const SRunPlan& plan)
{
    m_emptiedTables.clear();
    m_failedEmptying.clear();
    m_deferredColumns.clear();
    for (const SForeignKey& key : plan.deferred)
        m_deferredColumns[key.childTable].insert(key.childColumns.begin(), key.childColumns.end());
    if (!plan.unbreakable.empty())
    {
        SetTablePrefix(plan.unbreakable.front());
        WriteLog("ERROR: Foreign keys form a cycle that no nullable key can break", Joined(plan.unbreakable, ", "));
    }
    // Old rows may close the same cycles: their deferred keys are cleared
    // first, so that the tables can be emptied at all.
    for (const SForeignKey& key : plan.deferred)
        ClearKeyColumns(key);
    // A table whose source is empty keeps its rows, as its own copy would.
    CFbConnection source(m_nAttempts);
    const bool sourceOpen = source.Connect(m_sSourceUser, m_sSourcePassword, m_sSourceDb);
    for (const std::string& table : plan.emptyOrder)
    {
        if (sourceOpen)
        {
            CStringGrid rows;
            int failure = 0;
            source.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(table), failure, &rows);
            if (failure == 0 && rows.RowCount() == 0)
                continue;
        }
        if (!EmptyTable(table))
            m_failedEmptying.insert(table);
        m_emptiedTables.insert(table);
    }
    return m_failedEmptying;
}

void CCopyEngine::EndReorderedRun()
{
    m_emptiedTables.clear();
    m_failedEmptying.clear();
    m_deferredColumns.clear();
}

void CCopyEngine::ClearKeyColumns(const SForeignKey& key)
{
    SetTablePrefix(key.childTable);
    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
        return;
    std::string sql = "UPDATE " + SqlIdentifier(key.childTable) + " SET ";
    for (size_t c = 0; c < key.childColumns.size(); ++c)
        sql += (c ? "," : "") + SqlIdentifier(key.childColumns[c]) + "=NULL";
    sql += ";";
    int failure = 0;
    dest.Execute(sql, failure);
    WriteSqlLog(sql);
    if (failure != 0)
        WriteSqlFailure(dest.LastErrorMessage());
    dest.Disconnect();
}

bool CCopyEngine::EmptyTable(const std::string& table)
{
    SetTablePrefix(table);
    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
    {
        WriteLog("ERROR: Cannot open destination database", m_sDestDb);
        return false;
    }
    const bool emptied = CleanupTable(dest, table);
    dest.Disconnect();
    return emptied;
}

bool CCopyEngine::ApplyDeferredKey(const SForeignKey& key)
{
    SetTablePrefix(key.childTable);
    CFbConnection source(m_nAttempts);
    CFbConnection dest(m_nAttempts);
    if (!source.Connect(m_sSourceUser, m_sSourcePassword, m_sSourceDb)
        || !dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
    {
        WriteLog("ERROR: Cannot open database", key.name);
        return false;
    }
    std::vector<std::string> primaryKey;
    if (!GetPrimaryKey(dest, key.childTable, primaryKey) || primaryKey.empty())
    {
        WriteLog("ERROR: Foreign key cannot be set without a primary key", key.name);
        return false;
    }
    // The key's values as the source holds them, row by row.
    std::string select = "SELECT ";
    std::string update = "UPDATE " + SqlIdentifier(key.childTable) + " SET ";
    std::string where;
    std::string notNull;
    for (size_t c = 0; c < key.childColumns.size(); ++c)
    {
        select += (c ? "," : "") + SqlIdentifier(key.childColumns[c]);
        update += (c ? "," : "") + SqlIdentifier(key.childColumns[c]) + "=?";
        notNull += (c ? " OR " : "") + SqlIdentifier(key.childColumns[c]) + " IS NOT NULL";
    }
    for (size_t c = 0; c < primaryKey.size(); ++c)
    {
        select += "," + SqlIdentifier(primaryKey[c]);
        where += (c ? " AND " : "") + SqlIdentifier(primaryKey[c]) + "=?";
    }
    select += " FROM " + SqlIdentifier(key.childTable) + " WHERE " + notNull;
    update += " WHERE " + where;

    bool ok = SetTriggersActive(dest, key.childTable, false);
    CFbCursor cursor(source);
    CFbParamStatement statement(dest);
    if (!cursor.Open(select) || !statement.Prepare(update))
    {
        WriteLog("ERROR: Failed to set foreign key", key.name);
        WriteSqlFailure(cursor.LastErrorMessage() + statement.LastErrorMessage());
        SetTriggersActive(dest, key.childTable, true);
        return false;
    }
    int failedRows = 0;
    int fetch = 0;
    SColumnValue value;
    while ((fetch = cursor.Fetch()) == 1)
    {
        std::string literal = update;
        for (int i = 0; i < cursor.ColumnCount(); ++i)
        {
            cursor.Value(i, EValueForm::Exact, value);
            if (value.marks & CStringGrid::MarkNull)
                statement.SetNull(i);
            else
                statement.SetBytes(i, value.text, (value.marks & CStringGrid::MarkBinary) != 0);
            const size_t mark = literal.find('?');
            const std::string text =
                (value.marks & CStringGrid::MarkNull) ? "NULL" : "'" + EscapeSqlString(value.text) + "'";
            literal.replace(mark, 1, text);
        }
        const bool updated = statement.Execute();
        WriteSqlLog(literal + ";");
        if (!updated)
        {
            ++failedRows;
            WriteSqlFailure(statement.LastErrorMessage());
        }
    }
    if (fetch < 0)
    {
        ok = false;
        WriteLog("ERROR: Failed to read source rows", "");
    }
    if (!SetTriggersActive(dest, key.childTable, true))
        ok = false;
    dest.Disconnect();
    if (failedRows != 0)
    {
        ok = false;
        WriteLog("ERROR: Failed to set foreign key", key.name);
        WriteReport(failedRows, key.childTable);
    }
    return ok;
}
