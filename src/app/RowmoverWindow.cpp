#include "app/RowmoverWindow.h"

#include "app/CDBCopyDlgUnattended.h"
#include "app/CRowmoverApp.h"
#include "app/CRowmoverDlg.h"
#include "app/InterruptSignals.h"
#include "app/CStartupFolders.h"
#include "app/CUnattendedRun.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

bool WindowsAvailable()
{
    return true;
}

int RunWindow(int argc, char** argv)
{
    // Taken before the application object removes the options it knows.
    const std::vector<std::string> arguments(argv, argv + argc);
    const std::string programFile = RunningProgramFile();
    CRowmoverApp application(argc, argv);
    // Interrupts reach the window on its own thread.
    const CInterruptWatch interrupts([](int count) {
        QMetaObject::invokeMethod(
            qApp,
            [count] {
                for (QWidget* widget : QApplication::topLevelWidgets())
                {
                    if (auto* window = qobject_cast<CRowmoverDlg*>(widget))
                        window->OnInterrupt(count);
                }
            },
            Qt::QueuedConnection);
    });
    return application.InitInstance(programFile, arguments);
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
