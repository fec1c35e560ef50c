// The rowmover program built without the window: every command-line mode,
// on a machine without display libraries.
#include "cli/ProgramMain.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, nullptr);
}
