#include "cli/ProgramMain.h"

#include "cli/CStartupFolders.h"
#include "cli/CUnattendedRun.h"
#include "cli/CommandLine.h"
#include "cli/InterruptSignals.h"
#include "db/EmbeddedLockFolder.h"
#include "db/FileNameLocale.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int RunProgram(int argc, char** argv, const SWindowEntry* window)
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
    const std::string programFile = RunningProgramFile().empty() ? argv[0] : RunningProgramFile();
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
        if (window != nullptr && DisplayAvailable())
            return window->runUnattended(argc, argv);
        return RunUnattended(arguments, programFile, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    case ECommand::Check: return RunCheck(arguments, programFile, std::cout, std::cerr);
    case ECommand::Compare: return RunCompare(arguments, programFile, std::cout, std::cerr);
    case ECommand::Window: break;
    }
    if (window == nullptr)
    {
        std::cerr << "rowmover: this program was built without the window.\n"
                     "Run an unattended copy with six arguments, --check or --compare (see rowmover --help).\n";
        return ExitNotStarted;
    }
    if (!DisplayAvailable())
    {
        std::cerr << "rowmover: no display is available for the window.\n"
                     "Run an unattended copy with six arguments (see rowmover --help), or start a virtual display,\n"
                     "for example: xvfb-run ./run\n";
        return ExitNotStarted;
    }
    return window->run(argc, argv);
}
