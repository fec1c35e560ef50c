#pragma once

#include <string>
#include <vector>

class CFbConnection;

// A column of a table's unique key and how the destination compares its
// values: rows whose key the collation holds equal meet in the key.
struct SKeyColumn
{
    std::string name;
    std::string collation;       // empty for a column that is not text
    int collationAttributes = 0; // RDB$COLLATION_ATTRIBUTES (CollationAttribute)
};

// The bits of RDB$COLLATION_ATTRIBUTES.
enum CollationAttribute
{
    CollationPadSpace = 1,
    CollationCaseInsensitive = 2,
    CollationAccentInsensitive = 4,
};

// What decides whether several attachments, each with a transaction of its
// own, may insert the rows of one table side by side.
struct SConcurrentInsertFacts
{
    int uniqueIndexes = 0;             // active unique indexes (the primary key among them)
    int expressionIndexes = 0;         // of them, those on an expression
    int selfReferences = 0;            // foreign keys from the table to itself
    int selectingChecks = 0;           // CHECK constraints that select
    std::vector<SKeyColumn> uniqueKey; // the columns of the unique index, in order
    bool hasRows = false;              // committed rows stand in the table
};

// Reads the facts of table; false on failure (the connection's error says why).
bool ReadConcurrentInsertFacts(CFbConnection& connection, const std::string& table, SConcurrentInsertFacts& facts);
