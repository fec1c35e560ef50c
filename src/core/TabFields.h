#pragma once

#include <string>
#include <vector>

// Lines of tab-separated fields in the program's own record files. A tab,
// line break or backslash inside a field is escaped, so a line always reads
// back into the fields it was written from.
std::string EscapeTabField(const std::string& text);
std::vector<std::string> SplitTabFields(const std::string& line);
