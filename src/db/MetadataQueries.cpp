// The metadata queries of CFbConnection: triggers with their generators, and
// key fields.
#include "db/CFbConnection.h"
#include "db/SqlText.h"

bool CFbConnection::GetTableTriggers(const std::string& table, CStringGrid& triggerGrid)
{
    if (!m_bConnected)
        return false;
    int failure = 0;
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
    if (triggerGrid.RowCount() == 0)
        return true;
    // A user generator belongs to the first trigger of the whole database
    // (in the server's order) whose source mentions its name. Only the
    // generators that a trigger of this table mentions can belong to one of
    // them, so one statement finds those, their first triggers and their
    // values, however many generators the database holds. Rows come in the
    // generators' order, so with several in one trigger the last one stays.
    CStringGrid links;
    Execute("EXECUTE BLOCK RETURNS (GEN_NAME VARCHAR(63) CHARACTER SET UTF8, FIRST_TRIGGER VARCHAR(63) CHARACTER SET "
            "UTF8, GEN_VALUE BIGINT) AS BEGIN "
            "FOR SELECT TRIM(g.rdb$generator_name) FROM rdb$generators g "
            "WHERE COALESCE(g.rdb$system_flag, 0) = 0 AND EXISTS (SELECT 1 FROM rdb$triggers t "
            "WHERE t.rdb$relation_name = '" + EscapeSqlString(table) + "' "
            "AND t.rdb$trigger_source CONTAINING TRIM(g.rdb$generator_name)) INTO :GEN_NAME DO BEGIN "
            "FIRST_TRIGGER = (SELECT FIRST 1 TRIM(t.rdb$trigger_name) FROM rdb$triggers t "
            "WHERE t.rdb$trigger_source CONTAINING :GEN_NAME); "
            "EXECUTE STATEMENT 'SELECT GEN_ID(\"' || REPLACE(GEN_NAME, '\"', '\"\"') || '\", 0) FROM RDB$DATABASE' "
            "INTO :GEN_VALUE; SUSPEND; END END",
            failure, &links);
    if (failure != 0)
        return false;
    for (int g = 0; g < links.RowCount(); ++g)
    {
        const int k = triggerGrid.FindRow(0, links.GetCell(1, g), 1);
        if (k >= 0)
        {
            triggerGrid.SetCell(2, k, links.GetCell(0, g));
            triggerGrid.SetCell(3, k, links.GetCell(2, g));
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
