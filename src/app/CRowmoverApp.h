#pragma once

#include <QApplication>

#include <string>
#include <vector>

// The program's application object: it runs the main window and ends when
// the window ends.
class CRowmoverApp : public QApplication
{
  public:
    CRowmoverApp(int& argc, char** argv);

    // Shows the main window modally and gives the program's exit code once
    // it has ended. arguments: the command line as started, the program's
    // own name first (taken before Qt removes the options it knows).
    int InitInstance(const std::string& programFile, const std::vector<std::string>& arguments);
};
