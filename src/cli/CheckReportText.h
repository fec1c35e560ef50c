#pragma once

#include "copy/check/CopyCheck.h"

#include <string>
#include <vector>

class CLanguageCatalog;

// One line of a check report as the program shows it: a table's line with
// its state, or one of its findings below it.
struct SCheckReportLine
{
    bool table = false;
    ECheckSeverity severity = ECheckSeverity::Fine;
    std::string text;
};

// The report in the catalogue's language: a summary line, then each table
// and its findings.
std::vector<SCheckReportLine> CheckReportLines(const SCheckReport& report, CLanguageCatalog& catalog);
// The same as plain text, findings indented, for the command line.
std::string CheckReportText(const SCheckReport& report, CLanguageCatalog& catalog);
// One finding as the report words it.
std::string FindingText(const SCheckFinding& finding, CLanguageCatalog& catalog);
// "0.4 s" style estimates: whole seconds below two minutes, then minutes.
std::string DurationText(double seconds);
