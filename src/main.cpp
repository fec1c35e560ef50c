// The rowmover program: the window, or an unattended copy from the command line.
#include "app/CUnattendedRun.h"
#include "app/CommandLine.h"
#include "app/RowmoverWindow.h"

#include "app/CStartupFolders.h"
#include "db/EmbeddedLockFolder.h"
#include "db/FileNameLocale.h"

#include "app/InterruptSignals.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    // Before any thread starts: the program, not the database client
    // library, decides what an interrupt does.
    BlockInterruptSignals();
    // Before anything reaches the Firebird client: database names beyond
    // ASCII open only in a UTF-8 locale.
    UseUtf8FileNames();
    // Before the engine loads: it reads its lock folder once.
    UseEmbeddedLockFolder();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (ParseCommandLine(arguments))
    {
    case ECommand::Help: PrintUsage(std::cout); return 0;
    case ECommand::Version: PrintVersion(std::cout); return 0;
    case ECommand::Usage:
        if (const std::string error = CommandLineError(arguments); !error.empty())
            std::cerr << error << "\n\n";
        PrintUsage(std::cerr);
        return ExitNotStarted;
    case ECommand::Unattended:
        if (DisplayAvailable() && WindowsAvailable())
            return RunWindowUnattended(argc, argv);
        return RunUnattended(arguments, RunningProgramFile().empty() ? argv[0] : RunningProgramFile(), std::cout,
                             std::cerr, isatty(STDERR_FILENO) != 0);
    case ECommand::Check:
        return RunCheck(arguments, RunningProgramFile().empty() ? argv[0] : RunningProgramFile(), std::cout, std::cerr);
    case ECommand::Compare:
        return RunCompare(arguments, RunningProgramFile().empty() ? argv[0] : RunningProgramFile(), std::cout,
                          std::cerr);
    case ECommand::Window: break;
    }
    if (!DisplayAvailable())
    {
        std::cerr << "rowmover: no display is available for the window.\n"
                     "Run an unattended copy with six arguments (see rowmover --help), or start a virtual display,\n"
                     "for example: xvfb-run ./run\n";
        return ExitNotStarted;
    }
    return RunWindow(argc, argv);
}
