#include "core/CReplacingFile.h"

#include "core/TextEncoding.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr size_t kBufferSize = 1 << 16;

std::string FollowLink(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}
} // namespace

CReplacingFile::CReplacingFile(const std::u16string& path, EAccess access)
    : m_sTarget(FollowLink(WideToUtf8(path))), m_access(access)
{
}

CReplacingFile::~CReplacingFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_sTemporary.empty())
        ::unlink(m_sTemporary.c_str());
}

bool CReplacingFile::Fail()
{
    if (!m_bFailed)
        m_sError = std::strerror(errno);
    m_bFailed = true;
    return false;
}

bool CReplacingFile::Open()
{
    if (m_sTarget.empty())
    {
        errno = ENOENT;
        return Fail();
    }
    struct stat target
    {
    };
    if (::stat(m_sTarget.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
    {
        // A pipe without a reader fails here instead of waiting for one.
        m_bDirect = true;
        m_fd = ::open(m_sTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            return Fail();
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    const size_t slash = m_sTarget.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_sTarget.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_sTarget : m_sTarget.substr(slash + 1);
    static std::atomic<unsigned> counter{0};
    // A name of its own in the same folder, so that the rename stays on one
    // file system; created with the usual mode (the umask applies), or the
    // owner's alone.
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt)
    {
        m_sTemporary =
            folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        m_fd = ::open(m_sTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      m_access == EAccess::OwnerOnly ? 0600 : 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
    {
        m_sTemporary.clear();
        return Fail();
    }
    struct stat old
    {
    };
    if (m_access == EAccess::OwnerOnly)
        ::fchmod(m_fd, 0600);
    else if (::stat(m_sTarget.c_str(), &old) == 0)
        ::fchmod(m_fd, old.st_mode & 07777);
    return true;
}

bool CReplacingFile::Write(const std::string& bytes)
{
    if (m_bFailed || m_fd < 0)
        return false;
    m_buffer += bytes;
    return m_buffer.size() < kBufferSize || Flush();
}

bool CReplacingFile::Flush()
{
    // A reader that went away must fail the write, not end the program.
    struct sigaction ignore
    {
    };
    struct sigaction previous
    {
    };
    ignore.sa_handler = SIG_IGN;
    if (m_bDirect)
        ::sigaction(SIGPIPE, &ignore, &previous);
    const bool flushed = WriteBuffer();
    if (m_bDirect)
        ::sigaction(SIGPIPE, &previous, nullptr);
    return flushed;
}

bool CReplacingFile::WriteBuffer()
{
    size_t done = 0;
    while (done < m_buffer.size())
    {
        const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return Fail();
        }
        done += static_cast<size_t>(written);
    }
    m_buffer.clear();
    return true;
}

bool CReplacingFile::Commit()
{
    if (m_bFailed || m_fd < 0 || !Flush())
        return false;
    if (m_bDirect)
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 || Fail();
    }
    if (::fsync(m_fd) != 0)
        return Fail();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return Fail();
    if (std::rename(m_sTemporary.c_str(), m_sTarget.c_str()) != 0)
        return Fail();
    m_sTemporary.clear();
    return true;
}

bool ReplaceFileContents(const std::u16string& path, const std::string& bytes, std::string* error,
                         CReplacingFile::EAccess access)
{
    CReplacingFile file(path, access);
    const bool ok = file.Open() && file.Write(bytes) && file.Commit();
    if (!ok && error)
        *error = file.Error();
    return ok;
}
