#include "app/CommandLine.h"

#include "app/CStartupFolders.h"

#include <cstdlib>
#include <ibase.h>
#include <ostream>

ECommand ParseCommandLine(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return ECommand::Window;
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h"))
        return ECommand::Help;
    if (arguments.size() == 1 && arguments[0] == "--version")
        return ECommand::Version;
    if (arguments.size() == 6)
        return ECommand::Unattended;
    return ECommand::Usage;
}

void PrintUsage(std::ostream& out)
{
    out << "Usage:\n"
           "  rowmover                 open the window\n"
           "  rowmover SOURCE_DB SOURCE_USER SOURCE_PASSWORD DEST_DB DEST_USER DEST_PASSWORD\n"
           "                           copy every table present in both databases, unattended\n"
           "  rowmover --help | --version\n"
           "\n"
           "A database is a file path (opened by the embedded engine) or host:path through a server.\n"
           "An empty user or password (\"\") takes the default of the settings.\n"
           "Exit codes of a copy: 0 every table copied, 1 a table failed or the logs could not be written,\n"
           "2 the copy could not start.\n";
}

void PrintVersion(std::ostream& out)
{
    char client[256] = {};
    isc_get_client_version(client);
    out << "Rowmover " << ProgramVersionText << "\nFirebird client library " << client << std::endl;
}

bool DisplayAvailable()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}
