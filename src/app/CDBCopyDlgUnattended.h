#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The unattended copy of the six-argument command line with the progress
// window shown: the same preparation, result lines on out, messages on err
// and exit codes (EUnattendedExit) as the run without a window; with
// progressLine (err is a terminal) the window's state line is also shown
// there as one line rewritten in place. Needs the application object;
// returns when the run has ended.
int RunUnattendedWithProgress(const std::vector<std::string>& arguments, const std::string& programFile,
                              std::ostream& out, std::ostream& err, bool progressLine = false);
