// The run's copies of its databases (the source's backup, the destination's
// way back), the room they and the logs need, and what they took.
#include "copy/prepare/CRunPreparation.h"

#include "copy/prepare/DatabaseCopy.h"
#include "copy/run/RunSteps.h"
#include "core/CFileLock.h"
#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "core/TabFields.h"
#include "core/ThisMachine.h"
#include "db/CFbConnection.h"
#include "db/FieldTypes.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace
{
constexpr const char* BackupLockName = "BackupLock";
constexpr const char* BackupMarkerPrefix = "BackupLock_";
constexpr int PlainCopyChunk = 1 << 20;

// What a logged row takes beside its values: the SQL log's statement and
// the data log's separators and line ends.
constexpr long long LogBytesPerRow = 64;
// A column's text as the logs show it, where its width says little.
constexpr long long NumberTextBytes = 20;
constexpr long long BlobTextBytes = 256;
constexpr long long TextCap = 1024;

std::string WithSlash(const std::string& folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

std::string ServerBackupName(const std::string& target)
{
    // A copy made under a name of its own keeps that ending.
    const std::string partial = ".partial";
    if (target.ends_with(partial))
        return ServerBackupName(target.substr(0, target.size() - partial.size())) + partial;
    const std::string extension = GetExtension(target);
    return target.substr(0, target.size() - extension.size()) + ".fbk";
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}
} // namespace

std::string CRunPreparation::CopyFolder(const std::string& usual) const
{
    return m_settings.places.backupFolder.empty() ? usual : m_settings.places.backupFolder;
}

std::string CRunPreparation::StateFolder(const std::string& programFolder) const
{
    return m_journal.Path().empty() ? WithSlash(programFolder) : FolderOf(m_journal.Path());
}

ECopyKind CRunPreparation::CopyDatabase(const SDatabaseLogin& login, bool inFiles, std::string& target,
                                        const std::string& programFolder, std::string& error)
{
    const std::string local = GetLocalDatabasePath(login.database);
    error.clear();
    // The file itself, held still by the engine, where this program can read
    // it; otherwise the server's backup, which also takes a database kept in
    // several files whole.
    // Under a backup lock that somebody else holds (nbackup -L) the file
    // lacks what was committed since the lock began: the server's backup
    // reads the database as it is.
    if (!inFiles && IsDatabaseOnThisMachine(login.database) && FileExists(local) &&
        ::access(local.c_str(), R_OK) == 0 && !IsInBackupState(login, m_settings.attempts))
    {
        // One backup state at a time among this user's runs; the marker names
        // the database for a later run, should this one be killed meanwhile.
        const std::string state = StateFolder(programFolder);
        const CFileLock serial(state + BackupLockName);
        const std::string marker = state + BackupMarkerPrefix + std::to_string(::getpid()) + ".txt";
        AppendLineToFile(marker, EscapeTabField(CTriggerJournal::ThisProcess()) + "\t" +
                                     EscapeTabField(&login == &m_settings.source ? m_settings.sourceIdentity
                                                                                 : m_settings.destIdentity) +
                                     "\t" + EscapeTabField(login.database));
        bool lockRefused = false;
        const bool copied = CopyLockedFile(login, local, target, m_settings.attempts, error, lockRefused);
        RemoveFile(marker);
        if (copied)
            return ECopyKind::LockedFile;
        if (!lockRefused)
            return ECopyKind::None;
        // A user who may fill the tables but not lock the database still
        // gets the copy of its file as it is: a way back that only writers
        // meanwhile could tear is better than none. The refusal stays said.
        const std::string refusal = error;
        if (!CopyFileInChunks(local, target, PlainCopyChunk))
        {
            error = refusal + "\n" + std::strerror(errno);
            RemoveFile(target);
            return ECopyKind::None;
        }
        error = refusal;
        return ECopyKind::PlainFile;
    }
    const std::string backup = ServerBackupName(target);
    if (BackupThroughServer(login, backup, error))
    {
        target = backup;
        return ECopyKind::ServerBackup;
    }
    return ECopyKind::None;
}

void CRunPreparation::EndStaleBackupLocks(const std::string& programFolder)
{
    m_staleLocksEnded.clear();
    const std::string state = StateFolder(programFolder);
    // Holding the lock, no run of this user is inside a locked copy: every
    // marker left is a killed run's.
    const CFileLock serial(state + BackupLockName);
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator(state, failed))
    {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(BackupMarkerPrefix) || !name.ends_with(".txt"))
            continue;
        const std::string path = state + name;
        const std::string text = ReadWholeFile(path);
        const std::vector<std::string> fields = SplitTabFields(text.substr(0, text.find('\r')));
        bool handled = fields.size() < 3;
        for (const SDatabaseLogin* login : {&m_settings.source, &m_settings.dest})
        {
            const std::string& identity =
                login == &m_settings.source ? m_settings.sourceIdentity : m_settings.destIdentity;
            if (handled || ((identity.empty() || fields[1] != identity) && fields[2] != login->database))
                continue;
            handled = true;
            std::string error;
            if (!IsInBackupState(*login, m_settings.attempts))
                continue;
            if (EndBackupState(*login, m_settings.attempts, error))
                m_staleLocksEnded.push_back(login->database);
            else
                handled = false;
        }
        if (handled)
            RemoveFile(path);
    }
}

bool CRunPreparation::CheckFreeSpace(bool makeBackup, const std::string& programFolder, const std::string& runFolder)
{
    m_spaceShortages.clear();
    // Needs by file system, each with one of its folders to name.
    std::map<long long, SSpaceShortage> needs;
    const auto need = [&](const std::string& folder, long long bytes) {
        if (bytes <= 0)
            return;
        SSpaceShortage& entry = needs[FileSystemOf(folder)];
        if (entry.folder.empty())
            entry.folder = folder;
        entry.needed += bytes;
    };
    if (makeBackup)
        need(CopyFolder(runFolder), DatabaseSize(m_settings.source, m_settings.attempts));
    if (m_settings.places.wayBack)
        need(CopyFolder(programFolder), DatabaseSize(m_settings.dest, m_settings.attempts));
    need(runFolder, m_plannedLogging == ELogging::On ? EstimateLogBytes(m_plannedTables) : 0);
    for (auto& [device, entry] : needs)
    {
        entry.available = FreeSpace(entry.folder);
        if (device != -1 && entry.available >= 0 && entry.available < entry.needed)
            m_spaceShortages.push_back(entry);
    }
    return m_spaceShortages.empty();
}

long long CRunPreparation::EstimateLogBytes(const std::vector<std::string>& tables)
{
    CFbConnection source(m_settings.attempts);
    if (!source.Connect(m_settings.source.user, m_settings.source.password, m_settings.source.database))
        return 0;
    const std::vector<long long> rows = CountSourceRows(m_settings, tables);
    long long total = 0;
    for (size_t i = 0; i < tables.size() && i < rows.size(); ++i)
    {
        if (rows[i] <= 0)
            continue;
        // Each value appears in the SQL log's INSERT and in the data log.
        CStringGrid widths;
        int failure = 0;
        source.Execute("SELECT f.rdb$field_type, f.rdb$field_length FROM rdb$relation_fields r "
                       "JOIN rdb$fields f ON f.rdb$field_name = r.rdb$field_source WHERE r.rdb$relation_name = '" +
                           EscapeSqlString(tables[i]) + "'",
                       failure, &widths);
        long long rowBytes = LogBytesPerRow;
        for (int c = 0; failure == 0 && c < widths.RowCount(); ++c)
        {
            const int type = std::atoi(widths.GetCell(0, c).c_str());
            const long long length = std::atoll(widths.GetCell(1, c).c_str());
            // CHAR, VARCHAR: their declared bytes; BLOB: a guess.
            const long long text = type == FieldChar || type == FieldVarchar ? std::min(length, TextCap)
                                   : type == FieldBlob                       ? BlobTextBytes
                                                                             : NumberTextBytes;
            rowBytes += 2 * (text + 4);
        }
        total += rows[i] * rowBytes;
    }
    return total;
}

CRunPreparation::SDiskUse CRunPreparation::DiskUse() const
{
    SDiskUse use;
    const auto size = [](const std::string& path) { return std::max(0LL, FileSize(path)); };
    use.backup = m_sourceCopyKind != ECopyKind::None ? size(m_settings.files.sourceBackup) : 0;
    use.wayBack = size(m_settings.files.destinationCopy);
    use.logs = size(m_settings.files.runLog) + size(m_settings.files.sqlLog) + size(m_settings.files.textLog) +
               size(m_settings.files.errorReport);
    return use;
}

std::string ByteText(long long bytes)
{
    char text[64];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

void CRunPreparation::ReportDiskUse(ELogging logging)
{
    m_logs.SetLogging(logging);
    m_logs.SetTable("");
    const SDiskUse use = DiskUse();
    m_logs.WriteLog("Disk use of this run: " + ByteText(use.backup + use.wayBack + use.logs),
                    "source backup " + ByteText(use.backup) + ", destination's way back " + ByteText(use.wayBack) +
                        ", logs " + ByteText(use.logs) + " before this entry");
}

void CRunPreparation::ReportCopies(ELogging logging)
{
    m_logs.SetLogging(logging);
    m_logs.SetTable("");
    for (const std::string& database : m_staleLocksEnded)
        m_logs.WriteLog(
            "WARNING: A copy that was killed left this database locked for its backup (stalled state); the lock "
            "is ended and its changes merged",
            database);
    const auto said = [this](ECopyKind kind, const std::string& file, const char* what) {
        if (kind == ECopyKind::LockedFile)
            m_logs.WriteLog(std::string(what) + " copied while the engine held the file still (backup lock)", file);
        else if (kind == ECopyKind::ServerBackup)
            m_logs.WriteLog(std::string(what) + " made by the server as a backup file; restore it with gbak -c", file);
        else if (kind == ECopyKind::PlainFile)
            m_logs.WriteLog(
                "WARNING: " + std::string(what) +
                    " copied as the file is, without the engine's backup lock, which it refused; a program that "
                    "wrote to it meanwhile can have left the copy torn",
                file);
    };
    said(m_sourceCopyKind, m_settings.files.sourceBackup, "Source database");
    said(m_destCopyKind, m_settings.files.destinationCopy, "Destination database as it was before the run");
    if (!m_settings.places.wayBack)
        m_logs.WriteLog("WARNING: No copy of the destination was made before the run (no way back)", "");
}
