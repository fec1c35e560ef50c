#include "copy/safety/CFailedTables.h"

#include "core/CFileLock.h"
#include "core/CReplacingFile.h"
#include "core/FileHelpers.h"
#include "core/TabFields.h"
#include "core/TextEncoding.h"

#include <algorithm>

// One line per destination, fields separated by tabs: the destination's
// identity (possibly empty), its name, then the tables. A tab, line break or
// backslash in a name is escaped, so a line always reads back.
namespace
{
bool Same(const std::string& identity, const std::string& name, const CTriggerJournal::SDatabase& database)
{
    if (!identity.empty() && !database.identity.empty())
        return identity == database.identity;
    return name == database.name;
}
} // namespace

std::vector<CFailedTables::SEntry> CFailedTables::Entries(const std::string& path)
{
    std::vector<SEntry> entries;
    for (const std::string& line : ReadRecordLines(path))
    {
        std::vector<std::string> fields = SplitTabFields(line);
        // A line without a table says nothing (or was cut short).
        if (fields.size() < 3 || fields[1].empty())
            continue;
        SEntry entry{fields[0], fields[1], {}};
        for (size_t i = 2; i < fields.size(); ++i)
        {
            if (!fields[i].empty())
                entry.tables.push_back(fields[i]);
        }
        if (!entry.tables.empty())
            entries.push_back(std::move(entry));
    }
    return entries;
}

bool CFailedTables::Store(const CTriggerJournal::SDatabase& database, const std::vector<std::string>& tables)
{
    return Replace(m_sPath, database, tables);
}

bool CFailedTables::Replace(const std::string& path, const CTriggerJournal::SDatabase& database,
                            const std::vector<std::string>& tables)
{
    if (path.empty())
        return true;
    const CFileLock lock(path);
    std::vector<SEntry> entries = Entries(path);
    std::vector<SEntry> kept;
    for (SEntry& entry : entries)
    {
        if (!Same(entry.identity, entry.database, database))
            kept.push_back(std::move(entry));
    }
    // Nothing to remove and nothing to add: the file stays as it is (or absent).
    if (tables.empty() && kept.size() == entries.size())
        return true;
    if (!tables.empty())
        kept.push_back({database.identity, database.name, tables});
    std::string content;
    for (const SEntry& entry : kept)
    {
        content += EscapeTabField(entry.identity) + "\t" + EscapeTabField(entry.database);
        for (const std::string& table : entry.tables)
            content += "\t" + EscapeTabField(table);
        content += "\n";
    }
    return ReplaceFileContents(Utf8ToWide(path), content, nullptr, CReplacingFile::EAccess::OwnerOnly);
}

bool CFailedTables::Find(const CTriggerJournal::SDatabase& database, std::vector<std::string>& tables) const
{
    return Lookup(m_sPath, database, tables);
}

bool CFailedTables::Lookup(const std::string& path, const CTriggerJournal::SDatabase& database,
                           std::vector<std::string>& tables)
{
    tables.clear();
    if (path.empty())
        return false;
    for (const SEntry& entry : Entries(path))
    {
        if (Same(entry.identity, entry.database, database))
        {
            tables = entry.tables;
            return true;
        }
    }
    return false;
}

bool CFailedTables::NoteUnfinished(const CTriggerJournal::SDatabase& database, const std::vector<std::string>& tables)
{
    std::vector<std::string> noted = Unfinished(database);
    for (const std::string& table : tables)
    {
        if (std::find(noted.begin(), noted.end(), table) == noted.end())
            noted.push_back(table);
    }
    return Replace(UnfinishedPath(), database, noted);
}

bool CFailedTables::ClearUnfinished(const CTriggerJournal::SDatabase& database)
{
    return Replace(UnfinishedPath(), database, {});
}

std::vector<std::string> CFailedTables::Unfinished(const CTriggerJournal::SDatabase& database) const
{
    std::vector<std::string> tables;
    Lookup(UnfinishedPath(), database, tables);
    return tables;
}

std::vector<std::string> CFailedTables::ToRetry(const CTriggerJournal::SDatabase& database) const
{
    std::vector<std::string> tables;
    Find(database, tables);
    for (const std::string& table : Unfinished(database))
    {
        if (std::find(tables.begin(), tables.end(), table) == tables.end())
            tables.push_back(table);
    }
    return tables;
}
