// The steps around the inserts: emptying the destination table, switching
// its triggers and setting the generators its triggers use.
#include "copy/CCopyEngine.h"

#include "db/CFbConnection.h"
#include "db/SqlText.h"

bool CCopyEngine::CleanupTable(CFbConnection& connection, const std::string& table)
{
    if (!connection.m_bConnected)
        return false;
    if (table.empty())
        return true;
    const std::string sql = "DELETE FROM " + SqlIdentifier(table) + ";";
    int failure = 0;
    connection.Execute(sql, failure);
    const std::string reason = connection.LastErrorMessage();
    if (failure != 0)
    {
        WriteLog("ERROR: Failed to cleanup table!\r\n", m_sTablePrefix);
        // Rows of other tables may still reference this one: say which key.
        WriteLog("ERROR: " + OneLine(reason), "");
    }
    WriteSqlLog(sql);
    if (failure != 0)
        WriteSqlFailure(reason);
    return failure == 0;
}

bool CCopyEngine::SetTriggersActive(CFbConnection& connection, const std::string& table, bool active)
{
    if (!connection.m_bConnected)
        return false;
    CStringGrid listed;
    connection.GetTableTriggers(table, listed);
    // Only user triggers are switched: the server's own triggers (those of
    // CHECK constraints) refuse ALTER TRIGGER and keep enforcing the constraint.
    CStringGrid triggers;
    triggers.SetSize(1, 0);
    for (int row = 0; row < listed.RowCount(); ++row)
    {
        if (listed.GetCellInt(1, row) != 0)
            continue;
        triggers.SetCell(0, triggers.RowCount(), listed.GetCell(0, row));
        triggers.AddRows(1);
    }
    if (!active)
    {
        // Recorded before the first one goes off: a run that dies before
        // switching them on again leaves this entry for the next start.
        std::vector<std::string> names;
        for (int row = 0; row < triggers.RowCount(); ++row)
            names.push_back(triggers.GetCell(0, row));
        m_journal.Record(m_sDestDb, table, names);
    }
    bool ok = true;
    for (int row = 0; row < triggers.RowCount(); ++row)
    {
        const std::string name = QuotedSqlIdentifier(triggers.GetCell(0, row));
        const std::string sql = active ? "ALTER TRIGGER  " + name + " ACTIVE;" : "ALTER TRIGGER " + name + " INACTIVE;";
        int failure = 0;
        connection.Execute(sql, failure);
        WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            WriteSqlFailure(connection.LastErrorMessage());
            WriteLog("ERROR: Failed to modify TRIGGER!\r\n", m_sTablePrefix);
        }
    }
    if (active && ok)
        m_journal.Remove(m_sDestDb, table);
    return ok;
}

bool CCopyEngine::SetGenerators(CFbConnection& connection, CStringGrid& sourceTriggerGrid, const std::string& table)
{
    CStringGrid triggers;
    connection.GetTableTriggers(table, triggers);
    bool ok = true;
    for (int row = 0; row < triggers.RowCount(); ++row)
    {
        const std::string generator = triggers.GetCell(2, row);
        if (generator.empty())
            continue;
        const int k = sourceTriggerGrid.FindRow(2, generator, 1);
        if (k < 0)
            continue;
        const std::string sql =
            "SET GENERATOR " + SqlIdentifier(generator) + " TO " + sourceTriggerGrid.GetCell(3, k) + ";";
        int failure = 0;
        connection.Execute(sql, failure);
        WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            WriteSqlFailure(connection.LastErrorMessage());
            WriteLog("ERROR: Failed to set GENERATOR!\r\n", m_sTablePrefix);
        }
    }
    return ok;
}
