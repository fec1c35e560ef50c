#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

class CFbConnection;

// What the system tables say of one column of a table.
struct SColumnInfo
{
    std::string name;
    bool computed = false;        // COMPUTED BY: the server refuses it in an INSERT
    bool nullable = true;         // neither the column nor its domain is NOT NULL
    bool hasDefault = false;      // a DEFAULT of its own or of its domain
    int dimensions = 0;           // above 0 for an ARRAY column
    std::string identitySequence; // the sequence of an identity column, else empty
    bool blob = false;
    int blobSubType = 0; // the field's sub-type: 1 for a text BLOB
    int fieldType = 0;   // RDB$FIELD_TYPE (EFieldType, db/FieldTypes.h)
    int scale = 0;
    int length = 0;            // characters of CHAR and VARCHAR, bytes of other types
    int precision = 0;         // declared digits of NUMERIC and DECIMAL, 0 otherwise
    int characterSetId = -1;   // text and text BLOBs: 0 NONE, 1 OCTETS, 4 UTF8 ...; -1 otherwise
    bool inForeignKey = false; // a column of one of the table's foreign keys
};

// A column of another table that a CHECK constraint reads.
struct SCheckRead
{
    std::string constraint;
    std::string checkedTable; // the table the CHECK belongs to
    std::string readTable;
    std::string readColumn;
};

// A foreign key between two tables, with its columns in key order.
struct SForeignKey
{
    std::string name;
    std::string childTable;
    std::vector<std::string> childColumns;
    std::string parentTable;
    std::vector<std::string> parentColumns;
    std::string deleteRule; // "CASCADE", "SET NULL", "SET DEFAULT", "NO ACTION" or "RESTRICT"
};

// The database's own tables: no views, no system, temporary or external
// tables; false when the query fails.
bool GetUserTables(CFbConnection& connection, std::vector<std::string>& tables);
// Whether two names are the same letter case aside.
inline bool SameNameLetterCaseAside(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The column of that name: the exact spelling first, else the one column
// whose name is the same letter case aside ("amount" of an old design that
// quoted its names, AMOUNT of the new one); nullptr for none or several.
template <typename Column> const Column* FindColumnNamed(const std::vector<Column>& columns, const std::string& name)
{
    const Column* folded = nullptr;
    int matches = 0;
    for (const Column& column : columns)
    {
        if (column.name == name)
            return &column;
        if (SameNameLetterCaseAside(column.name, name))
        {
            folded = &column;
            ++matches;
        }
    }
    return matches == 1 ? folded : nullptr;
}

// How a database spells a table that the table list names: the exact
// spelling when it has it, else every table of that name letter case aside
// ("Customer" and CUSTOMER are two tables to the server). More than one
// means the name is ambiguous there; none, that there is no such table.
std::vector<std::string> TableSpellings(const std::vector<std::string>& tables, const std::string& name);
// Why a name that fits several tables is not copied.
std::string AmbiguousTableMessage(const std::string& name, const std::vector<std::string>& spellings);
// What identifies the database behind an attachment whatever name reached
// it (a relative path, a link, an alias, a server prefix): the file the
// engine opened and the moment the database was created.
bool ReadDatabaseIdentity(CFbConnection& connection, std::string& identity);
// True when every named trigger exists and is active, as the system tables
// say after what was committed; false also when the query fails.
bool AreTriggersActive(CFbConnection& connection, const std::vector<std::string>& triggers);
// The user triggers of a table that are active now, in the server's order.
bool GetActiveUserTriggers(CFbConnection& connection, const std::string& table, std::vector<std::string>& triggers);
// The columns of a table in their position order; false when a query fails.
bool GetColumnInfo(CFbConnection& connection, const std::string& table, std::vector<SColumnInfo>& columns);
// The columns of other tables that CHECK constraints read, as the engine's
// dependency records name them; false when a query fails.
bool GetCheckReads(CFbConnection& connection, std::vector<SCheckRead>& reads);
// Every foreign key of the database, or with parentTable those that refer
// to that table; false when a query fails.
bool GetForeignKeys(CFbConnection& connection, std::vector<SForeignKey>& keys, const std::string& parentTable = {});
// Whether a row of the key's table refers to a row through the key (a row
// with a NULL in its key refers to nothing); false when the query fails.
bool FindReferringRow(CFbConnection& connection, const SForeignKey& key, bool& found);
// The primary-key columns of a table in key order (empty without one).
bool GetPrimaryKey(CFbConnection& connection, const std::string& table, std::vector<std::string>& columns);
// The columns of the table's first UNIQUE constraint in key order (empty
// without one).
bool GetUniqueKey(CFbConnection& connection, const std::string& table, std::vector<std::string>& columns);
// The current value of a sequence, or false when it cannot be read.
bool GetSequenceValue(CFbConnection& connection, const std::string& sequence, std::string& value);
