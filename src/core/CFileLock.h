#pragma once

#include <string>

// Holds the lock file path + ".lock", either for one read-modify-write of a
// file that several processes share, so that none writes over another's
// change, or (without waiting) for as long as a run uses a name.
// Without a lock file (a folder that cannot be written) it holds nothing and
// the caller goes on unlocked.
class CFileLock
{
  public:
    enum class EWait
    {
        UntilFree,
        No
    };

    explicit CFileLock(const std::string& path, EWait wait = EWait::UntilFree);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Only without waiting: another holder (this process included) has it.
    bool HeldElsewhere() const { return m_bHeldElsewhere; }

  private:
    int m_fd;
    bool m_bHeldElsewhere = false;
};
