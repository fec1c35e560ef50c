#pragma once

#include "copy/RunSettings.h"
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
