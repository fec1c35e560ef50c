#include "db/SqlText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace
{
// Reserved words of Firebird 3.0 (LOCALTIME and LOCALTIMESTAMP since 3.0.4),
// sorted for binary search.
constexpr std::array<std::string_view, 198> ReservedWords = {
    "ADD", "ADMIN", "ALL", "ALTER", "AND", "ANY", "AS", "AT", "AVG", "BEGIN", "BETWEEN", "BIGINT", "BIT_LENGTH", "BLOB",
    "BOOLEAN", "BOTH", "BY", "CASE", "CAST", "CHAR", "CHARACTER", "CHARACTER_LENGTH", "CHAR_LENGTH", "CHECK", "CLOSE",
    "COLLATE", "COLUMN", "COMMIT", "CONNECT", "CONSTRAINT", "CORR", "COUNT", "COVAR_POP", "COVAR_SAMP", "CREATE",
    "CROSS", "CURRENT", "CURRENT_CONNECTION", "CURRENT_DATE", "CURRENT_ROLE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
    "CURRENT_TRANSACTION", "CURRENT_USER", "CURSOR", "DATE", "DAY", "DEC", "DECIMAL", "DECLARE", "DEFAULT", "DELETE",
    "DELETING", "DETERMINISTIC", "DISCONNECT", "DISTINCT", "DOUBLE", "DROP", "ELSE", "END", "ESCAPE", "EXECUTE",
    "EXISTS", "EXTERNAL", "EXTRACT", "FALSE", "FETCH", "FILTER", "FLOAT", "FOR", "FOREIGN", "FROM", "FULL", "FUNCTION",
    "GDSCODE", "GLOBAL", "GRANT", "GROUP", "HAVING", "HOUR", "IN", "INDEX", "INNER", "INSENSITIVE", "INSERT",
    "INSERTING", "INT", "INTEGER", "INTO", "IS", "JOIN", "LEADING", "LEFT", "LIKE", "LOCALTIME", "LOCALTIMESTAMP",
    "LONG", "LOWER", "MAX", "MERGE", "MIN", "MINUTE", "MONTH", "NATIONAL", "NATURAL", "NCHAR", "NO", "NOT", "NULL",
    "NUMERIC", "OCTET_LENGTH", "OF", "OFFSET", "ON", "ONLY", "OPEN", "OR", "ORDER", "OUTER", "OVER", "PARAMETER",
    "PLAN", "POSITION", "POST_EVENT", "PRECISION", "PRIMARY", "PROCEDURE", "RDB$DB_KEY", "RDB$RECORD_VERSION", "REAL",
    "RECORD_VERSION", "RECREATE", "RECURSIVE", "REFERENCES", "REGR_AVGX", "REGR_AVGY", "REGR_COUNT", "REGR_INTERCEPT",
    "REGR_R2", "REGR_SLOPE", "REGR_SXX", "REGR_SXY", "REGR_SYY", "RELEASE", "RETURN", "RETURNING_VALUES", "RETURNS",
    "REVOKE", "RIGHT", "ROLLBACK", "ROW", "ROWS", "ROW_COUNT", "SAVEPOINT", "SCROLL", "SECOND", "SELECT", "SENSITIVE",
    "SET", "SIMILAR", "SMALLINT", "SOME", "SQLCODE", "SQLSTATE", "START", "STDDEV_POP", "STDDEV_SAMP", "SUM", "TABLE",
    "THEN", "TIME", "TIMESTAMP", "TO", "TRAILING", "TRIGGER", "TRIM", "TRUE", "UNION", "UNIQUE", "UNKNOWN", "UPDATE",
    "UPDATING", "UPPER", "USER", "USING", "VALUE", "VALUES", "VARCHAR", "VARIABLE", "VARYING", "VAR_POP", "VAR_SAMP",
    "VIEW", "WHEN", "WHERE", "WHILE", "WITH", "YEAR",
};
// A word added out of order, or a count larger than the list, would make the
// search miss words silently.
static_assert(std::is_sorted(ReservedWords.begin(), ReservedWords.end()) && !ReservedWords.front().empty());

bool IsPlainName(const std::string& name)
{
    if (name.empty() || name[0] < 'A' || name[0] > 'Z')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    });
}
} // namespace

bool IsReservedWord(const std::string& word)
{
    return std::binary_search(ReservedWords.begin(), ReservedWords.end(), std::string_view(word));
}

std::string SqlIdentifier(const std::string& name)
{
    if (IsPlainName(name) && !IsReservedWord(name))
        return name;
    return QuotedSqlIdentifier(name);
}

std::string QuotedSqlIdentifier(const std::string& name)
{
    std::string quoted = "\"";
    for (char c : name)
    {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::string EscapeSqlString(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text)
    {
        escaped += c;
        if (c == '\'')
            escaped += '\'';
    }
    return escaped;
}

bool MentionsIdentifier(const std::string& sql, const std::string& name)
{
    if (name.empty())
        return false;
    if (!IsPlainName(name))
        return sql.find(QuotedSqlIdentifier(name)) != std::string::npos;
    const auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
    };
    const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    for (size_t at = 0; at + name.size() <= sql.size(); ++at)
    {
        if (at > 0 && isNameChar(sql[at - 1]))
            continue;
        size_t i = 0;
        while (i < name.size() && upper(sql[at + i]) == name[i])
            ++i;
        if (i == name.size() && (at + i == sql.size() || !isNameChar(sql[at + i])))
            return true;
    }
    return false;
}

std::string Joined(const std::vector<std::string>& names, const char* separator)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : separator) + name;
    return text;
}
