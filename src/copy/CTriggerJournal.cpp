#include "copy/CTriggerJournal.h"

#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "db/SqlText.h"

#include <cstdio>
#include <unistd.h>

// One line per entry: database, table and trigger names separated by tabs.
// Names and database paths hold no tab or line break that Firebird accepts
// in a name; such characters are escaped anyway so a line always reads back.
namespace
{
std::string Escape(const std::string& text)
{
    std::string escaped;
    for (char c : text)
    {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else
            escaped += c;
    }
    return escaped;
}

std::vector<std::string> SplitLine(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i)
    {
        const char c = line[i];
        if (c == '\t')
            fields.emplace_back();
        else if (c == '\\' && i + 1 < line.size())
        {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        }
        else
            fields.back() += c;
    }
    return fields;
}
} // namespace

std::vector<CTriggerJournal::SEntry> CTriggerJournal::Entries(const std::string& database) const
{
    std::vector<SEntry> entries;
    if (m_sPath.empty())
        return entries;
    const std::string content = ReadWholeFile(m_sPath);
    size_t start = 0;
    while (start < content.size())
    {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        const std::vector<std::string> fields = SplitLine(content.substr(start, end - start));
        start = end + 1;
        if (fields.size() < 3)
            continue; // a line cut short by a crash while writing
        SEntry entry{fields[0], fields[1], std::vector<std::string>(fields.begin() + 2, fields.end())};
        if (database.empty() || entry.database == database)
            entries.push_back(std::move(entry));
    }
    return entries;
}

bool CTriggerJournal::Write(const std::vector<SEntry>& entries) const
{
    // Written aside and renamed, so a crash leaves the old or the new journal whole.
    const std::string temporary = m_sPath + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    bool ok = true;
    for (const SEntry& entry : entries)
    {
        std::string line = Escape(entry.database) + "\t" + Escape(entry.table);
        for (const std::string& trigger : entry.triggers)
            line += "\t" + Escape(trigger);
        line += "\n";
        ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    ok = std::fflush(file) == 0 && ok;
    ok = ::fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
    {
        std::remove(temporary.c_str());
        return false;
    }
    if (entries.empty())
    {
        std::remove(temporary.c_str());
        std::remove(m_sPath.c_str());
        return true;
    }
    return std::rename(temporary.c_str(), m_sPath.c_str()) == 0;
}

bool CTriggerJournal::Record(const std::string& database, const std::string& table,
                             const std::vector<std::string>& triggers)
{
    if (m_sPath.empty() || triggers.empty())
        return true;
    std::vector<SEntry> entries = Entries();
    entries.push_back({database, table, triggers});
    return Write(entries);
}

bool CTriggerJournal::Remove(const std::string& database, const std::string& table)
{
    if (m_sPath.empty() || !FileExists(m_sPath))
        return true;
    std::vector<SEntry> kept;
    for (SEntry& entry : Entries())
    {
        if (entry.database != database || entry.table != table)
            kept.push_back(std::move(entry));
    }
    return Write(kept);
}

std::vector<CTriggerJournal::SEntry> RestoreJournalTriggers(CTriggerJournal& journal, const std::string& database,
                                                            const std::string& user, const std::string& password,
                                                            int attempts,
                                                            std::vector<CTriggerJournal::SEntry>* failed)
{
    std::vector<CTriggerJournal::SEntry> restored;
    const auto entries = journal.Entries(database);
    if (entries.empty())
        return restored;
    CFbConnection connection(attempts);
    if (!connection.Connect(user, password, database))
    {
        if (failed)
            *failed = entries;
        return restored;
    }
    for (const auto& entry : entries)
    {
        bool ok = true;
        for (const std::string& trigger : entry.triggers)
        {
            int failure = 0;
            connection.Execute("ALTER TRIGGER " + QuotedSqlIdentifier(trigger) + " ACTIVE;", failure);
            ok = ok && failure == 0;
        }
        if (ok)
        {
            journal.Remove(entry.database, entry.table);
            restored.push_back(entry);
        }
        else if (failed)
            failed->push_back(entry);
    }
    connection.Disconnect();
    return restored;
}
