#pragma once

#include "copy/run/RunSettings.h"
#include "copy/verify/CTableVerifier.h"

#include <string>
#include <vector>

struct STableComparison
{
    std::string table;
    STableVerification result;
};

struct SCompareReport
{
    bool compared = false; // false: a database could not be read (error says why)
    std::string error;
    std::vector<STableComparison> tables;

    bool Identical() const;
};

// Compares the tables (present in both databases) without copying: every
// column both have, the source read as the destination's types. Writes to
// neither database; works for databases filled by any tool.
SCompareReport CompareTables(const SRunSettings& settings, const std::vector<std::string>& tables);
// The report as lines of text, as the run log words the verification.
std::string CompareReportText(const SCompareReport& report);
// What the run log says of one table's verification: the result line and
// the differing, missing and extra rows, as (message, detail) pairs.
std::vector<std::pair<std::string, std::string>> VerificationEntries(const STableVerification& result,
                                                                     int failedInserts);
