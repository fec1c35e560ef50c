#include "copy/safety/CTriggerJournal.h"

#include "core/CFileLock.h"
#include "core/FileHelpers.h"
#include "core/TabFields.h"
#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// One line per entry, fields separated by tabs: an empty first field, the
// owning process, the database's identity, the database's name, the table
// and its trigger names. Lines of older versions lack the first three
// fields and start with the database name, which is never empty. Names hold
// no tab or line break that Firebird accepts in a name; such characters are
// escaped anyway so a line always reads back.
namespace
{
// The start time of a process in clock ticks since boot (field 22 of its
// stat file), which tells a live process from a later one with its number.
std::string ProcessStart(pid_t pid)
{
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    // The command name in parentheses may hold spaces: fields count from its end.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    size_t at = close + 1;
    for (int field = 3; field < 22 && at != std::string::npos; ++field)
        at = stat.find(' ', at + 1);
    if (at == std::string::npos)
        return {};
    return stat.substr(at + 1, stat.find(' ', at + 1) - at - 1);
}

std::string HostName()
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

} // namespace

bool SameDatabase(const CTriggerJournal::SEntry& entry, const CTriggerJournal::SDatabase& database)
{
    if (!entry.identity.empty() && !database.identity.empty())
        return entry.identity == database.identity;
    return entry.database == database.name;
}

std::string CTriggerJournal::ThisProcess()
{
    const pid_t pid = ::getpid();
    return std::to_string(pid) + ":" + ProcessStart(pid) + "@" + HostName();
}

bool CTriggerJournal::IsAlive(const std::string& owner)
{
    const size_t colon = owner.find(':');
    const size_t at = owner.rfind('@');
    if (owner.empty() || colon == std::string::npos || at == std::string::npos || at < colon)
        return false;
    if (owner.substr(at + 1) != HostName())
        return true; // nothing here can tell
    const pid_t pid = static_cast<pid_t>(std::strtol(owner.substr(0, colon).c_str(), nullptr, 10));
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM))
        return false;
    return ProcessStart(pid) == owner.substr(colon + 1, at - colon - 1);
}

std::vector<CTriggerJournal::SEntry> CTriggerJournal::AllEntries() const
{
    std::vector<SEntry> entries;
    if (m_sPath.empty())
        return entries;
    for (const std::string& line : ReadRecordLines(m_sPath))
    {
        const std::vector<std::string> fields = SplitTabFields(line);
        const bool current = !fields.empty() && fields[0].empty();
        const size_t first = current ? 3 : 0;
        // A line cut short by a crash while writing, or a table without triggers.
        if (fields.size() < first + 2 || (fields.size() < first + 3 && !fields[first + 1].empty()))
            continue;
        SEntry entry;
        if (current)
        {
            entry.owner = fields[1];
            entry.identity = fields[2];
        }
        entry.database = fields[first];
        entry.table = fields[first + 1];
        entry.triggers.assign(fields.begin() + static_cast<std::ptrdiff_t>(first + 2), fields.end());
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<CTriggerJournal::SEntry> CTriggerJournal::Entries(const SDatabase& database) const
{
    std::vector<SEntry> entries;
    for (SEntry& entry : AllEntries())
    {
        if (!entry.table.empty() && (database.name.empty() || SameDatabase(entry, database)))
            entries.push_back(std::move(entry));
    }
    return entries;
}

bool CTriggerJournal::Write(const std::vector<SEntry>& entries) const
{
    // Written aside and renamed, so a crash leaves the old or the new journal whole.
    const std::string temporary = m_sPath + ".tmp";
    FILE* file = OpenPrivateFile(temporary, "wb");
    if (!file)
        return false;
    bool ok = true;
    for (const SEntry& entry : entries)
    {
        std::string line = "\t" + EscapeTabField(entry.owner) + "\t" + EscapeTabField(entry.identity) + "\t" +
                           EscapeTabField(entry.database) + "\t" + EscapeTabField(entry.table);
        for (const std::string& trigger : entry.triggers)
            line += "\t" + EscapeTabField(trigger);
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

bool CTriggerJournal::Record(const SDatabase& database, const std::string& table,
                             const std::vector<std::string>& triggers)
{
    if (m_sPath.empty() || triggers.empty())
        return true;
    CFileLock lock(m_sPath);
    std::vector<SEntry> entries = AllEntries();
    entries.push_back({database.name, table, triggers, database.identity, ThisProcess()});
    return Write(entries);
}

bool CTriggerJournal::Remove(const SDatabase& database, const std::string& table)
{
    if (m_sPath.empty() || !FileExists(m_sPath))
        return true;
    CFileLock lock(m_sPath);
    std::vector<SEntry> kept;
    for (SEntry& entry : AllEntries())
    {
        if (!SameDatabase(entry, database) || entry.table != table)
            kept.push_back(std::move(entry));
    }
    return Write(kept);
}

bool CTriggerJournal::Claim(const SDatabase& database, std::string& holder)
{
    holder.clear();
    if (m_sPath.empty())
        return true;
    CFileLock lock(m_sPath);
    const std::string self = ThisProcess();
    std::vector<SEntry> kept;
    for (SEntry& entry : AllEntries())
    {
        const bool claim = entry.table.empty();
        if (SameDatabase(entry, database) && !entry.owner.empty() && entry.owner != self && IsAlive(entry.owner))
            holder = entry.owner;
        // The holds of copies that are gone mean nothing any more.
        if (!claim || entry.owner == self || IsAlive(entry.owner))
            kept.push_back(std::move(entry));
    }
    if (!holder.empty())
        return false;
    kept.push_back({database.name, "", {}, database.identity, self});
    return Write(kept);
}

void CTriggerJournal::Release(const SDatabase& database)
{
    if (m_sPath.empty() || !FileExists(m_sPath))
        return;
    CFileLock lock(m_sPath);
    const std::string self = ThisProcess();
    std::vector<SEntry> kept;
    for (SEntry& entry : AllEntries())
    {
        if (!(entry.table.empty() && entry.owner == self && SameDatabase(entry, database)))
            kept.push_back(std::move(entry));
    }
    Write(kept);
}

std::vector<CTriggerJournal::SEntry> RestoreJournalTriggers(CTriggerJournal& journal, const std::string& database,
                                                            const std::string& user, const std::string& password,
                                                            int attempts, std::vector<CTriggerJournal::SEntry>* failed)
{
    std::vector<CTriggerJournal::SEntry> restored;
    // A copy that is still running switches its own triggers on.
    const std::string self = CTriggerJournal::ThisProcess();
    std::vector<CTriggerJournal::SEntry> entries;
    for (CTriggerJournal::SEntry& entry : journal.Entries())
    {
        if (entry.owner.empty() || entry.owner == self || !CTriggerJournal::IsAlive(entry.owner))
            entries.push_back(std::move(entry));
    }
    if (entries.empty())
        return restored;
    CFbConnection connection(attempts);
    CTriggerJournal::SDatabase target{database, {}};
    if (!connection.Connect(user, password, database))
    {
        for (const auto& entry : entries)
        {
            if (failed && SameDatabase(entry, target))
                failed->push_back(entry);
        }
        return restored;
    }
    ReadDatabaseIdentity(connection, target.identity);
    for (const auto& entry : entries)
    {
        if (!SameDatabase(entry, target))
            continue;
        for (const std::string& trigger : entry.triggers)
        {
            // A name its dialect cannot write stays inactive and keeps the entry.
            const std::string name = connection.MetadataName(trigger);
            int failure = 0;
            if (!name.empty())
                connection.ExecuteMetadata("ALTER TRIGGER " + name + " ACTIVE;", failure);
        }
        // Only triggers seen active again release their entry.
        if (AreTriggersActive(connection, entry.triggers))
        {
            journal.Remove({entry.database, entry.identity}, entry.table);
            restored.push_back(entry);
        }
        else if (failed)
            failed->push_back(entry);
    }
    connection.Disconnect();
    return restored;
}
