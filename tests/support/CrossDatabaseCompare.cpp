#include "support/CrossDatabaseCompare.h"

#include <stdexcept>

namespace
{
std::string Quoted(const std::string& text, char quote)
{
    std::string result(1, quote);
    for (char c : text)
    {
        result += c;
        if (c == quote)
            result += c;
    }
    return result + quote;
}
} // namespace

int CountMismatchedRows(const CTempDatabase& source, const CTempDatabase& dest, const std::string& table,
                        const std::vector<std::string>& columns, const std::vector<std::string>& sourceColumns,
                        const std::string& sourceTable)
{
    if (columns.empty() || (!sourceColumns.empty() && sourceColumns.size() != columns.size()))
        throw std::invalid_argument("CountMismatchedRows: columns");
    const std::string quotedTable = Quoted(table, '"');
    std::string declarations;
    std::string select = "SELECT ";
    std::string into;
    std::string match;
    for (size_t i = 0; i < columns.size(); ++i)
    {
        const std::string variable = "V" + std::to_string(i);
        const std::string column = Quoted(columns[i], '"');
        declarations += "DECLARE " + variable + " TYPE OF COLUMN " + quotedTable + "." + column + ";\n";
        select += (i ? ", " : "") + (sourceColumns.empty() ? column : sourceColumns[i]);
        into += (i ? ", :" : ":") + variable;
        match += (i ? " AND " : "") + column + " IS NOT DISTINCT FROM :" + variable;
    }
    const std::string quotedSource = sourceTable.empty() ? quotedTable : Quoted(sourceTable, '"');
    select += " FROM " + quotedSource;
    const std::string external = " ON EXTERNAL " + Quoted(source.Name(), '\'') + " AS USER " + Quoted(TestUser, '\'') +
                                 " PASSWORD " + Quoted(TestPassword, '\'');
    const std::string block = "EXECUTE BLOCK RETURNS (MISMATCHES INTEGER) AS\nDECLARE SOURCE_ROWS INTEGER;\n" +
                              declarations +
                              "BEGIN\n  MISMATCHES = 0;\n"
                              "  FOR EXECUTE STATEMENT " +
                              Quoted(select, '\'') + external + " INTO " + into +
                              " DO\n"
                              "    IF (NOT EXISTS (SELECT 1 FROM " +
                              quotedTable + " WHERE " + match +
                              ")) THEN MISMATCHES = MISMATCHES + 1;\n"
                              "  EXECUTE STATEMENT " +
                              Quoted("SELECT COUNT(*) FROM " + quotedSource, '\'') + external +
                              " INTO :SOURCE_ROWS;\n"
                              "  MISMATCHES = MISMATCHES + ABS(SOURCE_ROWS - (SELECT COUNT(*) FROM " +
                              quotedTable +
                              "));\n"
                              "  SUSPEND;\nEND";
    return std::stoi(dest.Scalar(block));
}
