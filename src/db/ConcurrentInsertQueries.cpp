#include "db/ConcurrentInsertQueries.h"

#include "db/CFbConnection.h"
#include "db/SqlText.h"

namespace
{
// The columns of the table's unique indexes, in order, with the collation
// each one compares by (the column's own, else its domain's, else the
// character set's first).
bool ReadUniqueKey(CFbConnection& connection, const std::string& name, std::vector<SKeyColumn>& key)
{
    CStringGrid rows;
    int failure = 0;
    connection.Execute(
        "SELECT TRIM(s.rdb$field_name), TRIM(co.rdb$collation_name), COALESCE(co.rdb$collation_attributes, 0),"
        " f.rdb$character_set_id"
        " FROM rdb$indices i JOIN rdb$index_segments s ON s.rdb$index_name = i.rdb$index_name"
        " JOIN rdb$relation_fields rf ON rf.rdb$relation_name = i.rdb$relation_name"
        " AND rf.rdb$field_name = s.rdb$field_name"
        " JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source"
        " LEFT JOIN rdb$collations co ON co.rdb$character_set_id = f.rdb$character_set_id"
        " AND co.rdb$collation_id = COALESCE(rf.rdb$collation_id, f.rdb$collation_id, 0)"
        " WHERE i.rdb$relation_name = '" +
            name +
            "' AND i.rdb$unique_flag = 1 AND COALESCE(i.rdb$index_inactive, 0) = 0"
            " ORDER BY s.rdb$field_position",
        failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        SKeyColumn column;
        column.name = rows.GetCell(0, r);
        // Only text has a character set: a number's row has none.
        if (!rows.GetCell(3, r).empty())
        {
            column.collation = rows.GetCell(1, r);
            column.collationAttributes = static_cast<int>(rows.GetCellInt(2, r));
        }
        key.push_back(std::move(column));
    }
    return true;
}
} // namespace

bool ReadConcurrentInsertFacts(CFbConnection& connection, const std::string& table, SConcurrentInsertFacts& facts)
{
    const std::string name = EscapeSqlString(table);
    const std::string uniqueIndex =
        "rdb$relation_name = '" + name + "' AND rdb$unique_flag = 1 AND COALESCE(rdb$index_inactive, 0) = 0";
    CStringGrid counts;
    int failure = 0;
    connection.Execute("SELECT (SELECT COUNT(*) FROM rdb$indices WHERE " + uniqueIndex +
                           "), (SELECT COUNT(rdb$expression_blr) FROM rdb$indices WHERE " + uniqueIndex +
                           "), (SELECT COUNT(*) FROM rdb$relation_constraints fk JOIN rdb$ref_constraints r ON"
                           " r.rdb$constraint_name = fk.rdb$constraint_name JOIN rdb$relation_constraints pk ON"
                           " pk.rdb$constraint_name = r.rdb$const_name_uq WHERE fk.rdb$relation_name = '" +
                           name + "' AND pk.rdb$relation_name = '" + name +
                           "'), (SELECT COUNT(*) FROM rdb$relation_constraints c JOIN rdb$check_constraints cc ON"
                           " cc.rdb$constraint_name = c.rdb$constraint_name JOIN rdb$triggers t ON"
                           " t.rdb$trigger_name = cc.rdb$trigger_name WHERE c.rdb$relation_name = '" +
                           name +
                           "' AND c.rdb$constraint_type = 'CHECK' AND t.rdb$trigger_source CONTAINING 'SELECT')"
                           " FROM rdb$database",
                       failure, &counts);
    if (failure != 0 || counts.RowCount() != 1)
        return false;
    facts.uniqueIndexes = static_cast<int>(counts.GetCellInt(0, 0));
    facts.expressionIndexes = static_cast<int>(counts.GetCellInt(1, 0));
    facts.selfReferences = static_cast<int>(counts.GetCellInt(2, 0));
    facts.selectingChecks = static_cast<int>(counts.GetCellInt(3, 0));
    if (!ReadUniqueKey(connection, name, facts.uniqueKey))
        return false;
    CStringGrid old;
    connection.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(table), failure, &old);
    if (failure != 0)
        return false;
    facts.hasRows = old.RowCount() > 0;
    return true;
}
