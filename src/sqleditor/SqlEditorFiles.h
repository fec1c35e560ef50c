#pragma once

#include "core/CStringGrid.h"

#include <string>
#include <vector>

// The statements of the editor's line mode: each line of text is one
// statement, taken up to (not including) the first empty line. A line of
// blanks counts as empty, since the server could only refuse it.
struct SLineStatements
{
    std::vector<std::string> lines;
    // True when an empty line ended the list before the end of the text.
    bool stoppedAtEmptyLine = false;
};
SLineStatements SplitStatementLines(const std::string& text);

// Line ends of the statement box (LF) and of script files (CR LF).
std::string ToCrLf(const std::string& text);
std::string FromCrLf(const std::string& text);

// The UTF-8 text of a script file up to its first zero byte; empty when the
// file cannot be read.
std::string LoadSqlScript(const std::u16string& path);
// Replaces the file with the text (no byte order mark, nothing added).
// False when it cannot be written.
bool SaveSqlScript(const std::u16string& path, const std::string& text);

// Writes the column names (row 0 of columnGrid) and then every row of
// rowGrid as ";"-separated lines, each ended by two blanks and CR LF. No
// cell is quoted. False when the file cannot be written.
bool ExportResults(CStringGrid& columnGrid, CStringGrid& rowGrid, const std::u16string& path);
