#include "app/RowmoverWindow.h"

#include "app/CStartupFolders.h"
#include "app/CUnattendedRun.h"

#include <iostream>
#include <string>
#include <vector>

// The main window is not part of this build yet: the command line serves.
bool WindowsAvailable()
{
    return false;
}

int RunWindow(int, char**)
{
    std::cerr << "rowmover: this build has no main window yet; use the unattended copy (rowmover --help).\n";
    return ExitNotStarted;
}

int RunWindowUnattended(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return RunUnattended(arguments, RunningProgramFile(), std::cout, std::cerr);
}
