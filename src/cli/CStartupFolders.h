#pragma once

#include "core/ProgramVersion.h"

#include <string>

// The folders of the program, each ending with "/": the program folder (the
// running program file's folder with the language files and help texts; for
// an installed program, whose bin folder holds none, the share/rowmover
// folder beside bin), the data folder (where "Rowmover.ini" lives), and the
// folder for the files a copy run keeps in the program folder (its error
// file and the destination's pre-run copy): the program folder while it can
// be written, else the per-user state folder.
struct SStartupFolders
{
    std::string homeBase;
    std::string appDir;
    std::string runFiles;
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
// The per-user state folder of the program: $XDG_STATE_HOME/rowmover/, or
// $HOME/.local/state/rowmover/; empty without a home folder.
std::string UserStateFolder();
// homeBase when it can be written, else the state folder (created), else
// homeBase.
std::string RunFilesFolder(const std::string& homeBase);
// The line a run shows when its files leave the program folder; empty when
// they stay there.
std::string RunFilesNote(const SStartupFolders& folders);
// Writes "Installation.ini" below the shared data folder unless it already
// names this version; where that folder cannot be written, in the state
// folder. Gives the record's path, empty when it could be written nowhere.
std::string WriteInstallationRecord(const std::string& homeBase);
// The path of the running program file, or empty.
std::string RunningProgramFile();
