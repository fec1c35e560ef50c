#pragma once

#include "copy/run/RunSettings.h"

#include <string>
#include <vector>

class CRunAttachments;
class CRunLogs;

// Ends what a copy interrupted between the two phases of its commit left in
// limbo in the destination (see PreparedCommits.h), and says so in the run
// log. Works through the run's shared attachment when it has one. The
// tables whose rows it committed (neither verified nor with their
// generators set); ended is false when some of it could not be ended.
std::vector<std::string> ResolveInterruptedCommits(const SRunSettings& settings, CRunLogs& logs,
                                                   CRunAttachments* shared, bool& ended);
