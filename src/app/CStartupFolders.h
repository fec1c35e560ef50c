#pragma once

#include <string>

// The two folders of the program: the program folder (the running program
// file's folder, with the language files, the help texts and the copy's
// error file) and the data folder (where "Rowmover.ini" lives). Both end
// with "/".
struct SStartupFolders
{
    std::string homeBase;
    std::string appDir;
    bool defaultDataFolder = false;
};

// Finds both folders: "SavePath.ini" in the program folder may choose the
// data folder; otherwise it is the per-user configuration folder followed by
// "Quenstead/Rowmover/", and the installation record is written.
SStartupFolders ResolveFolders(const std::string& programFile, const std::string& firstArgument);
// The per-user configuration folder: $XDG_CONFIG_HOME, or $HOME/.config.
std::string UserConfigFolder();
// The system-wide data folder: the first entry of $XDG_DATA_DIRS, or /usr/local/share.
std::string SharedDataFolder();
// Writes "Installation.ini" below the shared data folder unless it already
// names this version. Failures are ignored.
void WriteInstallationRecord(const std::string& homeBase);
// The path of the running program file, or empty.
std::string RunningProgramFile();

extern const char* const ProgramVersionText;
