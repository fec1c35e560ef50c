#pragma once

// The program's start: the command line read, its mode run.

// What a build with the window adds to the command-line modes.
struct SWindowEntry
{
    // Runs the main window until it is closed; gives the exit code.
    int (*run)(int argc, char** argv) = nullptr;
    // Runs an unattended copy with the progress window shown.
    int (*runUnattended)(int argc, char** argv) = nullptr;
};

// Runs the mode the arguments ask for. window is null in a build without
// the window: an unattended copy then runs on the terminal, and asking for
// the window ends with ExitNotStarted.
int RunProgram(int argc, char** argv, const SWindowEntry* window);
