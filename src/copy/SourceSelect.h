#pragma once

#include "db/SchemaQueries.h"

#include <string>
#include <vector>

class CFbConnection;

// How the source rows of one table are read.
struct SSourceSelectOptions
{
    // The code page that CHARACTER SET NONE text of the source is written
    // in (a Firebird character set name such as WIN1252); empty reads the
    // bytes as they are.
    std::string legacyCharset;
    // Through a server every BLOB read costs round trips of its own; small
    // BLOBs then come along in the rows as strings instead.
    bool inlineBlobs = false;
};

// The SELECT that reads every column of table (columns as the system tables
// list them, in their order), ordered by the first column. Columns are
// cast where the options ask for it and keep their names.
std::string BuildSourceSelect(CFbConnection& connection, const std::string& table,
                              const std::vector<SColumnInfo>& columns, const SSourceSelectOptions& options);
// True for a name that can stand as a character set in a statement.
bool IsCharacterSetName(const std::string& name);
// True when the attached database has a character set of that name.
bool HasCharacterSet(CFbConnection& connection, const std::string& name);
