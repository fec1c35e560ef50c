#include "config/LanguageTexts.h"

#include <cstring>

namespace
{
// The help window's manual: 59 CR LF separated lines, the last one empty.
// clang-format off
const char kEnglishManual[] =
    "Manual\r\n"
    "\r\n"
    "This program is designed for database copies. The table content of a source database\r\n"
    "can be easily transferred to a destination database.\r\n"
    "\r\n"
    "The destination database might be a database with an updated database design\r\n"
    "and the source database might be a database which contains records that should\r\n"
    "be transferred into the new database.\r\n"
    "\r\n"
    "It is mandatory that the table(s) that should be copied exist in both databases.\r\n"
    "The columns' existence and order may differ.\r\n"
    "\r\n"
    "Select a source and a destination database file and start the copy process. Select\r\n"
    "the log mode to get information about the statements that were executed.\r\n"
    "\r\n"
    "You also have the possibility to create a backup of your source database. It is stored\r\n"
    "like the log files inside a subfolder of the source database's directory.\r\n"
    "\r\n"
    "A simple SQL editor is contained by this program, which allows you to quickly\r\n"
    "watch the contents of database tables or to execute a SQL statement.\r\n"
    "\r\n"
    "\r\n"
    "A few SQL samples:\r\n"
    "\r\n"
    "SELECT * FROM Table;\r\n"
    "(= show all contents from table Table)\r\n"
    "\r\n"
    "SELECT * FROM Table ORDER BY ColumnA;\r\n"
    "(= show all contents from table Table ordered by ColumnA)\r\n"
    "\r\n"
    "SELECT * FROM Table ORDER BY ColumnA DESCENDING;\r\n"
    "(= same as above but descending order)\r\n"
    "\r\n"
    "SELECT * FROM Table WHERE ColumnA='A';\r\n"
    "(= show records only where ColumnA is 'A')\r\n"
    "\r\n"
    "SELECT ColumnA, ColumnB FROM Table;\r\n"
    "(= just show the columns ColumnA + ColumnB)\r\n"
    "\r\n"
    "INSERT INTO Table (ColumnA, ColumnB) VALUES ('ValueA', 'ValueB');\r\n"
    "(= add a new record to Table with the above values for ColumnA + B)\r\n"
    "\r\n"
    "DELETE FROM Table WHERE ColumnA='ValueA';\r\n"
    "(= remove records where ColumnA is set to 'ValueA')\r\n"
    "\r\n"
    "UPDATE Table SET ColumnB='ValueB2' WHERE ColumnA='ValueA';\r\n"
    "(= change a record, set ColumnB to 'ValueB2')\r\n"
    "\r\n"
    "DROP TABLE Table;\r\n"
    "(= delete table Table - CAUTION: Cannot be undone!!!)\r\n"
    "\r\n"
    "CREATE TABLE Table2 (ColumnA INT NOT NULL PRIMARY KEY, ColumnB VARCHAR(20));\r\n"
    "(= create Table2, set ColumnA as integer+primary key, B as Varchar(20),\r\n"
    "a primary key must be a unique value within each record of a table)\r\n"
    "\r\n"
    "Hint: The semicolon (;) is necessary after each SQL instruction. It tells\r\n"
    "the SQL interpreter that the current instruction is finished - because it\r\n"
    "is also possible to execute multiple SQL statements one after another.\r\n";
// clang-format on

const std::array<SLanguageText, kLanguageTextCount> kTexts = {{
#define ROWMOVER_LANGUAGE_ENTRY(id, key, english, arguments) {key, english, arguments},
    ROWMOVER_LANGUAGE_TEXTS(ROWMOVER_LANGUAGE_ENTRY)
#undef ROWMOVER_LANGUAGE_ENTRY
}};

bool IsFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

const std::array<SLanguageText, kLanguageTextCount>& LanguageTexts()
{
    return kTexts;
}

const SLanguageText& LanguageText(ELanguageText id)
{
    return kTexts[static_cast<std::size_t>(id)];
}

const SLanguageText* FindLanguageText(std::string_view key)
{
    for (const SLanguageText& text : kTexts)
    {
        if (key == text.pszKey)
            return &text;
    }
    return nullptr;
}

std::string FormatSignature(std::string_view text)
{
    std::string signature;
    std::size_t i = 0;
    while ((i = text.find('%', i)) != std::string_view::npos)
    {
        ++i;
        if (i < text.size() && text[i] == '%')
        {
            ++i;
            continue;
        }
        while (i < text.size() && IsFlag(text[i]))
            ++i;
        // A width or precision beyond three digits would have a translation
        // make texts of gigabytes: no argument fits it.
        std::size_t digits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            ++digits;
        bool tooWide = digits > 3;
        if (i < text.size() && text[i] == '.')
        {
            ++i;
            digits = 0;
            for (; i < text.size() && IsDigit(text[i]); ++i)
                ++digits;
            tooWide = tooWide || digits > 3;
        }
        if (tooWide)
        {
            signature += '?';
            continue;
        }
        if (i >= text.size())
        {
            signature += '?';
            break;
        }
        const char conversion = text[i++];
        if (conversion == 's')
            signature += 's';
        else if (std::strchr("diuxX", conversion) != nullptr && conversion != '\0')
            signature += 'd';
        else
            signature += '?';
    }
    return signature;
}

bool FitsArguments(std::string_view text, std::string_view signature)
{
    const std::string used = FormatSignature(text);
    return used.find('?') == std::string::npos && signature.substr(0, used.size()) == used;
}
