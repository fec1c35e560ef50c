#include "app/RowmoverWindow.h"

#include "app/CDBCopyDlgUnattended.h"
#include "app/CRowmoverApp.h"
#include "app/CRowmoverDlg.h"
#include "cli/CStartupFolders.h"
#include "cli/CUnattendedRun.h"
#include "cli/InterruptSignals.h"

#include <QApplication>
#include <QByteArray>

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

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
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string programFile = RunningProgramFile().empty() ? argv[0] : RunningProgramFile();
    // Database names, users and passwords are not Qt's options: a password
    // such as "-style" must reach the copy, not the application object. Qt
    // gets the program's name and the platforms to try, the last one a
    // stand-in that says no display could be opened.
    QByteArray platforms = UnattendedPlatforms();
    QByteArray platformOption("-platform");
    std::vector<char*> qtArguments{argv[0], platformOption.data(), platforms.data(), nullptr};
    int qtArgc = 3;
    QApplication application(qtArgc, qtArguments.data());
    if (QGuiApplication::platformName() == QLatin1String(kNoDisplayPlatform) &&
        !platforms.startsWith(kNoDisplayPlatform))
    {
        // A display is named but cannot be opened: the copy runs as without one.
        return RunUnattended(arguments, programFile, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    }
    return RunUnattendedWithProgress(arguments, programFile, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}

QByteArray UnattendedPlatforms()
{
    // The user's choice first, as Qt would take it; then the stand-in.
    QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (chosen.isEmpty())
        chosen = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb" : "wayland;xcb";
    if (chosen.split(';').contains(kNoDisplayPlatform))
        return chosen;
    return chosen + ";" + kNoDisplayPlatform;
}
