#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes of an unattended run.
enum EUnattendedExit
{
    ExitAllCopied = 0,
    ExitTableFailed = 1,
    ExitNotStarted = 2,
};

// Copies every table present in both databases without any window, as the
// command line with six arguments asks: source database, user, password,
// destination database, user, password. Prints one result line per table to
// out and the paths of the three logs at the end; every message that a
// window would show goes to err. Returns an EUnattendedExit code.
int RunUnattended(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
                  std::ostream& err);

// Asks a running unattended copy to stop after the table in progress.
void RequestUnattendedStop();
