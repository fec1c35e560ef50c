#include "copy/run/RunSteps.h"

#include "copy/logs/CRunLogs.h"
#include "copy/run/CAbortSignal.h"
#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cctype>

namespace
{
std::string FoldedCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The source's own spelling of a name the list matched regardless of case.
std::string SourceSpelling(const std::vector<std::string>& names, const std::string& table)
{
    if (std::find(names.begin(), names.end(), table) != names.end())
        return table;
    const auto same = std::find_if(names.begin(), names.end(), [&](const std::string& candidate) {
        return FoldedCase(candidate) == FoldedCase(table);
    });
    return same != names.end() ? *same : table;
}
} // namespace

SRunPlan PlanTables(const SRunSettings& settings, const std::vector<std::string>& tables)
{
    CFbConnection dest(settings.attempts);
    dest.Connect(settings.dest.user, settings.dest.password, settings.dest.database);
    return PlanRunIn(dest, tables);
}

void ReportPlan(CRunLogs& logs, const SRunPlan& plan, const std::vector<std::string>& killedRunCopies)
{
    // Kept where it lies; the log says where, as the front ends do.
    for (const std::string& copy : killedRunCopies)
    {
        logs.SetTable({});
        logs.WriteLog("WARNING: A copy that was ended before it finished left the destination database as it was "
                      "before that copy; it is kept",
                      copy);
    }
    if (!plan.unbreakable.empty())
    {
        logs.SetTable(plan.unbreakable.front());
        logs.WriteLog("ERROR: Foreign keys form a cycle that no nullable key can break",
                      Joined(plan.unbreakable, ", "));
    }
    for (const SCheckRead& check : plan.undeferredChecks)
    {
        logs.SetTable(check.checkedTable);
        logs.WriteLog("WARNING: CHECK constraint " + check.constraint + " reads " + check.readTable + "." +
                          check.readColumn +
                          ", which cannot wait until this table is filled (NOT NULL, or no primary key): rows it "
                          "refuses fail",
                      "");
    }
}

std::vector<long long> CountSourceRows(const SRunSettings& settings, const std::vector<std::string>& tables,
                                       CAbortSignal* abort)
{
    std::vector<long long> counts(tables.size(), -1);
    CFbConnection source(settings.attempts);
    if (!source.Connect(settings.source.user, settings.source.password, settings.source.database))
        return counts;
    {
        // A count of a big table takes the server a while: an abort cancels it.
        CAbortSignal none;
        CAbortSignal& signal = abort ? *abort : none;
        CAbortSignal::CRegistration cancelable(signal, {&source});
        std::vector<std::string> names;
        GetUserTables(source, names);
        for (size_t i = 0; i < tables.size() && !signal.Raised(); ++i)
        {
            CStringGrid rows;
            int failure = 0;
            source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(SourceSpelling(names, tables[i])), failure, &rows);
            if (failure == 0 && rows.RowCount() == 1)
                counts[i] = std::stoll("0" + rows.GetCell(0, 0));
        }
    }
    source.Disconnect();
    return counts;
}

void ReportUnfinished(CRunLogs& logs, const std::vector<std::string>& tables)
{
    for (const std::string& table : tables)
    {
        logs.SetTable(table);
        logs.WriteLog("WARNING: A copy into this database ended before it finished this table; it may hold other "
                      "rows than the source until it is copied again",
                      "");
    }
}

void ReportStopped(CRunLogs& logs, const std::string& lastTable, const std::vector<std::string>& notStarted)
{
    logs.SetTable(lastTable);
    logs.WriteLog("Copy stopped by the user after this table; not started: " + std::to_string(notStarted.size()) +
                      " table(s)",
                  Joined(notStarted, ", "));
}

void ReportAborted(CRunLogs& logs, const std::string& table, const std::vector<std::string>& notStarted)
{
    if (notStarted.empty())
        return;
    logs.SetTable(table);
    logs.WriteLog("Copy aborted by the user in this table; not started: " + std::to_string(notStarted.size()) +
                      " table(s)",
                  Joined(notStarted, ", "));
}
