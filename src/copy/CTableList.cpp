#include "copy/CTableList.h"

#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"

#include <algorithm>
#include <cctype>

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
