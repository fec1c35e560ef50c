#pragma once

#include <string>

// Whether the file named after a database's server part is a file of this
// computer: a name without server part, or a server reached on this computer
// (localhost, the computer's own name, one of its addresses). Only then may
// the program copy, back up or change that file; on another host the same
// path is another file, if any.
bool IsDatabaseOnThisMachine(const std::string& databaseName);
