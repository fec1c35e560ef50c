#include "core/CFileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CFileLock::CFileLock(const std::string& path) : m_fd(::open((path + ".lock").c_str(), O_RDWR | O_CREAT, 0600))
{
    if (m_fd >= 0)
    {
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR)
        {
        }
    }
}

CFileLock::~CFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing drops the lock
}
