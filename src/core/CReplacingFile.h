#pragma once

#include <string>

// Writes a file beside its target and puts it in the target's place only
// once every byte is on disk, so that a failed write (a full disk, a folder
// without write access) keeps the old file whole. The new file takes over
// the old one's permissions; a link is followed to the file it names.
// A target that is no regular file (a device such as /dev/null, a pipe) is
// written into directly: putting a file in its place would destroy it.
class CReplacingFile
{
  public:
    // Who may read the new file: as the old one (or as the umask gives a new
    // one), or its owner alone (0600, also in place of an old file that
    // others could read), for files that hold a database's values.
    enum class EAccess
    {
        AsBefore,
        OwnerOnly,
    };
    explicit CReplacingFile(const std::u16string& path, EAccess access = EAccess::AsBefore);
    // Removes the unfinished file when Commit was not reached.
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Creates the new file; false with Error.
    bool Open();
    bool Write(const std::string& bytes);
    // Writes what is left, and renames the new file over the target; false
    // with Error, the target untouched.
    bool Commit();
    // The system's reason for the first failure.
    const std::string& Error() const { return m_sError; }

  private:
    bool Fail();
    // Writes the buffer out.
    bool Flush();
    bool WriteBuffer();

    std::string m_sTarget;
    std::string m_sTemporary;
    std::string m_buffer;
    std::string m_sError;
    int m_fd = -1;
    bool m_bFailed = false;
    bool m_bDirect = false; // writing into the target itself
    EAccess m_access = EAccess::AsBefore;
};

// Replaces the file's contents with bytes in the way of CReplacingFile;
// false, with the reason in error when given, and the old file kept.
bool ReplaceFileContents(const std::u16string& path, const std::string& bytes, std::string* error = nullptr,
                         CReplacingFile::EAccess access = CReplacingFile::EAccess::AsBefore);
