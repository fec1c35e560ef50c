// The checks of a table's keys: the source's rows that meet on a unique key
// of the destination, and keys whose parent row the copy will not find.
#include "copy/check/CTableChecker.h"

#include "db/CFbCursor.h"
#include "db/FieldTypes.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

#include <algorithm>
#include <map>
#include <set>

using namespace Checking;

namespace
{
// Beyond this many distinct keys the keys of a table outside the run are not
// looked up one by one.
constexpr size_t MaxCheckedKeys = 200000;

} // namespace

// A key's columns as the source's rows are grouped by them.
struct CTableChecker::SKeyGrouping
{
    std::string grouped;
    std::string groupedAsStored; // without the conversion, for sources it fails on
    std::string present;         // a column of the key holds a value
    bool mayRepeat = true;
};

void CTableChecker::CheckParentKeys(STableCheck& check, const std::string& sourceTable)
{
    // A key into a table that the run refills must find its row among the
    // source's rows of that table; into any other table among the
    // destination's rows as they are.
    for (const SForeignKey& key : m_keys)
    {
        if (key.childTable != check.table)
            continue;
        if (RefilledFromSource(key.parentTable))
        {
            const long long missing = CountRowsWithoutSourceParent(sourceTable, key);
            if (missing > 0)
                Add(check, EKind::MissingParentKeys, ECheckSeverity::Fails, Joined(key.childColumns, ", "), missing,
                    key.parentTable);
            continue;
        }
        if (key.childColumns.size() != 1)
            continue;
        bool counted = false;
        const long long missing = CountMissingDestParents(sourceTable, key, counted);
        if (counted && missing > 0)
            Add(check, EKind::MissingParentKeys, ECheckSeverity::Fails, key.childColumns[0], missing, key.parentTable);
    }
}

long long CTableChecker::CountMissingDestParents(const std::string& sourceTable, const SForeignKey& key, bool& counted)
{
    // The source's keys of the one column, looked up among the parent's
    // rows in the destination a chunk at a time.
    const std::string column = SqlIdentifier(key.childColumns[0]);
    CStringGrid keys;
    int failure = 0;
    m_source.Execute("SELECT " + column + ", COUNT(*) FROM " + SqlIdentifier(sourceTable) + " WHERE " + column +
                         " IS NOT NULL GROUP BY 1",
                     failure, &keys, nullptr, EValueForm::Exact);
    counted = failure == 0 && static_cast<size_t>(keys.RowCount()) <= MaxCheckedKeys;
    if (!counted)
        return 0;
    std::set<std::string> present;
    constexpr int Chunk = 500;
    for (int first = 0; first < keys.RowCount(); first += Chunk)
    {
        std::string list;
        for (int r = first; r < std::min(keys.RowCount(), first + Chunk); ++r)
            list += (list.empty() ? "'" : ", '") + EscapeSqlString(keys.GetCell(0, r)) + "'";
        CStringGrid found;
        m_dest.Execute("SELECT " + SqlIdentifier(key.parentColumns[0]) + " FROM " + SqlIdentifier(key.parentTable) +
                           " WHERE " + SqlIdentifier(key.parentColumns[0]) + " IN (" + list + ")",
                       failure, &found, nullptr, EValueForm::Exact);
        for (int r = 0; failure == 0 && r < found.RowCount(); ++r)
            present.insert(found.GetCell(0, r));
    }
    long long missing = 0;
    for (int r = 0; r < keys.RowCount(); ++r)
    {
        if (!present.count(keys.GetCell(0, r)))
            missing += keys.GetCellInt(1, r);
    }
    return missing;
}

long long CTableChecker::CountRowsWithoutSourceParent(const std::string& sourceTable, const SForeignKey& key)
{
    // The parent is refilled from the source: a key must find its row there.
    // Keys meet as the parent's key in the destination compares them: 'abc'
    // finds 'ABC' under UNICODE_CI.
    const std::string parent = SourceSpelling(key.parentTable);
    std::vector<SColumnInfo> parentInfo;
    GetColumnInfo(m_dest, key.parentTable, parentInfo);
    std::string present;
    std::string match;
    for (size_t c = 0; c < key.childColumns.size() && c < key.parentColumns.size(); ++c)
    {
        std::string child = "C." + SqlIdentifier(key.childColumns[c]);
        std::string parentKey = "P." + SqlIdentifier(key.parentColumns[c]);
        present += (c ? " AND " : "") + child + " IS NOT NULL";
        const auto column = std::find_if(parentInfo.begin(), parentInfo.end(),
                                         [&](const SColumnInfo& info) { return info.name == key.parentColumns[c]; });
        if (column != parentInfo.end())
        {
            child = ComparedAsInDestination(key.parentTable, child, *column);
            parentKey = ComparedAsInDestination(key.parentTable, parentKey, *column);
        }
        match += (c ? " AND " : "") + parentKey + " = " + child;
    }
    CStringGrid count;
    int failure = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable) + " C WHERE " + present +
                         " AND NOT EXISTS (SELECT 1 FROM " + SqlIdentifier(parent) + " P WHERE " + match + ")",
                     failure, &count);
    return failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
}

bool CTableChecker::RefilledFromSource(const std::string& table)
{
    if (std::find(m_runTables.begin(), m_runTables.end(), table) == m_runTables.end())
        return false;
    // A table whose source is empty keeps the destination's rows.
    const std::string source = SourceSpelling(table);
    CStringGrid any;
    int failure = 0;
    if (!source.empty())
        m_source.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(source), failure, &any);
    return !source.empty() && failure == 0 && any.RowCount() == 1;
}

std::string CTableChecker::ComparedAsInDestination(const std::string& table, const std::string& source,
                                                   const SColumnInfo& dest)
{
    // Text meets as the destination's collation compares it: 'a' and 'A'
    // are one key under UNICODE_CI. A default collation compares as the
    // source does already.
    if (!IsText(dest) || dest.fieldType == FieldBlob || dest.characterSetId < 0)
        return source;
    CStringGrid names;
    int failure = 0;
    m_dest.Execute("SELECT cs.rdb$character_set_name, c.rdb$collation_name FROM rdb$relation_fields rf"
                   " JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source"
                   " JOIN rdb$collations c ON c.rdb$character_set_id = f.rdb$character_set_id"
                   " AND c.rdb$collation_id = COALESCE(rf.rdb$collation_id, f.rdb$collation_id, 0)"
                   " JOIN rdb$character_sets cs ON cs.rdb$character_set_id = f.rdb$character_set_id"
                   " WHERE COALESCE(rf.rdb$collation_id, f.rdb$collation_id, 0) <> 0 AND rf.rdb$relation_name = '" +
                       EscapeSqlString(table) + "' AND rf.rdb$field_name = '" + EscapeSqlString(dest.name) + "'",
                   failure, &names);
    if (failure != 0 || names.RowCount() != 1 || !IsCharacterSetName(names.GetCell(0, 0)) ||
        !IsCharacterSetName(names.GetCell(1, 0)))
        return source;
    return "CAST(" + source + " AS VARCHAR(" + std::to_string(std::max(1, dest.length)) + ") CHARACTER SET " +
           names.GetCell(0, 0) + ") COLLATE " + names.GetCell(1, 0);
}

void CTableChecker::CheckDuplicateKeys(STableCheck& check, const std::string& sourceTable, const STablePlan& plan)
{
    // The destination's primary key, unique constraints and unique indexes
    // on columns: source rows that meet on such a key fail beyond the first.
    CStringGrid segments;
    int failure = 0;
    m_dest.Execute("SELECT COALESCE(rc.rdb$constraint_name, i.rdb$index_name), s.rdb$field_name FROM rdb$indices i"
                   " JOIN rdb$index_segments s ON s.rdb$index_name = i.rdb$index_name"
                   " LEFT JOIN rdb$relation_constraints rc ON rc.rdb$index_name = i.rdb$index_name"
                   " WHERE i.rdb$relation_name = '" +
                       EscapeSqlString(check.table) +
                       "' AND i.rdb$unique_flag = 1 AND COALESCE(i.rdb$index_inactive, 0) = 0"
                       " AND i.rdb$expression_blr IS NULL ORDER BY i.rdb$index_name, s.rdb$field_position",
                   failure, &segments);
    std::map<std::string, std::vector<std::string>> keys;
    for (int r = 0; failure == 0 && r < segments.RowCount(); ++r)
        keys[segments.GetCell(0, r)].push_back(segments.GetCell(1, r));
    for (const auto& [name, columns] : keys)
    {
        const SKeyGrouping grouping = GroupingOf(check.table, columns, plan);
        if (!grouping.mayRepeat)
            continue;
        const long long repeated = CountRepeatedKeys(sourceTable, grouping);
        if (repeated > 0)
            Add(check, EKind::DuplicateKeys, ECheckSeverity::Fails, Joined(columns, ", "), repeated, name);
    }
    CheckDuplicateExpressionKeys(check, sourceTable);
}

CTableChecker::SKeyGrouping CTableChecker::GroupingOf(const std::string& table, const std::vector<std::string>& columns,
                                                      const STablePlan& plan)
{
    // Grouped by the source's values; a column that every row gets the
    // same value (a filler, a DEFAULT) groups nothing apart. A key whose
    // columns are all NULL meets nothing (one NULL among values meets
    // the same NULL), and an identity is new in every row.
    SKeyGrouping grouping;
    for (const std::string& column : columns)
    {
        const auto planned = std::find_if(plan.columns.begin(), plan.columns.end(),
                                          [&](const SColumnPlan& c) { return c.name == column; });
        if (planned == plan.columns.end())
            grouping.mayRepeat = false;
        else if (planned->value == EColumnValue::Source)
        {
            const SSourceColumn& from = plan.source[static_cast<size_t>(planned->sourceIndex)];
            const std::string source = SqlIdentifier(from.name);
            // NONE text means characters only in its code page.
            const std::string read =
                planned->legacyText && IsCharacterSetName(m_settings.sourceCharset) && !from.info.blob
                    ? "CAST(" + source + " AS " + TextType(from.info) + " CHARACTER SET " + m_settings.sourceCharset +
                          ")"
                    : source;
            const std::string compared = ComparedAsInDestination(table, read, planned->dest);
            grouping.grouped +=
                (grouping.grouped.empty() ? "" : ", ") + ConvertedForKey(compared, from.info, planned->dest);
            grouping.groupedAsStored += (grouping.groupedAsStored.empty() ? "" : ", ") + compared;
            grouping.present += (grouping.present.empty() ? "" : " OR ") + source + " IS NOT NULL";
        }
        else if (planned->value != EColumnValue::Filler &&
                 !(planned->value == EColumnValue::LeftOut && planned->dest.identitySequence.empty()))
            grouping.mayRepeat = false;
    }
    return grouping;
}

long long CTableChecker::CountRepeatedKeys(const std::string& sourceTable, const SKeyGrouping& grouping)
{
    const std::string table = SqlIdentifier(sourceTable);
    const auto sql = [&](const std::string& by) {
        return by.empty() ? "SELECT IIF(COUNT(*) > 1, COUNT(*) - 1, 0) FROM " + table
                          : "SELECT SUM(N - 1) FROM (SELECT COUNT(*) AS N FROM " + table + " WHERE (" +
                                grouping.present + ") GROUP BY " + by + " HAVING COUNT(*) > 1)";
    };
    CStringGrid count;
    int failure = 0;
    m_source.Execute(sql(grouping.grouped), failure, &count);
    // A value that does not convert fails its row by a finding of its
    // own; the others still meet as stored.
    if (failure != 0 && grouping.grouped != grouping.groupedAsStored)
        m_source.Execute(sql(grouping.groupedAsStored), failure, &count);
    return failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
}

void CTableChecker::CheckDuplicateExpressionKeys(STableCheck& check, const std::string& sourceTable)
{
    // A unique index on an expression (UPPER(NAME), A + B): the source's rows
    // grouped by the same expression over its columns of those names. One
    // the source cannot evaluate (a column it lacks) says nothing.
    CStringGrid indexes;
    int failure = 0;
    m_dest.Execute("SELECT rdb$index_name, rdb$expression_source FROM rdb$indices WHERE rdb$relation_name = '" +
                       EscapeSqlString(check.table) +
                       "' AND rdb$unique_flag = 1 AND COALESCE(rdb$index_inactive, 0) = 0"
                       " AND rdb$expression_blr IS NOT NULL",
                   failure, &indexes, nullptr, EValueForm::Exact);
    for (int r = 0; failure == 0 && r < indexes.RowCount(); ++r)
    {
        const std::string expression = indexes.GetCell(1, r);
        if (expression.empty() || expression.find(';') != std::string::npos)
            continue;
        CStringGrid count;
        int failed = 0;
        m_source.Execute("SELECT SUM(N - 1) FROM (SELECT COUNT(*) AS N FROM " + SqlIdentifier(sourceTable) + " WHERE " +
                             expression + " IS NOT NULL GROUP BY " + expression + " HAVING COUNT(*) > 1)",
                         failed, &count);
        const long long repeated = failed == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
        if (repeated > 0)
            Add(check, EKind::DuplicateKeys, ECheckSeverity::Fails, TrimSpaces(expression), repeated,
                TrimSpaces(indexes.GetCell(0, r)));
    }
}
