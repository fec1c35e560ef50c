// Preparing a run: names and credentials, test attachments, log names,
// backups.
#include "copy/prepare/CRunPreparation.h"

#include "core/CFileLock.h"
#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "core/ThisMachine.h"
#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace
{

struct SStamps
{
    std::string time; // 14 digits
    std::string day;  // 8 digits
};

SStamps ReadClock()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char time[96];
    char day[48];
    std::snprintf(time, sizeof time, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    std::snprintf(day, sizeof day, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return {time, day};
}

constexpr const char* DestinationCopyPrefix = "temp_db_backup";
constexpr const char* PartialCopySuffix = ".partial";

// This process as a destination copy's name carries it: "pid_start", and
// the host, which the name leaves out (a program folder belongs to one).
struct SCopyOwner
{
    std::string name;
    std::string host;
};

SCopyOwner ThisCopyOwner()
{
    // "pid:start@host"
    const std::string self = CTriggerJournal::ThisProcess();
    const size_t colon = self.find(':');
    const size_t at = self.rfind('@');
    return {self.substr(0, colon) + "_" + self.substr(colon + 1, at - colon - 1), self.substr(at + 1)};
}

// The process that made a destination copy of this version's name
// ("temp_db_backup_T_pid_start[-n]E"), as the trigger journal names
// processes; empty for any other name.
std::string CopyOwner(const std::string& fileName)
{
    const std::string head = std::string(DestinationCopyPrefix) + "_";
    if (fileName.rfind(head, 0) != 0 || fileName.size() < head.size() + 15 || fileName[head.size() + 14] != '_')
        return {};
    const std::string rest = fileName.substr(head.size() + 15);
    const size_t pidEnd = rest.find('_');
    if (pidEnd == std::string::npos || pidEnd == 0)
        return {};
    const size_t startEnd = rest.find_first_of("-.", pidEnd + 1);
    return rest.substr(0, pidEnd) + ":" + rest.substr(pidEnd + 1, startEnd - pidEnd - 1) + "@" + ThisCopyOwner().host;
}

// Secondary files and shadows: their names are written into the primary
// file, so a copy of it would read from, or write to, the live ones. The
// difference file of the backup lock (flag 32) is none of them: the lock
// keeps the primary file whole without it.
bool HasFilesBesideThePrimary(CFbConnection& connection)
{
    CStringGrid files;
    int failure = 0;
    connection.Execute("SELECT FIRST 1 1 FROM RDB$FILES WHERE BIN_AND(COALESCE(RDB$FILE_FLAGS, 0), 32) = 0", failure,
                       &files);
    return failure != 0 || files.RowCount() > 0;
}
} // namespace

SDatabaseLogin CRunPreparation::WithDefaults(SDatabaseLogin login) const
{
    // On this platform "/" is the separator: names are kept as given.
    if (login.user.empty())
        login.user = m_sDefUser;
    if (login.password.empty())
        login.password = m_sDefPass;
    return login;
}

bool CRunPreparation::Probe(const SDatabaseLogin& login, std::string& identity, bool& inFiles)
{
    CFbConnection connection(m_settings.attempts);
    if (!connection.Connect(login.user, login.password, login.database))
    {
        m_sAttachError = connection.LastErrorMessage();
        return false;
    }
    ReadDatabaseIdentity(connection, identity);
    inFiles = HasFilesBesideThePrimary(connection);
    connection.Disconnect();
    return true;
}

int CRunPreparation::Attach(const SDatabaseLogin& source, const SDatabaseLogin& dest)
{
    m_settings.source = WithDefaults(source);
    m_settings.dest = WithDefaults(dest);
    m_settings.sourceIdentity.clear();
    m_settings.destIdentity.clear();
    m_sAttachError.clear();
    if (!Probe(m_settings.source, m_settings.sourceIdentity, m_settings.sourceInFiles))
        return 1;
    if (!Probe(m_settings.dest, m_settings.destIdentity, m_settings.destInFiles))
        return 2;
    // Names say little: a relative path, a link, "localhost:" or a second
    // alias reach the same file. What the engine opened decides.
    if (!m_settings.sourceIdentity.empty() && m_settings.sourceIdentity == m_settings.destIdentity)
        return 3;
    return 0;
}

CRunPreparation::CRunPreparation(SRunSettings& settings, CRunLogs& logs, const CTriggerJournal& journal)
    : m_settings(settings), m_logs(logs), m_journal(journal)
{
}

CRunPreparation::~CRunPreparation()
{
    if (!m_settings.files.destinationCopy.empty())
        RemoveFile(m_settings.files.destinationCopy);
}

void CRunPreparation::SetDefaults(const std::string& user, const std::string& password)
{
    m_sDefUser = user;
    m_sDefPass = password;
}

int CRunPreparation::Prepare(const SDatabaseLogin& source, const SDatabaseLogin& dest, bool makeBackup,
                             const std::string& programFolder, bool checkOnly)
{
    const std::string extension = GetExtension(source.database);
    // Files are copied or changed only on this computer: behind another
    // host's name the same path is another file, if any. The source is
    // read, never changed: its file keeps its mode too.
    if (IsDatabaseOnThisMachine(dest.database))
        MakeFileWritable(GetLocalDatabasePath(dest.database));
    const int attached = Attach(source, dest);
    if (attached != 0 || checkOnly)
        return attached;

    const SStamps stamps = ReadClock();
    const std::string runFolder = RunFolder(stamps.day);
    // Before anything is written: a disk that fills during the copies is
    // found out late, and a run without its way back or its logs is worse
    // than one that has not begun.
    if (!CheckFreeSpace(makeBackup, programFolder, runFolder))
        return 4;
    const std::string names = ReserveProgramFolderNames(programFolder, extension);
    m_settings.files.errorReport = programFolder + "update_error" + names + ".txt";
    RemoveFile(m_settings.files.errorReport);
    NameRunFiles(runFolder, stamps.time, extension);

    // A killed run's backup lock would hold the file still for ever, its
    // changes piling up in the delta file.
    EndStaleBackupLocks(programFolder);
    m_sSourceCopyError.clear();
    m_sDestCopyError.clear();
    m_sourceCopyKind = makeBackup ? CopyDatabase(m_settings.source, m_settings.sourceInFiles,
                                                 m_settings.files.sourceBackup, programFolder, m_sSourceCopyError)
                                  : ECopyKind::None;
    m_bBackupMade = !makeBackup || m_sourceCopyKind != ECopyKind::None;

    // Found before this run's copy is made, which is no killed run's.
    m_killedRunCopies = FindKilledRunCopies(programFolder, DestinationCopyPrefix + names);
    if (const std::string copies = CopyFolder(programFolder); copies != programFolder)
    {
        for (std::string& copy : FindKilledRunCopies(copies, {}))
            m_killedRunCopies.push_back(std::move(copy));
    }
    RemovePreviousCopy();
    MakeWayBack(programFolder, stamps.time, extension);
    m_logs.SetFiles(m_settings.files);
    return 0;
}

std::string CRunPreparation::RunFolder(const std::string& day) const
{
    // A source named without a folder lies in the current one, and so do
    // its run folders.
    std::string sourceFolder = GetLocalDatabasePath(GetDirectoryPart(m_settings.source.database));
    if (sourceFolder == GetLocalDatabasePath(m_settings.source.database) && !sourceFolder.empty() &&
        sourceFolder.back() != '/')
        sourceFolder = "./";
    std::string runFolder = m_settings.places.logFolder;
    while (runFolder.size() > 1 && runFolder.back() == '/')
        runFolder.pop_back();
    return runFolder.empty() ? sourceFolder + "DB_copy_" + day : runFolder;
}

void CRunPreparation::NameRunFiles(const std::string& runFolder, const std::string& time, const std::string& extension)
{
    if (m_settings.places.logFolder.empty())
        CreateFolder(runFolder);
    else
    {
        std::error_code ignored;
        std::filesystem::create_directories(runFolder, ignored);
    }
    m_sRunFolder = runFolder;
    if (!m_settings.places.backupFolder.empty())
    {
        std::error_code ignored;
        std::filesystem::create_directories(m_settings.places.backupFolder, ignored);
        if (m_settings.places.backupFolder.back() != '/')
            m_settings.places.backupFolder += '/';
    }
    const std::string stamp = FreeRunStamp(runFolder, time, extension);
    m_sRunStamp = stamp;
    m_settings.files.sqlLog = JoinPath(runFolder, stamp + "_sql.txt");
    m_settings.files.textLog = JoinPath(runFolder, stamp + "_txt.txt");
    m_settings.files.runLog = JoinPath(runFolder, stamp + "_log.txt");
    m_settings.files.sourceBackup = JoinPath(CopyFolder(runFolder), stamp + extension);
}

std::string CRunPreparation::FreeRunStamp(const std::string& runFolder, const std::string& time,
                                          const std::string& extension)
{
    // A second run in the same second, in this process or another, gets
    // names of its own instead of writing into the first one's logs and over
    // its backup: the run log is made at once, and only if it is new.
    const std::string backupFolder = CopyFolder(runFolder);
    std::string stamp = time;
    for (int run = 2; run < 1000; ++run)
    {
        const int reserved =
            ::open(JoinPath(runFolder, stamp + "_log.txt").c_str(), O_WRONLY | O_CREAT | O_EXCL, PrivateFileMode);
        if (reserved >= 0)
            ::close(reserved);
        else if (errno != EEXIST)
            break; // no run folder: the logs are lost whatever their name
        if (reserved >= 0 && !FileExists(JoinPath(runFolder, stamp + "_sql.txt")) &&
            !FileExists(JoinPath(backupFolder, stamp + extension)) &&
            !FileExists(JoinPath(backupFolder, stamp + ".fbk")))
            break;
        if (reserved >= 0)
            RemoveFile(JoinPath(runFolder, stamp + "_log.txt"));
        stamp = time + "-" + std::to_string(run);
    }
    return stamp;
}

void CRunPreparation::RemovePreviousCopy()
{
    // The previous run of this engine ended without needing its copy (a
    // failed one moved it away): it goes now, as it would with the engine,
    // unless it is opened as one of the databases, to copy its rows back.
    std::error_code ignored;
    const std::string previous = m_settings.files.destinationCopy;
    if (!previous.empty() &&
        !std::filesystem::equivalent(previous, GetLocalDatabasePath(m_settings.source.database), ignored) &&
        !std::filesystem::equivalent(previous, GetLocalDatabasePath(m_settings.dest.database), ignored))
        RemoveFile(previous);
    m_settings.files.destinationCopy.clear();
}

void CRunPreparation::MakeWayBack(const std::string& programFolder, const std::string& time,
                                  const std::string& extension)
{
    m_destCopyKind = ECopyKind::None;
    m_bDestinationCopyMade = !m_settings.places.wayBack;
    if (!m_settings.places.wayBack)
        return;
    const std::string name = NewDestinationCopyName(CopyFolder(programFolder), time, extension);
    // Made under a name of its own and renamed once whole: a run killed
    // while copying leaves no half copy under a way back's name.
    std::string partial = name + PartialCopySuffix;
    m_destCopyKind = CopyDatabase(m_settings.dest, m_settings.destInFiles, partial, programFolder, m_sDestCopyError);
    // A server's backup is named ".fbk" in place of the database's extension.
    const std::string made = partial.substr(0, partial.size() - std::string(PartialCopySuffix).size());
    m_bDestinationCopyMade = m_destCopyKind != ECopyKind::None && ::rename(partial.c_str(), made.c_str()) == 0;
    m_settings.files.destinationCopy = made;
    if (m_bDestinationCopyMade)
        return;
    if (m_sDestCopyError.empty() && m_destCopyKind != ECopyKind::None)
        m_sDestCopyError = std::strerror(errno);
    RemoveFile(partial);
    m_destCopyKind = ECopyKind::None;
}

std::string CRunPreparation::NewDestinationCopyName(const std::string& programFolder, const std::string& stamp,
                                                    const std::string& extension) const
{
    // The run's time and process make the name its own; a second run of
    // this process in the same second, or a database of that name opened
    // from the program folder, moves it on.
    const std::string base = programFolder + DestinationCopyPrefix + "_" + stamp + "_" + ThisCopyOwner().name;
    std::string name = base + extension;
    for (int run = 2; run < 1000 && (FileExists(name) || FileExists(name + PartialCopySuffix)); ++run)
        name = base + "-" + std::to_string(run) + extension;
    return name;
}

std::vector<std::string> CRunPreparation::FindKilledRunCopies(const std::string& programFolder,
                                                              const std::string& heldSlot) const
{
    std::vector<std::string> found;
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator(programFolder, failed))
    {
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (name.rfind(DestinationCopyPrefix, 0) != 0 || name.ends_with(".lock") || !entry.is_regular_file(ignored))
            continue;
        const std::string path = programFolder + name;
        const bool partial = name.ends_with(PartialCopySuffix);
        bool killed = false;
        if (const std::string owner = CopyOwner(name); !owner.empty())
            killed = !CTriggerJournal::IsAlive(owner);
        else if (!partial)
        {
            // An older version's fixed name ("temp_db_backup", "-2" ...),
            // held by its lock while that run lived.
            const std::string slot = name.substr(0, name.find('.'));
            const std::string digits =
                slot.substr(std::min(slot.size(), std::string(DestinationCopyPrefix).size() + 1));
            const bool olderName = slot == DestinationCopyPrefix ||
                                   (slot[std::string(DestinationCopyPrefix).size()] == '-' && !digits.empty() &&
                                    digits.find_first_not_of("0123456789") == std::string::npos);
            killed = olderName &&
                     (slot == heldSlot || !CFileLock(programFolder + slot, CFileLock::EWait::No).HeldElsewhere());
        }
        // A copy cut short by the kill is no way back.
        if (killed && partial)
            RemoveFile(path);
        else if (killed)
            found.push_back(path);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string CRunPreparation::ReserveProgramFolderNames(const std::string& programFolder, const std::string& extension)
{
    // The names are removed and written over: never where one of the
    // databases lives (a database opened from the program folder, say the
    // previous run's copy of a destination, to copy its rows back).
    const auto isDatabase = [this](const std::string& file) {
        std::error_code ignored;
        return std::filesystem::equivalent(file, GetLocalDatabasePath(m_settings.source.database), ignored) ||
               std::filesystem::equivalent(file, GetLocalDatabasePath(m_settings.dest.database), ignored);
    };
    // Copies that run at the same time from one program folder (two windows,
    // two scripts) must not remove or hand out each other's copy of their
    // destination: each holds its names for as long as its engine lives. A
    // copy running alone keeps the plain names; one beside it gets "-2".
    m_programFolderNames.reset();
    for (int slot = 1; slot < 100; ++slot)
    {
        const std::string names = slot == 1 ? std::string() : "-" + std::to_string(slot);
        if (isDatabase(programFolder + "temp_db_backup" + names + extension) ||
            isDatabase(programFolder + "update_error" + names + ".txt"))
            continue;
        auto lock = std::make_unique<CFileLock>(programFolder + "temp_db_backup" + names, CFileLock::EWait::No);
        if (!lock->HeldElsewhere())
        {
            m_programFolderNames = std::move(lock);
            return names;
        }
    }
    return {};
}

std::string CRunPreparation::KeepDestinationCopy()
{
    if (!m_bDestinationCopyMade || m_settings.files.destinationCopy.empty() ||
        !FileExists(m_settings.files.destinationCopy))
        return {};
    // Beside the run's logs the copy outlives the next run, which makes its
    // own temporary copy in the program folder. Without a run folder (or on
    // another file system) it takes the same name in the program folder,
    // which the next run does not remove either. An existing file of that
    // name is never written over.
    const std::string copy = m_settings.files.destinationCopy;
    const std::string name = m_sRunStamp + "_destination_before" + GetExtension(copy);
    const std::string programFolder = copy.substr(0, copy.rfind('/') + 1);
    std::vector<std::string> places{JoinPath(m_sRunFolder, name), programFolder + name};
    // A folder chosen for the copies holds this one too.
    if (!m_settings.places.backupFolder.empty())
        places.insert(places.begin(), JoinPath(m_settings.places.backupFolder, name));
    for (const std::string& kept : places)
    {
        if (::renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0)
        {
            m_settings.files.destinationCopy.clear();
            return kept;
        }
    }
    // The copy stays where it is, and is kept there.
    m_settings.files.destinationCopy.clear();
    return copy;
}
