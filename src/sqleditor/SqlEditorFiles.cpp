#include "sqleditor/SqlEditorFiles.h"

#include "core/CReplacingFile.h"
#include "core/FileHelpers.h"

#include <algorithm>

SLineStatements SplitStatementLines(const std::string& text)
{
    SLineStatements result;
    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t\r") == std::string::npos)
        {
            result.stoppedAtEmptyLine = text.find_first_not_of(" \t\r\n", end) != std::string::npos;
            break;
        }
        result.lines.push_back(line);
        start = end + 1;
    }
    return result;
}

std::string ToCrLf(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            result += '\r';
        result += text[i];
    }
    return result;
}

std::string FromCrLf(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            result += text[i];
    return result;
}

std::string LoadSqlScript(const std::u16string& path)
{
    return ReadWholeFile(path);
}

bool SaveSqlScript(const std::u16string& path, const std::string& text, std::string* error)
{
    return ReplaceFileContents(path, text, error);
}

std::string CsvLine(const std::vector<std::string>& cells)
{
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i)
    {
        if (i > 0)
            line += ';';
        const std::string& cell = cells[i];
        if (cell.find_first_of(";\"\r\n") == std::string::npos)
        {
            line += cell;
            continue;
        }
        line += '"';
        for (const char c : cell)
        {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    line += "  \r\n";
    return line;
}

bool ExportResults(CStringGrid& columnGrid, CStringGrid& rowGrid, const std::u16string& path, std::string* error)
{
    CReplacingFile file(path);
    bool ok = file.Open();
    // Row 0 of the column grid holds the names; rows 1 to 4 describe the
    // columns (class, table, type, length) and are not exported.
    std::vector<std::string> cells(static_cast<size_t>(std::max(columnGrid.ColumnCount(), 0)));
    if (ok && columnGrid.RowCount() > 0 && !cells.empty())
    {
        for (size_t c = 0; c < cells.size(); ++c)
            cells[c] = columnGrid.GetCell(static_cast<int>(c), 0);
        ok = file.Write(CsvLine(cells));
        for (int r = 0; ok && r < rowGrid.RowCount(); ++r)
        {
            for (size_t c = 0; c < cells.size(); ++c)
                cells[c] = rowGrid.GetCell(static_cast<int>(c), r);
            ok = file.Write(CsvLine(cells));
        }
    }
    ok = ok && file.Commit();
    if (!ok && error)
        *error = file.Error();
    return ok;
}
