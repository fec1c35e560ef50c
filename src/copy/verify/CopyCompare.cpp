#include "copy/verify/CopyCompare.h"

#include "copy/logs/CRunLogs.h"
#include "copy/plan/TablePlan.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cctype>

bool SCompareReport::Identical() const
{
    return compared && std::all_of(tables.begin(), tables.end(),
                                   [](const STableComparison& table) { return table.result.Identical(); });
}

std::vector<std::pair<std::string, std::string>> VerificationEntries(const STableVerification& result,
                                                                     int failedInserts)
{
    std::vector<std::pair<std::string, std::string>> entries;
    if (!result.ran)
    {
        entries.emplace_back("ERROR: Verification could not read the rows", CRunLogs::OneLine(result.error));
        return entries;
    }
    // Said with every result: "identical" would claim the arrays too.
    std::string notCompared = result.notCompared.empty() ? ""
                                                         : "the elements of the arrays " +
                                                               Joined(result.notCompared, ", ") + " are not compared";
    if (!result.computedInDestination.empty())
        notCompared += (notCompared.empty() ? "" : "; ") + std::string("the values of ") +
                       Joined(result.computedInDestination, ", ") + " are computed by the destination and not compared";
    if (result.Identical())
    {
        entries.emplace_back("Verified: " + std::to_string(result.identical) + " rows identical", notCompared);
        return entries;
    }
    std::string detail = std::to_string(result.identical) + " rows identical, " + std::to_string(result.differing) +
                         " differing, " + std::to_string(result.missing + result.refused) + " missing, " +
                         std::to_string(result.extra) + " extra";
    if (failedInserts > 0)
        detail += "; " + std::to_string(failedInserts) + " rows failed to insert and are among the missing";
    if (!notCompared.empty())
        detail += "; " + notCompared;
    entries.emplace_back("ERROR: Verification found " + std::to_string(result.Differences()) + " differences", detail);
    for (const SVerifyDifference& difference : result.differences)
        entries.emplace_back("Difference", difference.key + ", " + difference.column + ": " + difference.source +
                                               " in the source, " + difference.dest + " in the destination");
    for (const std::string& key : result.missingKeys)
        entries.emplace_back("Missing in the destination", key);
    if (result.refused > 0)
        entries.emplace_back("Missing in the destination",
                             std::to_string(result.refused) + " rows whose values the destination's types refuse");
    for (const std::string& key : result.extraKeys)
        entries.emplace_back("Extra in the destination", key);
    return entries;
}

SCompareReport CompareTables(const SRunSettings& settings, const std::vector<std::string>& tables)
{
    SCompareReport report;
    CFbConnection source(settings.attempts);
    CFbConnection dest(settings.attempts);
    if (!source.Connect(settings.source.user, settings.source.password, settings.source.database) ||
        !dest.Connect(settings.dest.user, settings.dest.password, settings.dest.database))
    {
        report.error = source.IsConnected() ? dest.LastErrorMessage() : source.LastErrorMessage();
        return report;
    }
    report.compared = true;
    std::vector<std::string> sourceTables;
    GetUserTables(source, sourceTables);
    for (const std::string& table : tables)
    {
        // The source's own spelling of the name, as the copy takes it; a name
        // that fits several of its tables compares none of them.
        const std::vector<std::string> spellings = TableSpellings(sourceTables, table);
        if (spellings.size() > 1)
        {
            STableVerification unread;
            unread.error = AmbiguousTableMessage(table, spellings);
            report.tables.push_back({table, unread});
            continue;
        }
        const std::string sourceTable = spellings.empty() ? table : spellings.front();
        std::vector<SColumnInfo> sourceInfo;
        std::vector<SColumnInfo> destInfo;
        // Columns that cannot be read leave nothing to compare: that is no
        // proof of identical tables.
        if (!GetColumnInfo(source, sourceTable, sourceInfo) || !GetColumnInfo(dest, table, destInfo) ||
            sourceInfo.empty() || destInfo.empty())
        {
            STableVerification unread;
            unread.error =
                !source.IsConnected() || sourceInfo.empty() ? source.LastErrorMessage() : dest.LastErrorMessage();
            if (unread.error.empty())
                unread.error = "The columns of the table cannot be read";
            report.tables.push_back({table, unread});
            continue;
        }
        std::vector<SVerifyColumn> columns;
        std::vector<std::string> computed;
        for (const SColumnInfo& column : destInfo)
        {
            const SColumnInfo* from = FindColumnNamed(sourceInfo, column.name);
            if (from && column.computed && !from->computed)
                computed.push_back(column.name);
            if (!from || column.computed)
                continue;
            const bool legacy = from->characterSetId == 0 && column.characterSetId > 1;
            columns.push_back({*from, column, legacy ? settings.sourceCharset : ""});
        }
        report.tables.push_back({table, VerifyTable(source, dest, sourceTable, table, columns)});
        report.tables.back().result.computedInDestination = computed;
    }
    return report;
}

std::string CompareReportText(const SCompareReport& report)
{
    if (!report.compared)
        return "The databases could not be compared: " + CRunLogs::OneLine(report.error) + "\n";
    std::string text;
    for (const STableComparison& table : report.tables)
    {
        for (const auto& [message, detail] : VerificationEntries(table.result, 0))
            text += table.table + ": " + message + (detail.empty() ? "" : " (" + detail + ")") + "\n";
    }
    return text;
}
