// The check of one table: its columns' plan, what each column gets, and one
// aggregate query over its source rows counting what they would lose.
#include "copy/check/CTableChecker.h"

#include "copy/write/SharedGenerators.h"
#include "db/CFbCursor.h"
#include "db/FieldTypes.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

#include <algorithm>
#include <cstdlib>
#include <set>

using namespace Checking;

namespace
{
// Rows a copy moves per second, for the estimate (measured by copy_bench:
// embedded about 180,000, through a server about 90,000), and what every
// table costs besides its rows.
constexpr double EmbeddedRowsPerSecond = 150000;
constexpr double ServerRowsPerSecond = 60000;
constexpr double SecondsPerTable = 0.05;
} // namespace

CTableChecker::CTableChecker(const SRunSettings& settings, CFbConnection& source, CFbConnection& dest,
                             const SRunPlan& plan, const std::vector<std::string>& runTables)
    : m_settings(settings), m_source(source), m_dest(dest), m_plan(plan), m_runTables(runTables)
{
    GetUserTables(m_source, m_sourceTables);
    GetUserTables(m_dest, m_destTables);
    GetForeignKeys(m_dest, m_keys);
    CStringGrid mode;
    int failure = 0;
    m_dest.Execute("SELECT mon$read_only FROM mon$database", failure, &mode);
    m_bDestReadOnly = failure == 0 && mode.RowCount() == 1 && mode.GetCellInt(0, 0) != 0;
}

std::string CTableChecker::SourceSpelling(const std::string& table) const
{
    const std::vector<std::string> spellings = TableSpellings(m_sourceTables, table);
    return spellings.size() == 1 ? spellings.front() : std::string();
}

STableCheck CTableChecker::Check(const std::string& table)
{
    STableCheck check;
    check.table = table;
    const std::string sourceTable = CheckedSourceTable(check);
    if (sourceTable.empty())
        return check;
    SColumns columns;
    const STablePlan plan = PlanColumns(check, sourceTable, columns);
    if (plan.carriesNothing)
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1,
            "the destination table has no column of the source table");
        return check;
    }
    std::vector<SCount> counts;
    CheckColumns(check, sourceTable, plan, columns, counts);
    CountRows(check, sourceTable, counts);
    CheckParentKeys(check, sourceTable);
    CheckDuplicateKeys(check, sourceTable, plan);
    CheckConstraints(check, sourceTable, plan);
    AddPlanFindings(check);
    CheckReachedTables(check);
    AddSteps(check, sourceTable, columns.dest);
    const double rate = m_source.IsInProcess() && m_dest.IsInProcess() ? EmbeddedRowsPerSecond : ServerRowsPerSecond;
    check.estimatedSeconds = SecondsPerTable + static_cast<double>(check.sourceRows) / rate;
    return check;
}

std::string CTableChecker::CheckedSourceTable(STableCheck& check)
{
    const std::string& table = check.table;
    if (m_bDestReadOnly)
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1, "the destination database is read-only");
        return {};
    }
    const std::string sourceTable = SourceSpelling(table);
    if (sourceTable.empty())
    {
        const std::vector<std::string> spellings = TableSpellings(m_sourceTables, table);
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1,
            spellings.empty() ? "the source has no table " + table : AmbiguousTableMessage(table, spellings));
        return {};
    }
    CStringGrid total;
    int failure = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable), failure, &total);
    check.sourceRows = failure == 0 && total.RowCount() == 1 ? total.GetCellInt(0, 0) : 0;
    if (failure != 0)
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1, m_source.LastErrorMessage());
        return {};
    }
    if (check.sourceRows == 0)
    {
        // As the copy does: an empty source leaves the destination alone.
        Add(check, EKind::SourceEmpty, ECheckSeverity::Fine, "", 0, "");
        return {};
    }
    if (std::find(m_destTables.begin(), m_destTables.end(), table) == m_destTables.end())
    {
        Add(check, EKind::NotATable, ECheckSeverity::Fails, "", -1, "the destination has no table " + table);
        return {};
    }
    return sourceTable;
}

STablePlan CTableChecker::PlanColumns(STableCheck& check, const std::string& sourceTable, SColumns& columns)
{
    std::string error;
    GetColumnInfo(m_source, sourceTable, columns.source);
    GetColumnInfo(m_dest, check.table, columns.dest);
    DescribeResultTypes(m_source, "SELECT * FROM " + SqlIdentifier(sourceTable), columns.described, error);
    std::set<std::string> deferred;
    for (const SDeferredColumns& entry : m_plan.deferred)
    {
        if (entry.table != check.table)
            continue;
        deferred.insert(entry.columns.begin(), entry.columns.end());
        for (const std::string& column : entry.columns)
            Add(check, EKind::Deferred, ECheckSeverity::Fine, column, -1, entry.constraint);
    }
    return BuildTablePlan(check.table, MatchSourceColumns(columns.described, columns.source), columns.dest, deferred);
}

// What each column of the destination gets and what the rows hold.
void CTableChecker::CheckColumns(STableCheck& check, const std::string& sourceTable, const STablePlan& plan,
                                 const SColumns& columns, std::vector<SCount>& counts)
{
    STextReading reading;
    reading.declared.bytesColumns = TextIntoBytesColumns(columns.source, columns.dest);
    PlanDeclaredUnmappedBytes(m_source, columns.source, columns.dest, reading.declared, reading.declaredCharsets);
    for (size_t i = 0; i < plan.columns.size(); ++i)
    {
        const SColumnPlan& column = plan.columns[i];
        const SColumnInfo& dest = columns.dest[i];
        switch (column.value)
        {
        case EColumnValue::Source: {
            const auto index = static_cast<size_t>(column.sourceIndex);
            if (!IsKnownSqlType(columns.described[index].sqlType))
                Add(check, EKind::Unreadable, ECheckSeverity::Fails, column.name, -1,
                    FieldTypeName(columns.source[index]));
            else
                CheckSourceColumn(check, sourceTable, column, columns.source[index], dest, reading, counts);
            break;
        }
        case EColumnValue::LeftOut:
            Add(check, EKind::Receives, ECheckSeverity::Fine, column.name, -1,
                dest.identitySequence.empty() ? "DEFAULT" : "IDENTITY");
            break;
        case EColumnValue::Filler:
            Add(check, EKind::Receives, ECheckSeverity::Fine, column.name, -1, column.fillerLiteral);
            break;
        case EColumnValue::Null:
            if (dest.nullable)
                Add(check, EKind::Receives, ECheckSeverity::Fine, column.name, -1, "NULL");
            else
                Add(check, EKind::NeedsDefault, ECheckSeverity::Fails, column.name, -1, TypeText(dest));
            break;
        default: break;
        }
    }
    for (const SColumnInfo& source : columns.source)
    {
        // The destination column the source's is carried into, as the plan
        // matches them (see FindColumnNamed).
        const SColumnInfo* dest = nullptr;
        for (const SColumnInfo& column : columns.dest)
        {
            if (FindColumnNamed(columns.source, column.name) == &source)
                dest = &column;
        }
        // A column the destination computes takes no value either.
        if (!source.computed && (!dest || dest->computed))
            counts.push_back({"COUNT(" + SqlIdentifier(source.name) + ")", "",
                              !dest ? EKind::DroppedData : EKind::ComputedData, ECheckSeverity::Warning, source.name,
                              TypeText(source)});
    }
}

void CTableChecker::CheckSourceColumn(STableCheck& check, const std::string& sourceTable, const SColumnPlan& column,
                                      const SColumnInfo& from, const SColumnInfo& dest, STextReading& reading,
                                      std::vector<SCount>& counts)
{
    const bool legacyTextKnown = !m_settings.sourceCharset.empty();
    AddCountsOfColumn(from, dest, counts);
    CheckApproximateNumbers(check, sourceTable, from, dest);
    if (MayFailToConvert(from, dest))
    {
        const long long rows = CountFailedConversions(sourceTable, from, dest);
        if (rows != 0)
            Add(check, EKind::NotConvertible, ECheckSeverity::Fails, column.name, rows, TypeText(dest));
    }
    if (column.legacyText && !legacyTextKnown)
    {
        const long long rows = CountLegacyText(sourceTable, from, dest);
        if (rows != 0)
            Add(check, EKind::LegacyText, ECheckSeverity::Fails, column.name, rows, "");
    }
    CheckCharacterSets(check, sourceTable, column, from, dest);
    CheckUnmappedBytes(check, sourceTable, column, from, reading);
}

void CTableChecker::CheckCharacterSets(STableCheck& check, const std::string& sourceTable, const SColumnPlan& column,
                                       const SColumnInfo& from, const SColumnInfo& dest)
{
    const bool legacyTextKnown = !m_settings.sourceCharset.empty();
    // Into UTF-8 every character goes; into another character set
    // only those it has.
    if (IsText(from) && IsText(dest) && from.characterSetId > 1 && dest.characterSetId > 4 &&
        from.characterSetId != dest.characterSetId)
    {
        const long long rows = CountUnstorableText(sourceTable, from, dest);
        if (rows != 0)
            Add(check, EKind::NotInCharacterSet, ECheckSeverity::Fails, column.name, rows,
                DestCharacterSet(dest.characterSetId));
    }
    // Bytes become text of the destination's set only where they
    // are valid in it, and NONE text read in the code page only
    // with characters the destination's set has.
    const std::string destSet = IsText(dest) && dest.characterSetId > 1 && dest.characterSetId != 4 &&
                                        dest.characterSetId != 3 && dest.dimensions == 0
                                    ? DestCharacterSet(dest.characterSetId)
                                    : std::string(dest.characterSetId == 4 ? "UTF8" : "");
    if (!destSet.empty() && dest.fieldType != FieldBlob && from.dimensions == 0 &&
        ((from.characterSetId == 1 && IsText(from) && from.fieldType != FieldBlob) ||
         (column.legacyText && legacyTextKnown && destSet != "UTF8")))
    {
        std::vector<std::string> steps{"TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(from.name)};
        if (column.legacyText)
            steps.push_back(TextType(from) + " CHARACTER SET " + m_settings.sourceCharset);
        steps.push_back(TextType(dest) + " CHARACTER SET " + destSet);
        // A pattern of text finds nothing in OCTETS: all its bytes are tried.
        const std::string where =
            SqlIdentifier(from.name) + (column.legacyText ? NotAscii : std::string(" IS NOT NULL"));
        const long long rows = IsCharacterSetName(m_settings.sourceCharset) || !column.legacyText
                                   ? CountRefusedValues(sourceTable, from.name, steps, where)
                                   : -1;
        if (rows != 0)
            Add(check, EKind::NotInCharacterSet, ECheckSeverity::Fails, column.name, rows, destSet);
    }
}

void CTableChecker::CheckUnmappedBytes(STableCheck& check, const std::string& sourceTable, const SColumnPlan& column,
                                       const SColumnInfo& from, STextReading& reading)
{
    const bool legacyTextKnown = !m_settings.sourceCharset.empty();
    if (column.legacyText && legacyTextKnown)
    {
        const long long rows = CountUnmappedBytes(sourceTable, from);
        if (rows != 0)
            Add(check, EKind::UnmappedBytes, ECheckSeverity::Fails, column.name, rows, m_settings.sourceCharset);
    }
    const auto unmapped = reading.declared.declaredUnmapped.find(from.name);
    if (unmapped == reading.declared.declaredUnmapped.end())
        return;
    CStringGrid count;
    int failed = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable) + " WHERE " +
                         HoldsAnyByte(SqlIdentifier(from.name), unmapped->second),
                     failed, &count);
    const long long rows = failed == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : -1;
    if (rows != 0)
        Add(check, EKind::UnmappedBytes, ECheckSeverity::Fails, column.name, rows, reading.declaredCharsets[from.name]);
}

void CTableChecker::CountRows(STableCheck& check, const std::string& sourceTable, const std::vector<SCount>& counts)
{
    if (counts.empty())
        return;
    std::string sql;
    for (const SCount& count : counts)
        sql += (sql.empty() ? "SELECT " : ", ") + count.expression;
    CStringGrid values;
    int failure = 0;
    const std::string from = " FROM " + SqlIdentifier(sourceTable);
    m_source.Execute(sql + from, failure, &values);
    const bool together = failure == 0 && values.RowCount() == 1;
    for (size_t c = 0; c < counts.size(); ++c)
    {
        // One value the server cannot evaluate fails the query of all
        // counts: they are then made one by one, so that one hides no
        // other, and a count the server cannot make is said as such.
        long long rows = -1;
        if (together)
            rows = values.GetCellInt(static_cast<int>(c), 0);
        else
        {
            CStringGrid alone;
            m_source.Execute("SELECT " + counts[c].expression + from, failure, &alone);
            if (failure == 0 && alone.RowCount() == 1)
                rows = alone.GetCellInt(0, 0);
        }
        if (rows != 0)
            Add(check, counts[c].kind, counts[c].severity, counts[c].column, rows, counts[c].detail);
    }
}

// What the run's plan already knows: rows of a key cycle wait for each
// other, and a CHECK that cannot wait refuses rows not yet matched.
void CTableChecker::AddPlanFindings(STableCheck& check)
{
    if (std::find(m_plan.unbreakable.begin(), m_plan.unbreakable.end(), check.table) != m_plan.unbreakable.end())
        Add(check, EKind::Cycle, ECheckSeverity::Fails, "", -1, Joined(m_plan.unbreakable, ", "));
    for (const SCheckRead& read : m_plan.undeferredChecks)
    {
        if (read.checkedTable == check.table)
            Add(check, EKind::UndeferredCheck, ECheckSeverity::Warning, read.readTable + "." + read.readColumn, -1,
                read.constraint);
    }
}

void CTableChecker::CheckReachedTables(STableCheck& check)
{
    // As the copy's emptying: rows of a table it does not empty first that
    // refer to this one keep it from being emptied, whether their key
    // refuses the DELETE or its ON DELETE rule would delete or change them.
    // A table of the run is emptied first only when its source has rows.
    for (const SForeignKey& key : m_keys)
    {
        if (key.parentTable != check.table || key.childTable == check.table)
            continue;
        const std::string childSource = SourceSpelling(key.childTable);
        if (std::find(m_runTables.begin(), m_runTables.end(), key.childTable) != m_runTables.end() &&
            !childSource.empty())
        {
            int failure = 0;
            CStringGrid rows;
            m_source.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(childSource), failure, &rows);
            if (failure == 0 && rows.RowCount() > 0)
                continue;
        }
        bool found = false;
        if (FindReferringRow(m_dest, key, found) && found)
            Add(check, EKind::ReachesOthers, ECheckSeverity::Fails, "", -1,
                key.childTable + " (foreign key " + key.name + " ON DELETE " + key.deleteRule + ")");
    }
}

void CTableChecker::AddSteps(STableCheck& check, const std::string& sourceTable,
                             const std::vector<SColumnInfo>& destInfo)
{
    std::vector<std::string> triggers;
    if (GetActiveUserTriggers(m_dest, check.table, triggers) && !triggers.empty())
    {
        std::string names;
        for (const std::string& trigger : triggers)
            names += (names.empty() ? "" : ", ") + trigger;
        Add(check, EKind::Triggers, ECheckSeverity::Fine, "", -1, names);
    }
    CStringGrid destTriggers;
    CStringGrid sourceTriggers;
    if (m_dest.GetTableTriggers(check.table, destTriggers) && m_source.GetTableTriggers(sourceTable, sourceTriggers))
    {
        std::string generators;
        std::string kept;
        for (int r = 0; r < destTriggers.RowCount(); ++r)
        {
            // As the copy decides: a shared generator never goes back.
            SGeneratorStep step;
            if (!GeneratorStepOf(m_source, sourceTriggers, destTriggers, r, step))
                continue;
            std::vector<std::string> others;
            if (step.back && OtherGeneratorUsers(m_dest, step.generator, check.table, others) && !others.empty())
                kept += (kept.empty() ? "" : ", ") + step.generator + "=" + step.current + " (" + Joined(others, ", ") +
                        ")";
            else
                generators += (generators.empty() ? "" : ", ") + step.generator + "=" + step.value;
        }
        if (!generators.empty())
            Add(check, EKind::Generators, ECheckSeverity::Fine, "", -1, generators);
        if (!kept.empty())
            Add(check, EKind::GeneratorsKept, ECheckSeverity::Fine, "", -1, kept);
    }
    std::string identities;
    for (const SColumnInfo& column : destInfo)
    {
        if (!column.identitySequence.empty())
            identities += (identities.empty() ? "" : ", ") + column.name;
    }
    if (!identities.empty())
        Add(check, EKind::Identities, ECheckSeverity::Fine, "", -1, identities);
}
