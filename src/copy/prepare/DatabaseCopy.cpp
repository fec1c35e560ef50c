#include "copy/prepare/DatabaseCopy.h"

#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "db/CFbConnection.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ibase.h>
#include <memory>
#include <mutex>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
// Reading the file in large pieces keeps a big database's copy at disk speed.
constexpr int LockedCopyChunk = 1 << 20;

// The header page's flags word, and its two backup state bits (ODS 12).
constexpr long HeaderFlagsOffset = 42;
constexpr unsigned BackupStateMask = 0x0C00;

// The database CopyLockedFile holds in backup state now, for an interrupt.
std::mutex g_lockedMutex;
std::optional<std::pair<SDatabaseLogin, int>> g_locked;

struct SLockedInProgress
{
    SLockedInProgress(const SDatabaseLogin& login, int attempts)
    {
        std::lock_guard lock(g_lockedMutex);
        g_locked.emplace(login, attempts);
    }
    ~SLockedInProgress()
    {
        std::lock_guard lock(g_lockedMutex);
        g_locked.reset();
    }
};

long long QueryNumber(CFbConnection& connection, const std::string& sql)
{
    CStringGrid rows;
    int failure = 0;
    connection.Execute(sql, failure, &rows);
    if (failure != 0 || rows.RowCount() != 1)
        return -1;
    return std::atoll(rows.GetCell(0, 0).c_str());
}

std::string StatusText(const ISC_STATUS* status)
{
    std::string text;
    char line[1024];
    const ISC_STATUS* vector = status;
    while (fb_interpret(line, sizeof line, &vector) > 0)
    {
        if (!text.empty())
            text += "; ";
        text += line;
    }
    return text.empty() ? "the server gave no reason" : text;
}

// A service manager attachment that detaches itself.
struct SService
{
    isc_svc_handle handle = 0;
    ~SService()
    {
        ISC_STATUS_ARRAY ignored{};
        if (handle != 0)
            isc_service_detach(ignored, &handle);
    }
};

void AddShort(std::string& block, char tag, const std::string& value)
{
    block += tag;
    block += static_cast<char>(value.size());
    block += value;
}

void AddLong(std::string& block, char tag, const std::string& value)
{
    block += tag;
    block += static_cast<char>(value.size() & 0xFF);
    block += static_cast<char>((value.size() >> 8) & 0xFF);
    block += value;
}

// "host/port:" of a name the server opens, and the path it knows the file by.
void SplitServerName(const std::string& database, std::string& prefix, std::string& path)
{
    path = GetLocalDatabasePath(database);
    prefix = database.size() > path.size() && database.ends_with(path)
                 ? database.substr(0, database.size() - path.size())
                 : std::string();
    if (prefix.empty())
        path = database;
}

// Receives what the service writes to its standard output into out; false
// with the reason when the service failed or the file could not be written.
bool ReceiveServiceOutput(SService& service, FILE* out, std::string& error)
{
    ISC_STATUS_ARRAY status{};
    const char items[] = {isc_info_svc_to_eof};
    // Wait up to a minute for output before asking again.
    const char timeout[] = {isc_info_svc_timeout, 60, 0, 0, 0};
    std::vector<char> result(64000);
    while (true)
    {
        if (isc_service_query(status, &service.handle, nullptr, sizeof timeout, timeout, sizeof items, items,
                              static_cast<unsigned short>(result.size()), result.data()) != 0)
        {
            error = StatusText(status);
            return false;
        }
        bool more = false;
        bool received = false;
        for (const char* p = result.data(); p < result.data() + result.size() && *p != isc_info_end;)
        {
            const char item = *p++;
            if (item == isc_info_svc_to_eof)
            {
                // Up to 65535 bytes: the two bytes are unsigned.
                const auto length = static_cast<size_t>(static_cast<unsigned short>(isc_vax_integer(p, 2)));
                p += 2;
                if (length > 0 && std::fwrite(p, 1, length, out) != length)
                {
                    error = std::strerror(errno);
                    return false;
                }
                received = length > 0;
                p += length;
            }
            else if (item == isc_info_truncated || item == isc_info_data_not_ready || item == isc_info_svc_timeout)
                more = true;
            else
                break;
        }
        if (!received && !more)
            return true;
    }
}
} // namespace

long long DatabaseSize(const SDatabaseLogin& login, int attempts)
{
    CFbConnection connection(attempts);
    if (!connection.Connect(login.user, login.password, login.database))
        return -1;
    return QueryNumber(connection, "SELECT CAST(mon$page_size AS BIGINT) * mon$pages FROM mon$database");
}

bool IsInBackupState(const SDatabaseLogin& login, int attempts)
{
    CFbConnection connection(attempts);
    return connection.Connect(login.user, login.password, login.database) &&
           QueryNumber(connection, "SELECT mon$backup_state FROM mon$database") > 0;
}

bool EndBackupState(const SDatabaseLogin& login, int attempts, std::string& error)
{
    CFbConnection connection(attempts);
    int failure = 0;
    if (connection.Connect(login.user, login.password, login.database))
        connection.Execute("ALTER DATABASE END BACKUP", failure);
    else
        failure = -1;
    if (failure != 0)
        error = connection.LastErrorMessage();
    return failure == 0;
}

bool MarkCopyAsOwnDatabase(const std::string& file)
{
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char flags[2];
    bool ok = ::pread(fd, flags, 2, HeaderFlagsOffset) == 2;
    if (ok)
    {
        const unsigned value = (flags[0] | (flags[1] << 8)) & ~BackupStateMask;
        flags[0] = static_cast<unsigned char>(value & 0xFF);
        flags[1] = static_cast<unsigned char>(value >> 8);
        ok = ::pwrite(fd, flags, 2, HeaderFlagsOffset) == 2 && ::fsync(fd) == 0;
    }
    return ::close(fd) == 0 && ok;
}

bool CopyLockedFile(const SDatabaseLogin& login, const std::string& localFile, const std::string& target, int attempts,
                    std::string& error, bool& lockRefused)
{
    lockRefused = false;
    CFbConnection connection(attempts);
    if (!connection.Connect(login.user, login.password, login.database))
    {
        error = connection.LastErrorMessage();
        return false;
    }
    // A backup state that someone else holds (nbackup -L) keeps the file
    // still as well; it is theirs to end.
    const bool heldAlready = QueryNumber(connection, "SELECT mon$backup_state FROM mon$database") == 1;
    int failure = 0;
    if (!heldAlready)
        connection.Execute("ALTER DATABASE BEGIN BACKUP", failure);
    if (failure != 0)
    {
        error = connection.LastErrorMessage();
        lockRefused = true;
        return false;
    }
    std::optional<SLockedInProgress> inProgress;
    if (!heldAlready)
        inProgress.emplace(login, attempts);
    bool copied = CopyFileInChunks(localFile, target, LockedCopyChunk);
    if (!copied)
        error = std::strerror(errno);
    if (!heldAlready)
    {
        const std::lock_guard lock(g_lockedMutex);
        g_locked.reset();
        connection.Execute("ALTER DATABASE END BACKUP", failure);
        if (failure != 0 && copied)
            error = connection.LastErrorMessage();
    }
    if (copied && !MarkCopyAsOwnDatabase(target))
    {
        error = std::strerror(errno);
        RemoveFile(target);
        copied = false;
    }
    return copied && failure == 0;
}

void EndLockedCopyInProgress()
{
    const std::lock_guard lock(g_lockedMutex);
    if (!g_locked)
        return;
    std::string ignored;
    EndBackupState(g_locked->first, g_locked->second, ignored);
    g_locked.reset();
}

bool BackupThroughServer(const SDatabaseLogin& login, const std::string& target, std::string& error)
{
    std::string prefix;
    std::string path;
    SplitServerName(login.database, prefix, path);
    std::string attach{static_cast<char>(isc_spb_version), static_cast<char>(isc_spb_current_version)};
    AddShort(attach, isc_spb_user_name, login.user);
    AddShort(attach, isc_spb_password, login.password);
    const std::string serviceName = prefix + "service_mgr";
    SService service;
    ISC_STATUS_ARRAY status{};
    if (isc_service_attach(status, 0, serviceName.c_str(), &service.handle, static_cast<unsigned short>(attach.size()),
                           attach.data()) != 0)
    {
        error = StatusText(status);
        return false;
    }
    // "stdout": the backup comes back through the service connection and is
    // written here, wherever the server's files are.
    std::string request{static_cast<char>(isc_action_svc_backup)};
    AddLong(request, isc_spb_dbname, path);
    AddLong(request, isc_spb_bkp_file, "stdout");
    if (isc_service_start(status, &service.handle, nullptr, static_cast<unsigned short>(request.size()),
                          request.data()) != 0)
    {
        error = StatusText(status);
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> out(OpenPrivateFile(target, "wb"), &std::fclose);
    if (!out)
    {
        error = std::strerror(errno);
        return false;
    }
    bool ok = ReceiveServiceOutput(service, out.get(), error);
    if (std::fclose(out.release()) != 0 && ok)
    {
        error = std::strerror(errno);
        ok = false;
    }
    // A backup cut short (a full disk, a refusal) is no way back.
    if (!ok || FileSize(target) <= 0)
    {
        if (ok)
            error = "the server sent no backup";
        RemoveFile(target);
        return false;
    }
    return true;
}
