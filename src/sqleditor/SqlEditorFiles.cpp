#include "sqleditor/SqlEditorFiles.h"

#include "core/FileHelpers.h"

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
            result.stoppedAtEmptyLine = true;
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

bool SaveSqlScript(const std::u16string& path, const std::string& text)
{
    // Appending creates the file; removing it first leaves nothing of a
    // longer old script behind.
    RemoveFile(path);
    return AppendTextToFile(path, text);
}

bool ExportResults(CStringGrid& columnGrid, CStringGrid& rowGrid, const std::u16string& path)
{
    CStringGrid exportGrid;
    columnGrid.CopyTo(exportGrid);
    // Rows 1 to 4 describe the columns (class, table, type, length); only the
    // names make the header line.
    for (int i = 0; i < 4; ++i)
        exportGrid.DeleteRow(1);
    for (int r = 0; r < rowGrid.RowCount(); ++r)
        rowGrid.AppendRowTo(r, exportGrid);
    return exportGrid.SaveToFile(path);
}
