#include "copy/plan/CTableList.h"

#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace
{
constexpr size_t MaxTriggerText = 4095;

std::string Folded(const std::string& text)
{
    std::string folded = text;
    for (auto& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}
} // namespace

std::string BuildTriggerText(CStringGrid& triggers)
{
    std::string text;
    for (int j = 0; j < triggers.RowCount(); ++j)
    {
        if (triggers.GetCellInt(1, j) == 1)
            continue;
        text += " " + triggers.GetCell(0, j);
        const std::string generator = triggers.GetCell(2, j);
        if (!generator.empty())
            text += " (" + generator + "=" + triggers.GetCell(3, j) + ")";
    }
    // The list shows at most this much; a longer text is cut there.
    if (text.size() > MaxTriggerText)
        text.resize(MaxTriggerText);
    return text;
}

bool BuildTableList(int attempts, const SDatabaseLogin& source, const SDatabaseLogin& dest,
                    std::vector<STableListRow>& rows)
{
    rows.clear();
    // Tables only, on both sides: a view would pass the copy's DELETE and
    // INSERTs on to its tables with their triggers active, and a temporary
    // table forgets what it receives.
    CFbConnection connection(attempts);
    if (!connection.Connect(source.user, source.password, source.database))
        return false;
    std::vector<std::string> sourceNames;
    GetUserTables(connection, sourceNames);
    connection.Disconnect();
    if (!connection.Connect(dest.user, dest.password, dest.database))
        return false;
    std::vector<std::string> destNames;
    GetUserTables(connection, destNames);
    CStringGrid sourceTables;
    sourceTables.SetSize(1, static_cast<int>(sourceNames.size()));
    for (size_t i = 0; i < sourceNames.size(); ++i)
        sourceTables.SetCell(0, static_cast<int>(i), sourceNames[i]);
    for (const std::string& name : destNames)
    {
        if (name.empty() || sourceTables.FindRow(0, name, 1) < 0)
            continue;
        CStringGrid triggers;
        connection.GetTableTriggers(name, triggers);
        rows.push_back({name, BuildTriggerText(triggers)});
    }
    connection.Disconnect();
    return true;
}

void SortTableList(std::vector<STableListRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const STableListRow& a, const STableListRow& b) {
        const std::string foldedA = Folded(a.name);
        const std::string foldedB = Folded(b.name);
        return foldedA != foldedB ? foldedA < foldedB : a.name < b.name;
    });
}

STableChoice::EError FindListedTable(const std::vector<STableListRow>& rows, const std::string& name,
                                     std::vector<std::string>& matches)
{
    matches.clear();
    for (const STableListRow& row : rows)
    {
        if (row.name == name)
        {
            matches = {row.name};
            return STableChoice::EError::None;
        }
    }
    const std::string folded = Folded(name);
    for (const STableListRow& row : rows)
    {
        if (Folded(row.name) == folded)
            matches.push_back(row.name);
    }
    if (matches.empty())
        return STableChoice::EError::Unknown;
    return matches.size() == 1 ? STableChoice::EError::None : STableChoice::EError::Ambiguous;
}

STableChoice ChooseTables(const std::vector<STableListRow>& rows, bool includeAll,
                          const std::vector<std::string>& include, const std::vector<std::string>& exclude)
{
    STableChoice choice;
    std::set<std::string> included;
    std::set<std::string> excluded;
    for (const auto* names : {&include, &exclude})
    {
        for (const std::string& name : *names)
        {
            std::vector<std::string> matches;
            choice.error = FindListedTable(rows, name, matches);
            if (choice.error != STableChoice::EError::None)
            {
                choice.name = name;
                if (choice.error == STableChoice::EError::Ambiguous)
                    choice.candidates = matches;
                return choice;
            }
            (names == &include ? included : excluded).insert(matches.front());
        }
    }
    for (const STableListRow& row : rows)
    {
        if ((includeAll || included.count(row.name)) && !excluded.count(row.name))
            choice.tables.push_back(row.name);
    }
    return choice;
}
