// The metadata queries of CFbConnection: triggers with their generators, and
// key fields.
#include "db/CFbConnection.h"
#include "db/SqlText.h"

bool CFbConnection::GetTableTriggers(const std::string& table, CStringGrid& triggerGrid)
{
    if (!m_bConnected)
        return false;
    int failure = 0;
    CStringGrid generators;
    Execute("SELECT rdb$generator_name, rdb$system_flag FROM rdb$generators", failure, &generators);
    if (failure != 0)
        return false;
    generators.Resize(3, generators.RowCount());
    CStringGrid value;
    // Quoted always: a server newer than this client may reserve words that
    // an unquoted name would collide with.
    for (int i = 0; i < generators.RowCount(); ++i)
    {
        Execute("SELECT gen_id(" + QuotedSqlIdentifier(generators.GetCell(0, i)) + ", 0) FROM rdb$database",
                failure, &value);
        if (failure != 0)
            return false;
        generators.SetCell(2, i, value.GetCell(0, 0));
    }
    Execute("SELECT rdb$trigger_name, rdb$system_flag, rdb$trigger_source, rdb$trigger_sequence FROM rdb$triggers "
            "WHERE rdb$relation_name = '" + EscapeSqlString(table) + "';",
            failure, &triggerGrid);
    if (failure != 0)
        return false;
    for (int row = 0; row < triggerGrid.RowCount(); ++row)
    {
        triggerGrid.SetCell(2, row, "");
        triggerGrid.SetCell(3, row, "");
    }
    CStringGrid mentions;
    for (int g = 0; g < generators.RowCount(); ++g)
    {
        if (generators.GetCellInt(1, g) != 0)
            continue;
        const std::string generator = generators.GetCell(0, g);
        mentions.Clear();
        Execute("SELECT rdb$trigger_name FROM rdb$triggers WHERE rdb$trigger_source CONTAINING '"
                    + EscapeSqlString(generator) + "'",
                failure, &mentions);
        if (failure != 0)
            return false;
        if (mentions.RowCount() < 1)
            continue;
        const int k = triggerGrid.FindRow(0, mentions.GetCell(0, 0), 1);
        if (k >= 0)
        {
            triggerGrid.SetCell(2, k, generator);
            triggerGrid.SetCell(3, k, generators.GetCell(2, g));
        }
    }
    return true;
}

bool CFbConnection::GetKeyFields(const std::string& table, CStringGrid& keyGrid)
{
    if (!m_bConnected)
        return false;
    int failure = 0;
    Execute("SELECT i.rdb$field_name, r.rdb$constraint_type, r.rdb$relation_name FROM rdb$relation_constraints r, "
            "rdb$index_segments i WHERE r.rdb$relation_name='" + EscapeSqlString(table) + "' AND "
            "(r.rdb$constraint_type='PRIMARY KEY' OR r.rdb$constraint_type='FOREIGN KEY') AND "
            "r.rdb$index_name=i.rdb$index_name;",
            failure, &keyGrid);
    return failure == 0;
}
