// Preparing a run: names and credentials, test attachments, log names,
// backups.
#include "copy/CCopyEngine.h"

#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "db/CFbConnection.h"

#include <cstdio>
#include <ctime>

namespace
{
constexpr int BackupChunkSize = 20480;

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
    std::snprintf(time, sizeof time, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::snprintf(day, sizeof day, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return {time, day};
}
} // namespace

int CCopyEngine::PrepareCopy(const std::string& sourceDB, const std::string& sourceUser,
                             const std::string& sourcePassword, const std::string& destDB, const std::string& destUser,
                             const std::string& destPassword, bool makeBackup, const std::string& programFolder,
                             bool checkOnly)
{
    // On this platform "/" is the separator: names are kept as given.
    m_sSourceDb = sourceDB;
    const std::string extension = GetExtension(m_sSourceDb);
    m_sSourceUser = sourceUser.empty() ? m_sDefUser : sourceUser;
    m_sSourcePassword = sourcePassword.empty() ? m_sDefPass : sourcePassword;
    m_sDestDb = destDB;
    m_sDestUser = destUser.empty() ? m_sDefUser : destUser;
    m_sDestPassword = destPassword.empty() ? m_sDefPass : destPassword;

    MakeFileWritable(GetLocalDatabasePath(m_sSourceDb));
    MakeFileWritable(GetLocalDatabasePath(m_sDestDb));

    m_sAttachError.clear();
    {
        CFbConnection connection(m_nAttempts);
        if (!connection.Connect(m_sSourceUser, m_sSourcePassword, m_sSourceDb))
        {
            m_sAttachError = connection.LastErrorMessage();
            return 1;
        }
        connection.Disconnect();
        if (!connection.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
        {
            m_sAttachError = connection.LastErrorMessage();
            return 2;
        }
        connection.Disconnect();
    }
    if (checkOnly)
        return 0;

    m_sErrorFile = programFolder + "update_error.txt";
    RemoveFile(m_sErrorFile);

    const SStamps stamps = ReadClock();
    const std::string runFolder = GetLocalDatabasePath(GetDirectoryPart(m_sSourceDb)) + "DB_copy_" + stamps.day;
    CreateFolder(runFolder);

    m_sSqlLogFile = JoinPath(runFolder, stamps.time + "_sql.txt");
    m_sTextLogFile = JoinPath(runFolder, stamps.time + "_txt.txt");
    m_sLogFile = JoinPath(runFolder, stamps.time + "_log.txt");
    m_sBackupFile = JoinPath(runFolder, stamps.time + extension);
    if (makeBackup)
        CopyFileInChunks(GetLocalDatabasePath(m_sSourceDb), m_sBackupFile, BackupChunkSize);

    m_sTempBackupFile = programFolder + "temp_db_backup" + extension;
    RemoveFile(m_sTempBackupFile);
    CopyFileInChunks(GetLocalDatabasePath(m_sDestDb), m_sTempBackupFile, BackupChunkSize);
    return 0;
}
