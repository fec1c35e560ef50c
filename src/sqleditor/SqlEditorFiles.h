#pragma once

#include "core/CStringGrid.h"

#include <string>
#include <vector>

// The statements of the editor's line mode: each line of text is one
// statement, taken up to (not including) the first empty line. A line of
// blanks counts as empty, since the server could only refuse it. Empty
// lines at the end of the text (a statement followed by Enter) end nothing.
struct SLineStatements
{
    std::vector<std::string> lines;
    // True when an empty line ended the list before further statements.
    bool stoppedAtEmptyLine = false;
};
SLineStatements SplitStatementLines(const std::string& text);

// Line ends of the statement box (LF) and of script files (CR LF).
std::string ToCrLf(const std::string& text);
std::string FromCrLf(const std::string& text);

// The UTF-8 text of a script file up to its first zero byte; empty when the
// file cannot be read.
std::string LoadSqlScript(const std::u16string& path);
// Replaces the file with the text (no byte order mark, nothing added),
// written beside it and renamed over it. False, with the system's reason in
// error when given, when it cannot be written; the old file then stays.
bool SaveSqlScript(const std::u16string& path, const std::string& text, std::string* error = nullptr);

// One line of the CSV export: the cells joined by ";" and ended by two
// blanks and CR LF. A cell that holds ";", a double quote, CR or LF stands
// between double quotes, its double quotes doubled; every other cell is
// written as it is.
std::string CsvLine(const std::vector<std::string>& cells);

// Writes the column names (row 0 of columnGrid) and then every row of
// rowGrid as CsvLine lines, beside the file and renamed over it. False, with
// the reason in error when given, when it cannot be written; the old file
// then stays.
bool ExportResults(CStringGrid& columnGrid, CStringGrid& rowGrid, const std::u16string& path,
                   std::string* error = nullptr);
