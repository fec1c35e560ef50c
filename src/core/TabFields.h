#pragma once

#include <string>
#include <vector>

// Lines of tab-separated fields in the program's own record files. A tab,
// line break or backslash inside a field is escaped, so a line always reads
// back into the fields it was written from.
std::string EscapeTabField(const std::string& text);
std::vector<std::string> SplitTabFields(const std::string& line);

// The lines of such a record file, as a hand or another editor may have
// left it: a byte order mark at its start and carriage returns at line ends
// are no part of any field, and a line holding a zero byte is damaged and
// left out rather than ending the file there. Empty when it cannot be read.
std::vector<std::string> ReadRecordLines(const std::string& path);
