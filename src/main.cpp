// The rowmover program: the window, or an unattended copy from the command line.
#include "app/RowmoverWindow.h"
#include "cli/ProgramMain.h"

int main(int argc, char** argv)
{
    const SWindowEntry window{&RunWindow, &RunWindowUnattended};
    return RunProgram(argc, argv, &window);
}
