#pragma once

#include <string>
#include <vector>

class CFbConnection;

// What the system tables say of one column of a table.
struct SColumnInfo
{
    std::string name;
    bool computed = false;     // COMPUTED BY: the server refuses it in an INSERT
    bool nullable = true;
    int dimensions = 0;        // above 0 for an ARRAY column
    std::string identitySequence; // the sequence of an identity column, else empty
    bool blob = false;
    int blobSubType = 0;          // 1 for text
};

// A foreign key between two tables, with its columns in key order.
struct SForeignKey
{
    std::string name;
    std::string childTable;
    std::vector<std::string> childColumns;
    std::string parentTable;
    std::vector<std::string> parentColumns;
};

// The columns of a table in their position order; false when a query fails.
bool GetColumnInfo(CFbConnection& connection, const std::string& table, std::vector<SColumnInfo>& columns);
// Every foreign key of the database; false when a query fails.
bool GetForeignKeys(CFbConnection& connection, std::vector<SForeignKey>& keys);
// The primary-key columns of a table in key order (empty without one).
bool GetPrimaryKey(CFbConnection& connection, const std::string& table, std::vector<std::string>& columns);
// The current value of a sequence, or false when it cannot be read.
bool GetSequenceValue(CFbConnection& connection, const std::string& sequence, std::string& value);
