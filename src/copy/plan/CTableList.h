#pragma once

#include "copy/run/RunSettings.h"
#include "core/CStringGrid.h"

#include <string>
#include <vector>

// One row of the table list: a table present in both databases, under the
// destination's spelling, and the text describing its triggers.
struct STableListRow
{
    std::string name;
    std::string triggers;
};

// The tables of the destination that also exist in the source (names
// compared with ASCII letters folded), in the destination's order, each with
// its trigger text. False when either database cannot be attached.
bool BuildTableList(int attempts, const SDatabaseLogin& source, const SDatabaseLogin& dest,
                    std::vector<STableListRow>& rows);
// " T_BI (GEN_T=17) T_AU": the user triggers of a trigger grid with the
// generator each one uses and its value.
std::string BuildTriggerText(CStringGrid& triggers);
// Sorts rows ascending by name as the table list shows them (letter case
// ignored, then byte order).
void SortTableList(std::vector<STableListRow>& rows);

// The rows a command line chooses, or why it cannot choose them.
struct STableChoice
{
    enum class EError
    {
        None,
        Unknown,   // a name that is no table of the list
        Ambiguous, // a name that fits several tables but none exactly
    };
    EError error = EError::None;
    std::string name;                    // the name at fault
    std::vector<std::string> candidates; // the tables an ambiguous name fits
    std::vector<std::string> tables;     // the chosen tables, in list order
};

// Finds a name among the rows as the list compares names: the exact
// spelling first, else the one row that matches with ASCII letters folded.
STableChoice::EError FindListedTable(const std::vector<STableListRow>& rows, const std::string& name,
                                     std::vector<std::string>& matches);
// The rows named in include (every row when includeAll), less those named
// in exclude, in list order. Every name must find its table.
STableChoice ChooseTables(const std::vector<STableListRow>& rows, bool includeAll,
                          const std::vector<std::string>& include, const std::vector<std::string>& exclude);
