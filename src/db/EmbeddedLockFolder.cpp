#include "db/EmbeddedLockFolder.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Readable(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

// A folder of this user alone: made when missing, and refused when it is a
// symbolic link, someone else's, or open to others.
bool PrivateFolder(const std::string& folder, unsigned userId)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info
    {
    };
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == userId &&
           (info.st_mode & 0077) == 0;
}
} // namespace

SEmbeddedLockInputs EmbeddedLockInputs()
{
    SEmbeddedLockInputs inputs;
    inputs.lockVariable = Variable("FIREBIRD_LOCK");
    inputs.sharedFolder = "/tmp/firebird";
    inputs.runtimeFolder = Variable("XDG_RUNTIME_DIR");
    inputs.userId = ::getuid();
    // The engine reads firebird.conf from its root: $FIREBIRD, else the
    // folder of its libraries (Debian links the file there from /etc).
    if (const std::string root = Variable("FIREBIRD"); !root.empty())
        inputs.configFile = root + "/firebird.conf";
    else
    {
        glob_t found{};
        if (::glob("/usr/lib/*/firebird/3.0/firebird.conf", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
            inputs.configFile = found.gl_pathv[0];
        ::globfree(&found);
        if (!Readable(inputs.configFile))
            inputs.configFile = "/etc/firebird/3.0/firebird.conf";
    }
    return inputs;
}

bool EngineOpensFilesExclusively(const std::string& configFile)
{
    std::ifstream file(configFile);
    std::string mode = "super";
    for (std::string line; std::getline(file, line);)
    {
        line = Trimmed(line.substr(0, line.find('#')));
        const auto equals = line.find('=');
        if (equals != std::string::npos && Lower(Trimmed(line.substr(0, equals))) == "servermode")
            mode = Lower(Trimmed(line.substr(equals + 1)));
    }
    // "ThreadedDedicated" is the older name of "Super".
    return mode == "super" || mode == "threadeddedicated";
}

std::string ChooseEmbeddedLockFolder(const SEmbeddedLockInputs& inputs)
{
    if (!inputs.lockVariable.empty())
        return {};
    struct stat shared
    {
    };
    if (::stat(inputs.sharedFolder.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        ::access(inputs.sharedFolder.c_str(), R_OK | W_OK | X_OK) == 0)
        return {};
    // A missing shared folder is not made here either: one made by this
    // user would lock the system's server out of it.
    if (!EngineOpensFilesExclusively(inputs.configFile))
        return {};
    const std::string userFolder = "rowmover-firebird-" + std::to_string(inputs.userId);
    if (!inputs.runtimeFolder.empty() && inputs.runtimeFolder[0] == '/' &&
        PrivateFolder(inputs.runtimeFolder + "/" + userFolder, inputs.userId))
        return inputs.runtimeFolder + "/" + userFolder;
    if (PrivateFolder("/tmp/" + userFolder, inputs.userId))
        return "/tmp/" + userFolder;
    return {};
}

std::string UseEmbeddedLockFolder()
{
    const std::string folder = ChooseEmbeddedLockFolder(EmbeddedLockInputs());
    if (!folder.empty())
        ::setenv("FIREBIRD_LOCK", folder.c_str(), 1);
    return folder;
}

std::string EmbeddedEngineAdvice(const std::string& attachError)
{
    if (attachError.find("Database already opened with engine instance") != std::string::npos)
        return "Another Firebird engine, usually a running server, has this database file open: name it through "
               "that server (localhost:/path/file.fdb) or close the program that holds it.";
    if (attachError.find("Permission denied") == std::string::npos)
        return {};
    std::string lockFolder = Variable("FIREBIRD_LOCK");
    if (lockFolder.empty())
        lockFolder = "/tmp/firebird";
    if (attachError.find(lockFolder) != std::string::npos)
        return "The embedded Firebird engine may not use its lock folder " + lockFolder +
               ": ask an administrator to add your account to the group \"firebird\" (sudo adduser $USER firebird, "
               "then log in again), or name the database through a server (localhost:/path/file.fdb).";
    return "Your account may not read and write this database file: ask its owner for write access, or name it "
           "through the server that owns it (localhost:/path/file.fdb).";
}
