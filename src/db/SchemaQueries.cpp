#include "db/SchemaQueries.h"

#include "db/CFbConnection.h"
#include "db/SqlText.h"

bool GetColumnInfo(CFbConnection& connection, const std::string& table, std::vector<SColumnInfo>& columns)
{
    columns.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT rf.rdb$field_name, IIF(f.rdb$computed_blr IS NULL, 0, 1), COALESCE(rf.rdb$null_flag, 0),"
                       " COALESCE(f.rdb$dimensions, 0), rf.rdb$identity_type, rf.rdb$generator_name, f.rdb$field_type,"
                       " COALESCE(f.rdb$field_sub_type, 0)"
                       " FROM rdb$relation_fields rf JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source"
                       " WHERE rf.rdb$relation_name = '" + EscapeSqlString(table) + "' ORDER BY rf.rdb$field_position",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        SColumnInfo column;
        column.name = rows.GetCell(0, r);
        column.computed = rows.GetCellInt(1, r) != 0;
        column.nullable = rows.GetCellInt(2, r) == 0;
        column.dimensions = static_cast<int>(rows.GetCellInt(3, r));
        if (!rows.IsCellNull(4, r))
            column.identitySequence = rows.GetCell(5, r);
        column.blob = rows.GetCellInt(6, r) == 261;
        column.blobSubType = static_cast<int>(rows.GetCellInt(7, r));
        columns.push_back(column);
    }
    return true;
}

bool GetForeignKeys(CFbConnection& connection, std::vector<SForeignKey>& keys)
{
    keys.clear();
    CStringGrid rows;
    int failure = 0;
    // One row per key column: the child's and the parent's column at the same position.
    connection.Execute("SELECT c.rdb$constraint_name, c.rdb$relation_name, cs.rdb$field_name, p.rdb$relation_name,"
                       " ps.rdb$field_name"
                       " FROM rdb$relation_constraints c"
                       " JOIN rdb$ref_constraints r ON r.rdb$constraint_name = c.rdb$constraint_name"
                       " JOIN rdb$relation_constraints p ON p.rdb$constraint_name = r.rdb$const_name_uq"
                       " JOIN rdb$index_segments cs ON cs.rdb$index_name = c.rdb$index_name"
                       " JOIN rdb$index_segments ps ON ps.rdb$index_name = p.rdb$index_name"
                       "  AND ps.rdb$field_position = cs.rdb$field_position"
                       " WHERE c.rdb$constraint_type = 'FOREIGN KEY'"
                       " ORDER BY c.rdb$constraint_name, cs.rdb$field_position",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        const std::string name = rows.GetCell(0, r);
        if (keys.empty() || keys.back().name != name)
            keys.push_back({name, rows.GetCell(1, r), {}, rows.GetCell(3, r), {}});
        keys.back().childColumns.push_back(rows.GetCell(2, r));
        keys.back().parentColumns.push_back(rows.GetCell(4, r));
    }
    return true;
}

bool GetPrimaryKey(CFbConnection& connection, const std::string& table, std::vector<std::string>& columns)
{
    columns.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT s.rdb$field_name FROM rdb$relation_constraints c"
                       " JOIN rdb$index_segments s ON s.rdb$index_name = c.rdb$index_name"
                       " WHERE c.rdb$relation_name = '" + EscapeSqlString(table) + "'"
                       " AND c.rdb$constraint_type = 'PRIMARY KEY' ORDER BY s.rdb$field_position",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        columns.push_back(rows.GetCell(0, r));
    return true;
}

bool GetSequenceValue(CFbConnection& connection, const std::string& sequence, std::string& value)
{
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT GEN_ID(" + QuotedSqlIdentifier(sequence) + ", 0) FROM rdb$database", failure, &rows);
    if (failure != 0 || rows.RowCount() != 1)
        return false;
    value = rows.GetCell(0, 0);
    return true;
}
