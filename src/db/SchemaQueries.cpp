#include "db/SchemaQueries.h"

#include "db/CFbConnection.h"
#include "db/FieldTypes.h"
#include "db/SqlText.h"

#include <set>

bool GetColumnInfo(CFbConnection& connection, const std::string& table, std::vector<SColumnInfo>& columns)
{
    columns.clear();
    CStringGrid rows;
    int failure = 0;
    // A column's NOT NULL and DEFAULT may come from its domain.
    connection.Execute("SELECT rf.rdb$field_name, IIF(f.rdb$computed_blr IS NULL, 0, 1),"
                       " COALESCE(rf.rdb$null_flag, f.rdb$null_flag, 0),"
                       " COALESCE(f.rdb$dimensions, 0), rf.rdb$identity_type, rf.rdb$generator_name, f.rdb$field_type,"
                       " COALESCE(f.rdb$field_sub_type, 0),"
                       " IIF(rf.rdb$default_value IS NULL AND f.rdb$default_value IS NULL, 0, 1),"
                       " COALESCE(f.rdb$field_scale, 0), COALESCE(f.rdb$character_set_id, -1),"
                       " COALESCE(f.rdb$character_length, f.rdb$field_length, 0), COALESCE(f.rdb$field_precision, 0),"
                       " IIF(EXISTS(SELECT 1 FROM rdb$relation_constraints rc JOIN rdb$index_segments s"
                       " ON s.rdb$index_name = rc.rdb$index_name WHERE rc.rdb$relation_name = rf.rdb$relation_name"
                       " AND rc.rdb$constraint_type = 'FOREIGN KEY' AND s.rdb$field_name = rf.rdb$field_name), 1, 0)"
                       " FROM rdb$relation_fields rf JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source"
                       " WHERE rf.rdb$relation_name = '" +
                           EscapeSqlString(table) + "' ORDER BY rf.rdb$field_position",
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
        column.fieldType = static_cast<int>(rows.GetCellInt(6, r));
        column.blob = column.fieldType == FieldBlob;
        column.blobSubType = static_cast<int>(rows.GetCellInt(7, r));
        column.hasDefault = rows.GetCellInt(8, r) != 0;
        column.scale = static_cast<int>(rows.GetCellInt(9, r));
        column.length = static_cast<int>(rows.GetCellInt(11, r));
        column.precision = column.scale < 0 ? static_cast<int>(rows.GetCellInt(12, r)) : 0;
        const bool text = IsTextType(column.fieldType, column.blobSubType);
        column.characterSetId = text ? static_cast<int>(rows.GetCellInt(10, r)) : -1;
        column.inForeignKey = rows.GetCellInt(13, r) != 0;
        columns.push_back(column);
    }
    return true;
}

bool GetUserTables(CFbConnection& connection, std::vector<std::string>& tables)
{
    tables.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT rdb$relation_name FROM rdb$relations WHERE COALESCE(rdb$system_flag, 0) = 0"
                       " AND rdb$view_blr IS NULL AND COALESCE(rdb$relation_type, 0) = 0",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        tables.push_back(rows.GetCell(0, r));
    return true;
}

std::vector<std::string> TableSpellings(const std::vector<std::string>& tables, const std::string& name)
{
    if (std::find(tables.begin(), tables.end(), name) != tables.end())
        return {name};
    std::vector<std::string> spellings;
    for (const std::string& table : tables)
    {
        if (SameNameLetterCaseAside(table, name))
            spellings.push_back(table);
    }
    return spellings;
}

std::string AmbiguousTableMessage(const std::string& name, const std::vector<std::string>& spellings)
{
    std::string list;
    for (const std::string& spelling : spellings)
        list += (list.empty() ? "" : ", ") + spelling;
    return "the source has several tables named " + name + " letter case aside (" + list +
           "), and none spelled exactly so";
}

bool ReadDatabaseIdentity(CFbConnection& connection, std::string& identity)
{
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT mon$database_name, mon$creation_date FROM mon$database", failure, &rows, nullptr,
                       EValueForm::Exact);
    if (failure != 0 || rows.RowCount() != 1)
        return false;
    identity = rows.GetCell(0, 0) + "|" + rows.GetCell(1, 0);
    return true;
}

bool AreTriggersActive(CFbConnection& connection, const std::vector<std::string>& triggers)
{
    if (triggers.empty())
        return true;
    std::string names;
    for (const std::string& trigger : triggers)
        names += (names.empty() ? "'" : ", '") + EscapeSqlString(trigger) + "'";
    CStringGrid rows;
    int failure = 0;
    // The statement's own transaction sees what the ALTER TRIGGERs committed.
    connection.Execute("SELECT COUNT(*) FROM rdb$triggers WHERE rdb$trigger_name IN (" + names +
                           ") AND COALESCE(rdb$trigger_inactive, 0) = 0",
                       failure, &rows);
    return failure == 0 && rows.RowCount() == 1 &&
           rows.GetCellInt(0, 0) == static_cast<long>(std::set<std::string>(triggers.begin(), triggers.end()).size());
}

bool GetActiveUserTriggers(CFbConnection& connection, const std::string& table, std::vector<std::string>& triggers)
{
    triggers.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT rdb$trigger_name FROM rdb$triggers WHERE rdb$relation_name = '" +
                           EscapeSqlString(table) +
                           "' AND COALESCE(rdb$system_flag, 0) = 0 AND COALESCE(rdb$trigger_inactive, 0) = 0",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        triggers.push_back(rows.GetCell(0, r));
    return true;
}

bool GetCheckReads(CFbConnection& connection, std::vector<SCheckRead>& reads)
{
    reads.clear();
    CStringGrid rows;
    int failure = 0;
    // A CHECK is enforced by two system triggers; their dependencies name
    // the columns the condition reads, those of its own table among them.
    connection.Execute(
        "SELECT DISTINCT rc.rdb$constraint_name, rc.rdb$relation_name, d.rdb$depended_on_name,"
        " d.rdb$field_name FROM rdb$relation_constraints rc"
        " JOIN rdb$check_constraints cc ON cc.rdb$constraint_name = rc.rdb$constraint_name"
        " JOIN rdb$dependencies d ON d.rdb$dependent_name = cc.rdb$trigger_name AND d.rdb$dependent_type = 2"
        " WHERE rc.rdb$constraint_type = 'CHECK' AND d.rdb$depended_on_type = 0"
        " AND d.rdb$field_name IS NOT NULL AND d.rdb$depended_on_name <> rc.rdb$relation_name"
        " ORDER BY 1, 3, 4",
        failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        reads.push_back({rows.GetCell(0, r), rows.GetCell(1, r), rows.GetCell(2, r), rows.GetCell(3, r)});
    return true;
}

bool GetForeignKeys(CFbConnection& connection, std::vector<SForeignKey>& keys, const std::string& parentTable)
{
    const std::string parent =
        parentTable.empty() ? std::string() : " AND p.rdb$relation_name = '" + EscapeSqlString(parentTable) + "'";
    keys.clear();
    CStringGrid rows;
    int failure = 0;
    // One row per key column: the child's and the parent's column at the same position.
    connection.Execute("SELECT c.rdb$constraint_name, c.rdb$relation_name, cs.rdb$field_name, p.rdb$relation_name,"
                       " ps.rdb$field_name, r.rdb$delete_rule"
                       " FROM rdb$relation_constraints c"
                       " JOIN rdb$ref_constraints r ON r.rdb$constraint_name = c.rdb$constraint_name"
                       " JOIN rdb$relation_constraints p ON p.rdb$constraint_name = r.rdb$const_name_uq"
                       " JOIN rdb$index_segments cs ON cs.rdb$index_name = c.rdb$index_name"
                       " JOIN rdb$index_segments ps ON ps.rdb$index_name = p.rdb$index_name"
                       "  AND ps.rdb$field_position = cs.rdb$field_position"
                       " WHERE c.rdb$constraint_type = 'FOREIGN KEY'" +
                           parent + " ORDER BY c.rdb$constraint_name, cs.rdb$field_position",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        const std::string name = rows.GetCell(0, r);
        if (keys.empty() || keys.back().name != name)
            keys.push_back({name, rows.GetCell(1, r), {}, rows.GetCell(3, r), {}, rows.GetCell(5, r)});
        keys.back().childColumns.push_back(rows.GetCell(2, r));
        keys.back().parentColumns.push_back(rows.GetCell(4, r));
    }
    return true;
}

bool FindReferringRow(CFbConnection& connection, const SForeignKey& key, bool& found)
{
    std::string sql = "SELECT FIRST 1 1 FROM " + SqlIdentifier(key.childTable) + " WHERE ";
    for (size_t c = 0; c < key.childColumns.size(); ++c)
        sql += (c ? " AND " : "") + SqlIdentifier(key.childColumns[c]) + " IS NOT NULL";
    CStringGrid rows;
    int failure = 0;
    connection.Execute(sql, failure, &rows);
    found = failure == 0 && rows.RowCount() > 0;
    return failure == 0;
}

bool GetPrimaryKey(CFbConnection& connection, const std::string& table, std::vector<std::string>& columns)
{
    columns.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT s.rdb$field_name FROM rdb$relation_constraints c"
                       " JOIN rdb$index_segments s ON s.rdb$index_name = c.rdb$index_name"
                       " WHERE c.rdb$relation_name = '" +
                           EscapeSqlString(table) +
                           "'"
                           " AND c.rdb$constraint_type = 'PRIMARY KEY' ORDER BY s.rdb$field_position",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        columns.push_back(rows.GetCell(0, r));
    return true;
}

bool GetUniqueKey(CFbConnection& connection, const std::string& table, std::vector<std::string>& columns)
{
    columns.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT c.rdb$constraint_name, s.rdb$field_name FROM rdb$relation_constraints c"
                       " JOIN rdb$index_segments s ON s.rdb$index_name = c.rdb$index_name"
                       " WHERE c.rdb$relation_name = '" +
                           EscapeSqlString(table) +
                           "'"
                           " AND c.rdb$constraint_type = 'UNIQUE' ORDER BY c.rdb$constraint_name, s.rdb$field_position",
                       failure, &rows);
    if (failure != 0)
        return false;
    for (int r = 0; r < rows.RowCount() && rows.GetCell(0, r) == rows.GetCell(0, 0); ++r)
        columns.push_back(rows.GetCell(1, r));
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
