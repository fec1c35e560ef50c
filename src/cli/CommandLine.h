#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// What the command line asks for.
enum class ECommand
{
    Window,     // no arguments
    Unattended, // six arguments
    Check,      // --check and six arguments
    Compare,    // --compare and six arguments
    Help,
    Version,
    Usage, // anything else: the usage goes to standard error
};

// The options that may stand before the six arguments of an unattended copy.
struct SRunOptions
{
    // --source-charset NAME: the code page of the source's CHARACTER SET NONE
    // text; empty takes the settings' choice.
    std::string sourceCharset;
    // --check: report what a copy would do, write nothing.
    bool check = false;
    // --compare: compare the tables of both databases, copy nothing.
    bool compare = false;
    // --no-verify: copied tables are not read back and compared.
    bool noVerify = false;
    // --tables NAME[,NAME...]: only these tables (tablesGiven tells an
    // empty choice from none).
    std::vector<std::string> tables;
    bool tablesGiven = false;
    // --exclude NAME[,NAME...]: all shared tables but these.
    std::vector<std::string> exclude;
    // --retry-failed: the tables that failed in the last run into the destination.
    bool retryFailed = false;
    // --report FILE: a JSON report at the end; "-" for standard output.
    std::string report;
    // --no-backup: no backup of the source; --no-way-back: no copy of the
    // destination before the run.
    bool noBackup = false;
    bool noWayBack = false;
    // --backup-dir DIR, --log-dir DIR: where the copies and the logs go;
    // empty takes the settings' choice.
    std::string backupDir;
    std::string logDir;
};

// The report option's value that means standard output.
inline constexpr const char* ReportToStandardOutput = "-";

ECommand ParseCommandLine(const std::vector<std::string>& arguments);
// Takes the leading options off arguments ("--" ends them); false with the
// reason in error when an option is unknown or lacks its value.
bool SplitRunOptions(const std::vector<std::string>& arguments, SRunOptions& options,
                     std::vector<std::string>& positional, std::string& error);
// What is wrong with an argument vector that ParseCommandLine calls Usage:
// the option that is unknown or lacks its value; empty when only the
// number of arguments is wrong.
std::string CommandLineError(const std::vector<std::string>& arguments);
void PrintUsage(std::ostream& out);
void PrintVersion(std::ostream& out);
// True when a window can be shown (an X11 or Wayland display, or a Qt
// platform chosen explicitly).
bool DisplayAvailable();
