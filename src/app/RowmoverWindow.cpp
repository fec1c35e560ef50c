#include "app/RowmoverWindow.h"

#include "app/CDBCopyDlgUnattended.h"
#include "app/CStartupFolders.h"
#include "app/CUnattendedRun.h"

#include <QApplication>

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
    // Taken before the application object removes the options it knows.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string programFile = RunningProgramFile().empty() ? argv[0] : RunningProgramFile();
    int qtArgc = argc;
    QApplication application(qtArgc, argv);
    return RunUnattendedWithProgress(arguments, programFile, std::cout, std::cerr);
}
