#include "cli/CStartupFolders.h"

#include "config/CProfileFile.h"
#include "core/FileHelpers.h"
#include "core/PathHelpers.h"

#include "RowmoverVersion.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace
{
std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// The absolute form of path, taken relative to the current folder, with "."
// and ".." worked out on the text: the path need not exist, and symbolic
// links stay as the user named them.
std::string FullPath(const std::string& path)
{
    if (path.empty())
        return {};
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return {};
    return absolute.lexically_normal().string();
}

// Creates folder/Quenstead/Rowmover/ as far as it can and gives its path.
std::string CompanyFolder(const std::string& base)
{
    // The base folder itself may be missing with its parents (a fresh
    // $XDG_CONFIG_HOME), and is created as a whole.
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    const std::string company = WithSlash(base) + "Quenstead/";
    CreateFolder(company);
    const std::string program = company + "Rowmover/";
    CreateFolder(program);
    return program;
}

// The account's home folder: $HOME, or the user database's entry.
std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return WithSlash(home);
    const passwd* account = ::getpwuid(::getuid());
    if (account && account->pw_dir && *account->pw_dir)
        return WithSlash(account->pw_dir);
    return {};
}

bool WritableFolder(const std::string& folder)
{
    return !folder.empty() && DirectoryExists(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// The folder with the program's own files: beside the program file (a build
// folder, or a copied program folder), else the installed layout's
// share/rowmover beside the bin folder.
std::string ProgramFilesFolder(const std::string& programFolder)
{
    if (FileExists(programFolder + "Languages.ini"))
        return programFolder;
    const std::string installed = WithSlash(FullPath(programFolder + "../share/rowmover"));
    if (FileExists(installed + "Languages.ini"))
        return installed;
    return programFolder;
}
} // namespace

std::string UserStateFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/')
        return WithSlash(state) + "rowmover/";
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + ".local/state/rowmover/";
}

std::string RunFilesFolder(const std::string& homeBase)
{
    if (WritableFolder(homeBase))
        return homeBase;
    const std::string state = UserStateFolder();
    std::error_code error;
    std::filesystem::create_directories(state, error);
    return WritableFolder(state) ? state : homeBase;
}

std::string RunFilesNote(const SStartupFolders& folders)
{
    if (folders.runFiles == folders.homeBase)
        return {};
    return "rowmover: the program folder " + folders.homeBase +
           " cannot be written; this run's error file and the destination's copy go to " + folders.runFiles;
}

std::string RunningProgramFile()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string UserConfigFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return WithSlash(config);
    // Without $HOME the account's home folder from the user database.
    const std::string home = HomeFolder();
    return home.empty() ? "/tmp/.config/" : home + ".config/";
}

std::string SharedDataFolder()
{
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    if (dirs && *dirs == '/')
    {
        const std::string all = dirs;
        return WithSlash(all.substr(0, all.find(':')));
    }
    return "/usr/local/share/";
}

std::string WriteInstallationRecord(const std::string& homeBase)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    // The shared folder of an installed program belongs to the system; a
    // user who cannot write there keeps the record in the state folder.
    std::vector<std::string> paths{CompanyFolder(SharedDataFolder()) + "Installation.ini"};
    if (const std::string state = UserStateFolder(); !state.empty())
        paths.push_back(state + "Installation.ini");
    for (const std::string& path : paths)
    {
        CProfileFile record(false);
        if (FileExists(path) && record.Load(path) && record.GetString("Version", "") == ProgramVersionText)
            return path;
        record.ClearBody();
        record.WriteString("InstallationDirectory", homeBase);
        record.WriteString("LanguageFile", "Languages.ini");
        record.WriteString("IniFile", "Rowmover.ini");
        record.WriteString("Version", ProgramVersionText);
        record.WriteString("InstallDate", stamp);
        std::error_code ignored;
        std::filesystem::create_directories(GetDirectoryPart(path), ignored);
        if (record.Save(path))
            return path;
    }
    return {};
}

SStartupFolders ResolveFolders(const std::string& programFile, const std::string& firstArgument)
{
    SStartupFolders folders;
    folders.homeBase = GetDirectoryPart(programFile);
    if (folders.homeBase.empty() || folders.homeBase == programFile || !DirectoryExists(folders.homeBase))
        folders.homeBase = GetDirectoryPart(FullPath(firstArgument));
    folders.homeBase = ProgramFilesFolder(WithSlash(folders.homeBase));

    CProfileFile savePath(false);
    if (savePath.Load(folders.homeBase + "SavePath.ini"))
    {
        if (savePath.GetString("UseExeFilePath", "") == "1")
        {
            folders.appDir = folders.homeBase;
            folders.runFiles = RunFilesFolder(folders.homeBase);
            return folders;
        }
        const std::string storage = savePath.GetString("ApplicationStorage", "");
        // A relative storage folder is taken relative to the program folder.
        const std::string candidate = !storage.empty() && storage[0] == '/' ? storage : folders.homeBase + storage;
        if (!storage.empty() && DirectoryExists(candidate))
        {
            folders.appDir = WithSlash(FullPath(candidate));
            folders.runFiles = RunFilesFolder(folders.homeBase);
            return folders;
        }
    }
    folders.appDir = CompanyFolder(UserConfigFolder());
    folders.defaultDataFolder = true;
    WriteInstallationRecord(folders.homeBase);
    folders.runFiles = RunFilesFolder(folders.homeBase);
    return folders;
}
