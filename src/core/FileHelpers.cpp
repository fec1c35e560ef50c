#include "core/FileHelpers.h"

#include "core/TextEncoding.h"

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace
{
using CFileHandle = std::unique_ptr<FILE, int (*)(FILE*)>;

CFileHandle Open(const std::string& path, const char* mode)
{
    return CFileHandle(path.empty() ? nullptr : OpenPrivateFile(path, mode), &std::fclose);
}

// Closes the file and reports whether every buffered byte reached it.
bool CloseChecked(CFileHandle& file)
{
    return std::fclose(file.release()) == 0;
}

std::string Narrow(const std::u16string& path)
{
    return WideToUtf8(path);
}
} // namespace

FILE* OpenFileWide(const std::u16string& path, const char* mode)
{
    const std::string narrow = Narrow(path);
    return narrow.empty() ? nullptr : std::fopen(narrow.c_str(), mode);
}

FILE* OpenPrivateFile(const std::string& path, const char* mode)
{
    if (path.empty() || mode == nullptr)
        return nullptr;
    const bool update = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC;
    switch (mode[0])
    {
    case 'r': flags |= update ? O_RDWR : O_RDONLY; break;
    case 'w': flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: return nullptr;
    }
    const int fd = ::open(path.c_str(), flags, PrivateFileMode);
    if (fd < 0)
        return nullptr;
    FILE* file = ::fdopen(fd, mode);
    if (file == nullptr)
        ::close(fd);
    return file;
}

bool FileExists(const std::string& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

long long FileSize(const std::string& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

namespace
{
// path, or the nearest existing folder above it (a folder a run creates).
std::string ExistingPlace(std::string path)
{
    struct stat info
    {
    };
    while (!path.empty() && ::stat(path.c_str(), &info) != 0)
    {
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        const size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    return path.empty() ? std::string(".") : path;
}
} // namespace

long long FreeSpace(const std::string& path)
{
    const std::string place = ExistingPlace(path);
    struct statvfs info
    {
    };
    if (::access(place.c_str(), W_OK) != 0 || ::statvfs(place.c_str(), &info) != 0)
        return -1;
    return static_cast<long long>(info.f_bavail) * static_cast<long long>(info.f_frsize);
}

long long FileSystemOf(const std::string& path)
{
    struct stat info
    {
    };
    if (::stat(ExistingPlace(path).c_str(), &info) != 0)
        return -1;
    return static_cast<long long>(info.st_dev);
}

bool RemoveFile(const std::string& path)
{
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

int MakeFileWritable(const std::string& path)
{
    struct stat info
    {
    };
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return -1;
    if ((info.st_mode & S_IWUSR) != 0)
        return 0;
    return ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0 ? 0 : -1;
}

bool AppendTextToFile(const std::string& path, const std::string& text)
{
    CFileHandle file = Open(path, "ab+");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    return CloseChecked(file) && written;
}

bool AppendLineToFile(const std::string& path, const std::string& text)
{
    return AppendTextToFile(path, text + "\r\n");
}

std::string ReadWholeFile(const std::string& path)
{
    CFileHandle file = Open(path, "rb");
    if (!file)
        return {};
    std::string content;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        content.append(buffer, got);
    const size_t zero = content.find('\0');
    if (zero != std::string::npos)
        content.resize(zero);
    return content;
}

namespace
{
// The copy being written now, for an interrupt that ends the program
// before the copy can remove itself.
std::mutex g_copyMutex;
std::string g_copyInProgress;

struct SCopyInProgress
{
    explicit SCopyInProgress(const std::string& path)
    {
        std::lock_guard lock(g_copyMutex);
        g_copyInProgress = path;
    }
    ~SCopyInProgress()
    {
        std::lock_guard lock(g_copyMutex);
        g_copyInProgress.clear();
    }
};
} // namespace

void RemoveCopyInProgress()
{
    std::lock_guard lock(g_copyMutex);
    if (!g_copyInProgress.empty())
        RemoveFile(g_copyInProgress);
}

bool CopyFileInChunks(const std::string& source, const std::string& destination, int chunkSize)
{
    if (chunkSize <= 0)
        return false;
    std::vector<char> buffer;
    try
    {
        buffer.resize(static_cast<size_t>(chunkSize));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    CFileHandle in = Open(source, "rb");
    if (!in)
        return false;
    if (FileExists(destination))
        RemoveFile(destination);
    const SCopyInProgress inProgress(destination);
    CFileHandle out = Open(destination, "wb+");
    if (!out)
        return false;
    bool copied = false;
    while (true)
    {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
        if (got == 0)
        {
            copied = !std::ferror(in.get());
            break;
        }
        if (std::fwrite(buffer.data(), 1, got, out.get()) != got)
            break;
    }
    if (CloseChecked(out) && copied)
        return true;
    // A cut copy must not pass for a backup, nor keep the space of a full
    // disk from the logs and the database that need it.
    RemoveFile(destination);
    return false;
}

bool CreateFolder(const std::string& path)
{
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool FileExists(const std::u16string& path)
{
    return FileExists(Narrow(path));
}
bool DirectoryExists(const std::u16string& path)
{
    return DirectoryExists(Narrow(path));
}
bool RemoveFile(const std::u16string& path)
{
    return RemoveFile(Narrow(path));
}
int MakeFileWritable(const std::u16string& path)
{
    return MakeFileWritable(Narrow(path));
}
bool AppendTextToFile(const std::u16string& path, const std::string& text)
{
    return AppendTextToFile(Narrow(path), text);
}
bool AppendLineToFile(const std::u16string& path, const std::string& text)
{
    return AppendLineToFile(Narrow(path), text);
}
std::string ReadWholeFile(const std::u16string& path)
{
    return ReadWholeFile(Narrow(path));
}
bool CreateFolder(const std::u16string& path)
{
    return CreateFolder(Narrow(path));
}
bool CopyFileInChunks(const std::u16string& source, const std::u16string& destination, int chunkSize)
{
    return CopyFileInChunks(Narrow(source), Narrow(destination), chunkSize);
}

std::string ReadFileTail(const std::u16string& path, long long maxBytes, long long& size)
{
    size = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> file(OpenFileWide(path, "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return {};
    size = std::ftell(file.get());
    if (size <= maxBytes)
        return ReadWholeFile(path);
    std::string text(static_cast<size_t>(maxBytes), '\0');
    if (std::fseek(file.get(), static_cast<long>(size - maxBytes), SEEK_SET) != 0)
        return {};
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    // The cut falls inside a line (and maybe inside a character): the part
    // starts with the next whole line.
    const size_t line = text.find('\n');
    if (line != std::string::npos)
        text.erase(0, line + 1);
    const size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}
