// The check that shows what a copy will do before anything is written: for
// every table the plan of its columns and one aggregate query over its
// source rows that counts what would be lost, rounded or refused.
#include "copy/check/CopyCheck.h"

#include "copy/check/CTableChecker.h"
#include "copy/plan/CRunPlan.h"
#include "db/CFbConnection.h"

#include <algorithm>

namespace
{
using EKind = SCheckFinding::EKind;

bool Refuses(const STableCheck& check)
{
    return std::any_of(check.findings.begin(), check.findings.end(), [](const SCheckFinding& finding) {
        return finding.kind == EKind::NeedsDefault || finding.kind == EKind::Unreadable ||
               finding.kind == EKind::NotATable || finding.kind == EKind::ReachesOthers;
    });
}

// A group is emptied and filled as a whole: one table it cannot refill
// keeps every table of the group from being copied.
void RefuseGroupsOfRefusedTables(const SRunPlan& plan, SCheckReport& report)
{
    for (const STableGroup& group : plan.groups)
    {
        std::string refusing;
        for (const STableCheck& check : report.tables)
        {
            const bool member =
                std::find(group.fillOrder.begin(), group.fillOrder.end(), check.table) != group.fillOrder.end();
            if (member && check.sourceRows > 0 && Refuses(check))
                refusing += (refusing.empty() ? "" : ", ") + check.table;
        }
        if (refusing.empty())
            continue;
        for (STableCheck& check : report.tables)
        {
            const bool member =
                std::find(group.fillOrder.begin(), group.fillOrder.end(), check.table) != group.fillOrder.end();
            if (!member || Refuses(check))
                continue;
            check.findings.push_back({EKind::GroupRefused, ECheckSeverity::Fails, "", -1, refusing});
            check.severity = ECheckSeverity::Fails;
        }
    }
}
} // namespace

bool LeavesTableUncopied(const STableCheck& table)
{
    using EKind = SCheckFinding::EKind;
    for (const SCheckFinding& finding : table.findings)
    {
        switch (finding.kind)
        {
        case EKind::NeedsDefault:
        case EKind::Unreadable:
        case EKind::NotATable:
        case EKind::ReachesOthers:
        case EKind::GroupRefused: return true;
        default: break;
        }
    }
    return false;
}

int SCheckReport::Count(ECheckSeverity severity) const
{
    return static_cast<int>(std::count_if(tables.begin(), tables.end(),
                                          [&](const STableCheck& table) { return table.severity == severity; }));
}

SCheckReport CheckCopy(const SRunSettings& settings, const std::vector<std::string>& tables)
{
    SCheckReport report;
    CFbConnection source(settings.attempts);
    CFbConnection dest(settings.attempts);
    if (!source.Connect(settings.source.user, settings.source.password, settings.source.database))
    {
        report.error = source.LastErrorMessage();
        return report;
    }
    if (!dest.Connect(settings.dest.user, settings.dest.password, settings.dest.database))
    {
        report.error = dest.LastErrorMessage();
        return report;
    }
    report.checked = true;
    const SRunPlan plan = PlanRunIn(dest, tables);
    Checking::CTableChecker checker(settings, source, dest, plan, tables);
    for (const std::string& table : tables)
        report.tables.push_back(checker.Check(table));

    RefuseGroupsOfRefusedTables(plan, report);
    source.Disconnect();
    dest.Disconnect();
    return report;
}

void NoteUnfinishedTables(SCheckReport& report, const std::vector<std::string>& unfinished)
{
    for (STableCheck& table : report.tables)
    {
        if (std::find(unfinished.begin(), unfinished.end(), table.table) == unfinished.end())
            continue;
        table.findings.insert(table.findings.begin(),
                              {SCheckFinding::EKind::Unfinished, ECheckSeverity::Warning, "", -1, ""});
        if (table.severity == ECheckSeverity::Fine)
            table.severity = ECheckSeverity::Warning;
    }
}
