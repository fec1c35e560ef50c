#pragma once

#include <string>

// Holds the lock file path + ".lock" for one read-modify-write of a file
// that several processes share, so that none writes over another's change.
// Without a lock file (a folder that cannot be written) it holds nothing and
// the caller goes on unlocked.
class CFileLock
{
  public:
    explicit CFileLock(const std::string& path);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

  private:
    int m_fd;
};
