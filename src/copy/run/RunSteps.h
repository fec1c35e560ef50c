#pragma once

#include "copy/plan/CRunPlan.h"
#include "copy/run/RunSettings.h"

#include <string>
#include <vector>

class CAbortSignal;
class CRunLogs;

// The steps of a run around its tables' copies, and the run log's entries
// about the run as a whole.

// The order of a run whose tables foreign keys or CHECKs join (see
// SRunPlan); an unreadable destination gives the list order.
SRunPlan PlanTables(const SRunSettings& settings, const std::vector<std::string>& tables);
// Logs what the plan cannot do (key cycles without a nullable key, CHECKs
// whose columns cannot wait), and the copies of the destination that killed
// runs left, which are kept.
void ReportPlan(CRunLogs& logs, const SRunPlan& plan, const std::vector<std::string>& killedRunCopies);
// The source rows of each table (one COUNT(*) each, counted by the
// server); -1 for a table that could not be counted. Stops counting once
// abort is raised, which also cancels the count in progress.
std::vector<long long> CountSourceRows(const SRunSettings& settings, const std::vector<std::string>& tables,
                                       CAbortSignal* abort = nullptr);
// Writes to the run log that a killed copy left tables unfinished.
void ReportUnfinished(CRunLogs& logs, const std::vector<std::string>& tables);
// Writes to the run log, under the table the run stopped after, that a stop
// request ended the run and which tables it did not start.
void ReportStopped(CRunLogs& logs, const std::string& lastTable, const std::vector<std::string>& notStarted);
// The run log's entry that an abort in table left the tables notStarted out.
void ReportAborted(CRunLogs& logs, const std::string& table, const std::vector<std::string>& notStarted);
