#include "core/CFileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CFileLock::CFileLock(const std::string& path, EWait wait)
    : m_fd(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
{
    if (m_fd < 0)
        return;
    const int operation = wait == EWait::UntilFree ? LOCK_EX : LOCK_EX | LOCK_NB;
    int result = 0;
    while ((result = ::flock(m_fd, operation)) != 0 && errno == EINTR)
    {
    }
    if (result != 0 && errno == EWOULDBLOCK)
    {
        m_bHeldElsewhere = true;
        ::close(m_fd);
        m_fd = -1;
    }
}

CFileLock::~CFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing drops the lock
}
