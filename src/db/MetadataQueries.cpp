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
    // (in the server's order) that uses it, as the engine's dependency
    // records say; only the generators that a trigger of this table uses can
    // belong to one of them, so one statement finds those, their first
    // triggers and their values, however many generators the database
    // holds. With several in one trigger, the one listed last stays. A
    // trigger that takes its keys from a procedure (EXECUTE PROCEDURE
    // NEXT_ID) uses the generators that procedure draws from.
    CStringGrid links;
    const auto uses = [](const std::string& generator) {
        return "(EXISTS (SELECT 1 FROM rdb$dependencies d WHERE d.rdb$dependent_name = t.rdb$trigger_name"
               " AND d.rdb$dependent_type = 2 AND d.rdb$depended_on_type = 14 AND d.rdb$depended_on_name = " +
               generator +
               ") OR EXISTS (SELECT 1 FROM rdb$dependencies d JOIN rdb$dependencies p"
               " ON p.rdb$dependent_name = d.rdb$depended_on_name AND p.rdb$dependent_type = 5"
               " WHERE d.rdb$dependent_name = t.rdb$trigger_name AND d.rdb$dependent_type = 2"
               " AND d.rdb$depended_on_type = 5 AND p.rdb$depended_on_type = 14 AND p.rdb$depended_on_name = " +
               generator + "))";
    };
    // A dialect-1 database knows no BIGINT, and the EXECUTE STATEMENT runs
    // in its dialect, where GEN_ID gives only the low 32 bits: there the
    // values are read apart, each by a dialect-3 statement of its own.
    const bool legacy = m_nSqlDialect < 3;
    const std::string valueColumn = legacy ? "" : ", GEN_VALUE BIGINT";
    const std::string readValue = legacy ? ""
                                         : "EXECUTE STATEMENT 'SELECT GEN_ID(\"' || REPLACE(GEN_NAME, '\"', '\"\"') || "
                                           "'\", 0) FROM RDB$DATABASE' INTO :GEN_VALUE; ";
    Execute("EXECUTE BLOCK RETURNS (GEN_NAME VARCHAR(63) CHARACTER SET UTF8, FIRST_TRIGGER VARCHAR(63) CHARACTER SET "
            "UTF8" + valueColumn + ") AS BEGIN "
            "FOR SELECT TRIM(g.rdb$generator_name) FROM rdb$generators g "
            "WHERE COALESCE(g.rdb$system_flag, 0) = 0 AND EXISTS (SELECT 1 FROM rdb$triggers t "
            "WHERE t.rdb$relation_name = '" + EscapeSqlString(table) + "' AND " + uses("g.rdb$generator_name") + ") "
            "INTO :GEN_NAME DO BEGIN "
            "FIRST_TRIGGER = (SELECT FIRST 1 TRIM(t.rdb$trigger_name) FROM rdb$triggers t WHERE " + uses(":GEN_NAME") + "); "
            + readValue + "SUSPEND; END END",
            failure, &links);
    if (failure != 0)
        return false;
    for (int g = 0; g < links.RowCount(); ++g)
    {
        const int k = triggerGrid.FindRow(0, links.GetCell(1, g), 1);
        if (k < 0)
            continue;
        std::string value = legacy ? std::string() : links.GetCell(2, g);
        if (legacy)
        {
            CStringGrid read;
            Execute("SELECT GEN_ID(" + QuotedSqlIdentifier(links.GetCell(0, g)) + ", 0) FROM RDB$DATABASE", failure,
                    &read);
            if (failure != 0 || read.RowCount() != 1)
                return false;
            value = read.GetCell(0, 0);
        }
        triggerGrid.SetCell(2, k, links.GetCell(0, g));
        triggerGrid.SetCell(3, k, value);
    }
    return LinkGeneratorsByName(table, triggerGrid);
}

bool CFbConnection::LinkGeneratorsByName(const std::string& table, CStringGrid& triggerGrid)
{
    // A generator named only inside a string (EXECUTE STATEMENT) leaves no
    // dependency record: such triggers are searched for the generator's
    // name as a whole identifier, never as part of a longer one.
    std::string unlinked;
    for (int row = 0; row < triggerGrid.RowCount(); ++row)
    {
        if (triggerGrid.GetCell(2, row).empty() && triggerGrid.GetCellInt(1, row) == 0)
            unlinked += (unlinked.empty() ? "'" : ", '") + EscapeSqlString(triggerGrid.GetCell(0, row)) + "'";
    }
    if (unlinked.empty())
        return true;
    int failure = 0;
    CStringGrid sources;
    Execute("SELECT t.rdb$trigger_name, t.rdb$trigger_source FROM rdb$triggers t WHERE t.rdb$relation_name = '"
                + EscapeSqlString(table) + "' AND t.rdb$trigger_name IN (" + unlinked + ")"
                " AND NOT EXISTS (SELECT 1 FROM rdb$dependencies d WHERE d.rdb$dependent_name = t.rdb$trigger_name"
                " AND d.rdb$dependent_type = 2 AND d.rdb$depended_on_type = 14)",
            failure, &sources, nullptr, EValueForm::Exact);
    if (failure != 0)
        return false;
    if (sources.RowCount() == 0)
        return true;
    CStringGrid generators;
    Execute("SELECT TRIM(rdb$generator_name) FROM rdb$generators WHERE COALESCE(rdb$system_flag, 0) = 0", failure,
            &generators);
    if (failure != 0)
        return false;
    for (int s = 0; s < sources.RowCount(); ++s)
    {
        const int k = triggerGrid.FindRow(0, TrimSpaces(sources.GetCell(0, s)), 1);
        for (int g = 0; k >= 0 && g < generators.RowCount(); ++g)
        {
            const std::string generator = generators.GetCell(0, g);
            if (!MentionsIdentifier(sources.GetCell(1, s), generator))
                continue;
            CStringGrid value;
            Execute("SELECT GEN_ID(" + QuotedSqlIdentifier(generator) + ", 0) FROM RDB$DATABASE", failure, &value);
            if (failure != 0 || value.RowCount() != 1)
                return false;
            triggerGrid.SetCell(2, k, generator);
            triggerGrid.SetCell(3, k, value.GetCell(0, 0));
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
