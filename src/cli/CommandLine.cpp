#include "cli/CommandLine.h"

#include "cli/CStartupFolders.h"

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

namespace
{
// "A,B, C" as names; false when one of them is empty.
bool SplitNames(const std::string& list, std::vector<std::string>& names)
{
    size_t start = 0;
    while (true)
    {
        const size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        // Firebird ignores trailing blanks of a name; a blank before one is a typing habit.
        const size_t first = name.find_first_not_of(' ');
        const size_t last = name.find_last_not_of(' ');
        if (first == std::string::npos)
            return false;
        names.push_back(name.substr(first, last - first + 1));
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}
} // namespace

bool SplitRunOptions(const std::vector<std::string>& arguments, SRunOptions& options,
                     std::vector<std::string>& positional, std::string& error)
{
    options = SRunOptions{};
    positional.clear();
    size_t i = 0;
    // The value of an option written "--name VALUE" or "--name=VALUE"; false
    // when argument is not that option. missing is set when it has no value.
    const auto valueOf = [&](const std::string& name, std::string& value, bool& missing) {
        const std::string& argument = arguments[i];
        missing = false;
        if (argument.rfind(name + "=", 0) == 0)
        {
            value = argument.substr(name.size() + 1);
            return true;
        }
        if (argument != name)
            return false;
        if (i + 1 >= arguments.size())
            missing = true;
        else
            value = arguments[++i];
        return true;
    };
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
        if (argument == "--check" || argument == "--compare" || argument == "--no-verify" ||
            argument == "--retry-failed" || argument == "--no-backup" || argument == "--no-way-back")
        {
            (argument == "--check"         ? options.check
             : argument == "--compare"     ? options.compare
             : argument == "--no-verify"   ? options.noVerify
             : argument == "--no-backup"   ? options.noBackup
             : argument == "--no-way-back" ? options.noWayBack
                                           : options.retryFailed) = true;
            continue;
        }
        std::string value;
        bool missing = false;
        if (valueOf("--source-charset", value, missing))
        {
            if (missing)
            {
                error = "rowmover: --source-charset needs a character set name, for example WIN1252";
                return false;
            }
            options.sourceCharset = value;
            continue;
        }
        const bool tables = valueOf("--tables", value, missing);
        if (tables || valueOf("--exclude", value, missing))
        {
            const std::string name = tables ? "--tables" : "--exclude";
            if (missing || !SplitNames(value, tables ? options.tables : options.exclude))
            {
                error = "rowmover: " + name + " needs table names separated by commas, for example " + name +
                        " CUSTOMER,ORDERS";
                return false;
            }
            options.tablesGiven = options.tablesGiven || tables;
            continue;
        }
        const bool backupDir = valueOf("--backup-dir", value, missing);
        if (backupDir || valueOf("--log-dir", value, missing))
        {
            const std::string name = backupDir ? "--backup-dir" : "--log-dir";
            if (missing || value.empty())
            {
                error = "rowmover: " + name + " needs a folder";
                return false;
            }
            (backupDir ? options.backupDir : options.logDir) = value;
            continue;
        }
        if (valueOf("--report", value, missing))
        {
            if (missing || value.empty())
            {
                error = "rowmover: --report needs a file name, or - for standard output";
                return false;
            }
            options.report = value;
            continue;
        }
        error = "rowmover: unknown option " + argument;
        return false;
    }
    // The tables that failed are the choice: another one would change what
    // the next retry finds.
    if (options.retryFailed && (options.tablesGiven || !options.exclude.empty()))
    {
        error = "rowmover: --retry-failed chooses its tables itself; it does not go with --tables or --exclude";
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
           "  rowmover [OPTIONS] SOURCE_DB SOURCE_USER SOURCE_PASSWORD DEST_DB DEST_USER DEST_PASSWORD\n"
           "                           copy every table present in both databases, unattended\n"
           "  rowmover --help | --version\n"
           "\n"
           "A database is a file path (opened by the embedded engine) or host:path through a server.\n"
           "An empty user or password (\"\") is taken from the environment variable ISC_USER or ISC_PASSWORD,\n"
           "and where that is unset from the default of the settings. A password \"-\" is read from standard\n"
           "input, one line for each \"-\" (source first), not shown when typed at a terminal: so no password\n"
           "need stand in the process list, where every user of the computer can read it.\n"
           "\n"
           "Options (before the databases; \"--\" ends them):\n"
           "  --check                report what the copy would do, table by table, and write nothing\n"
           "      rowmover --check old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --compare              compare the rows of the tables in both databases, copy nothing\n"
           "      rowmover --compare old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --tables NAME[,NAME...]\n"
           "                         only these tables; names as the table list shows them, letter case\n"
           "                         aside; a name that is not in both databases stops the run before it\n"
           "                         writes anything\n"
           "      rowmover --tables CUSTOMER,ORDERS old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --exclude NAME[,NAME...]\n"
           "                         every table present in both databases but these\n"
           "      rowmover --exclude AUDIT_LOG old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --retry-failed         copy again exactly the tables that failed in the last run into this\n"
           "                         destination (recorded in the data folder); none recorded: exit 0\n"
           "      rowmover --retry-failed old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --report FILE          write a JSON report of the run to FILE when it ends, whatever its\n"
           "                         outcome; with FILE \"-\" the report goes to standard output and the\n"
           "                         usual lines to standard error (the README describes its fields)\n"
           "      rowmover --report nightly.json old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --source-charset NAME  the code page that the source's text in CHARACTER SET NONE is written in\n"
           "                         (a Firebird character set: WIN1252, ISO8859_1, DOS850 ...); without it,\n"
           "                         the setting of the options; without either such text is copied as its bytes\n"
           "      rowmover --source-charset WIN1252 old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --no-verify            copied tables are not read back and compared with the source\n"
           "      rowmover --no-verify old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "  --no-backup            no backup of the source database (the destination's way back is\n"
           "                         still made; the run says so)\n"
           "  --no-way-back          no copy of the destination before the run: a failed table cannot be\n"
           "                         taken back from one\n"
           "  --backup-dir DIR       the source's backup and the destination's way back go to DIR\n"
           "  --log-dir DIR          the run log, SQL log and data text log go to DIR (made if missing)\n"
           "      rowmover --backup-dir /srv/backups --log-dir /var/tmp/logs old.fdb SYSDBA - new.fdb SYSDBA -\n"
           "--tables, --exclude and --retry-failed also choose the tables of --check and --compare, and\n"
           "--report writes their results: rowmover --check --tables ORDERS --report - old.fdb ...\n"
           "\n"
           "Exit codes of a copy: 0 every table copied, 1 a table failed or the logs could not be written,\n"
           "2 the copy could not start (also when the disk lacks room for its copies and logs).\n"
           "Of a check: 0 no table would fail, 1 a table would, 2 no check.\n"
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
