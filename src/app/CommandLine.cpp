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
    SRunOptions options;
    std::vector<std::string> positional;
    std::string error;
    if (SplitRunOptions(arguments, options, positional, error) && positional.size() == 6)
        return options.check ? ECommand::Check : options.compare ? ECommand::Compare : ECommand::Unattended;
    return ECommand::Usage;
}

bool SplitRunOptions(const std::vector<std::string>& arguments, SRunOptions& options,
                     std::vector<std::string>& positional, std::string& error)
{
    options = SRunOptions{};
    positional.clear();
    size_t i = 0;
    // Only the known options are taken: a database name is never an option,
    // and "--" lets a name that starts with two dashes through.
    for (; i < arguments.size() && arguments[i].rfind("--", 0) == 0; ++i)
    {
        const std::string& argument = arguments[i];
        if (argument == "--")
        {
            ++i;
            break;
        }
        if (argument == "--check" || argument == "--compare" || argument == "--no-verify")
        {
            (argument == "--check"     ? options.check
             : argument == "--compare" ? options.compare
                                       : options.noVerify) = true;
            continue;
        }
        const std::string charsetOption = "--source-charset";
        if (argument == charsetOption || argument.rfind(charsetOption + "=", 0) == 0)
        {
            const bool inline_ = argument.size() > charsetOption.size();
            if (!inline_ && i + 1 >= arguments.size())
            {
                error = "rowmover: " + charsetOption + " needs a character set name, for example WIN1252";
                return false;
            }
            options.sourceCharset = inline_ ? argument.substr(charsetOption.size() + 1) : arguments[++i];
            continue;
        }
        error = "rowmover: unknown option " + argument;
        return false;
    }
    positional.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
    return true;
}

std::string CommandLineError(const std::vector<std::string>& arguments)
{
    SRunOptions options;
    std::vector<std::string> positional;
    std::string error;
    SplitRunOptions(arguments, options, positional, error);
    return error;
}

void PrintUsage(std::ostream& out)
{
    out << "Usage:\n"
           "  rowmover                 open the window\n"
           "  rowmover [--source-charset NAME] SOURCE_DB SOURCE_USER SOURCE_PASSWORD DEST_DB DEST_USER DEST_PASSWORD\n"
           "                           copy every table present in both databases, unattended\n"
           "  rowmover --check [--source-charset NAME] SOURCE_DB SOURCE_USER SOURCE_PASSWORD DEST_DB DEST_USER\n"
           "           DEST_PASSWORD   report what that copy would do, table by table, and write nothing\n"
           "  rowmover --compare SOURCE_DB SOURCE_USER SOURCE_PASSWORD DEST_DB DEST_USER DEST_PASSWORD\n"
           "                           compare the rows of every table present in both databases, copy nothing\n"
           "  rowmover --help | --version\n"
           "\n"
           "A database is a file path (opened by the embedded engine) or host:path through a server.\n"
           "An empty user or password (\"\") is taken from the environment variable ISC_USER or ISC_PASSWORD,\n"
           "and where that is unset from the default of the settings. A password \"-\" is read from standard\n"
           "input, one line for each \"-\" (source first), not shown when typed at a terminal: so no password\n"
           "need stand in the process list, where every user of the computer can read it.\n"
           "--source-charset NAME  the code page that the source's text in CHARACTER SET NONE is written in\n"
           "                       (a Firebird character set: WIN1252, ISO8859_1, DOS850 ...); without it,\n"
           "                       the setting of the options; without either such text is copied as its bytes.\n"
           "--no-verify            copied tables are not read back and compared with the source.\n"
           "Exit codes of a copy: 0 every table copied, 1 a table failed or the logs could not be written,\n"
           "2 the copy could not start. Of a check: 0 no table would fail, 1 a table would, 2 no check.\n"
           "Of a comparison: 0 every table identical, 1 differences, 2 the databases could not be compared.\n";
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
