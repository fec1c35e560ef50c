#pragma once

// The check of one table of a run: what its copy would lose, round or refuse.
#include "copy/check/ColumnCounts.h"
#include "copy/check/CopyCheck.h"
#include "copy/plan/CRunPlan.h"
#include "copy/plan/TablePlan.h"
#include "copy/read/SourceSelect.h"
#include "db/CFbConnection.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Checking
{
class CTableChecker
{
  public:
    CTableChecker(const SRunSettings& settings, CFbConnection& source, CFbConnection& dest, const SRunPlan& plan,
                  const std::vector<std::string>& runTables);

    STableCheck Check(const std::string& table);

  private:
    // Both sides' columns of the table.
    struct SColumns
    {
        std::vector<SColumnInfo> source;
        std::vector<SColumnInfo> dest;
        std::vector<SResultColumn> described; // the source's SELECT *
    };
    // How the source's text columns are read: as bytes, or with bytes that
    // stand for no character of their declared set.
    struct STextReading
    {
        SSourceSelectOptions declared;
        std::map<std::string, std::string> declaredCharsets;
    };

    std::string SourceSpelling(const std::string& table) const;
    void Add(STableCheck& check, EKind kind, ECheckSeverity severity, const std::string& column, long long rows,
             const std::string& detail) const
    {
        check.findings.push_back({kind, severity, column, rows, detail});
        check.severity = std::max(check.severity, severity);
    }
    // The steps of Check: whether there is anything to check (the source's
    // spelling of the table, or empty), the plan of its columns, what each
    // column gets, and the one query counting what the rows hold.
    std::string CheckedSourceTable(STableCheck& check);
    STablePlan PlanColumns(STableCheck& check, const std::string& sourceTable, SColumns& columns);
    void CheckColumns(STableCheck& check, const std::string& sourceTable, const STablePlan& plan,
                      const SColumns& columns, std::vector<SCount>& counts);
    void CheckSourceColumn(STableCheck& check, const std::string& sourceTable, const SColumnPlan& column,
                           const SColumnInfo& from, const SColumnInfo& dest, STextReading& reading,
                           std::vector<SCount>& counts);
    void CheckCharacterSets(STableCheck& check, const std::string& sourceTable, const SColumnPlan& column,
                            const SColumnInfo& from, const SColumnInfo& dest);
    void CheckUnmappedBytes(STableCheck& check, const std::string& sourceTable, const SColumnPlan& column,
                            const SColumnInfo& from, STextReading& reading);
    void CountRows(STableCheck& check, const std::string& sourceTable, const std::vector<SCount>& counts);
    void AddPlanFindings(STableCheck& check);

    void CheckParentKeys(STableCheck& check, const std::string& sourceTable);
    bool RefilledFromSource(const std::string& table);
    long long CountRowsWithoutSourceParent(const std::string& sourceTable, const SForeignKey& key);
    long long CountMissingDestParents(const std::string& sourceTable, const SForeignKey& key, bool& counted);
    void CheckDuplicateKeys(STableCheck& check, const std::string& sourceTable, const STablePlan& plan);
    void CheckDuplicateExpressionKeys(STableCheck& check, const std::string& sourceTable);
    // The source's rows grouped by a unique key's columns as the destination
    // will compare them, and how many of them meet beyond the first.
    struct SKeyGrouping;
    SKeyGrouping GroupingOf(const std::string& table, const std::vector<std::string>& columns, const STablePlan& plan);
    long long CountRepeatedKeys(const std::string& sourceTable, const SKeyGrouping& grouping);
    std::string ComparedAsInDestination(const std::string& table, const std::string& source, const SColumnInfo& dest);
    void CheckConstraints(STableCheck& check, const std::string& sourceTable, const STablePlan& plan);
    void CheckReachedTables(STableCheck& check);
    long long CountRefusedValues(const std::string& sourceTable, const std::string& column,
                                 const std::vector<std::string>& steps, const std::string& where);
    std::string DestCharacterSet(int id);
    // The rows whose text the server refuses on its way through steps into
    // the destination column's character set; -1 when that set is unknown.
    long long CountRefusedInDestSet(const std::string& sourceTable, const SColumnInfo& source, const SColumnInfo& dest,
                                    std::vector<std::string> steps);
    long long CountLegacyText(const std::string& sourceTable, const SColumnInfo& source, const SColumnInfo& dest);
    long long CountUnstorableText(const std::string& sourceTable, const SColumnInfo& source, const SColumnInfo& dest);
    long long CountUnmappedBytes(const std::string& sourceTable, const SColumnInfo& source);
    long long CountFailedConversions(const std::string& sourceTable, const SColumnInfo& source,
                                     const SColumnInfo& dest);
    long long CountChangedValues(const std::string& sourceTable, const std::string& column,
                                 const std::vector<std::string>& steps, size_t comparedWith, const std::string& where);
    void CheckApproximateNumbers(STableCheck& check, const std::string& sourceTable, const SColumnInfo& source,
                                 const SColumnInfo& dest);
    void AddSteps(STableCheck& check, const std::string& sourceTable, const std::vector<SColumnInfo>& destInfo);

    const SRunSettings& m_settings;
    CFbConnection& m_source;
    CFbConnection& m_dest;
    const SRunPlan& m_plan;
    const std::vector<std::string>& m_runTables;
    std::vector<std::string> m_sourceTables;
    std::vector<std::string> m_destTables;
    std::vector<SForeignKey> m_keys;
    std::optional<std::string> m_unmappedBytes; // of the source code page, once asked for
    bool m_bDestReadOnly = false;
};
} // namespace Checking
