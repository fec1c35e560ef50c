#pragma once

#include "db/SchemaQueries.h"

#include <set>
#include <string>
#include <vector>

class CFbConnection;

// How the source rows of one table are read.
struct SSourceSelectOptions
{
    // The code page that CHARACTER SET NONE text of the source is written
    // in (a Firebird character set name such as WIN1252), and the columns
    // read as that code page; all others are read as their bytes stand.
    std::string legacyCharset;
    std::set<std::string> legacyColumns;
    // Through a server every BLOB read costs round trips of its own; small
    // BLOBs then come along in the rows as strings instead.
    bool inlineBlobs = false;
    // Bytes that stand for no character in legacyCharset (see UnmappedBytes).
    // With any, the SELECT ends with the column UnmappedByteColumn: for a row
    // whose legacy text holds one, the position (from 1) of the first column
    // in the SELECT that does; 0 for every other row.
    std::string unmappedBytes;
    // Text columns going into columns of bytes (OCTETS, NONE, a binary
    // BLOB): read as the bytes they are stored as, as CAST hands them over.
    std::set<std::string> bytesColumns;
};

inline constexpr const char* UnmappedByteColumn = "ROWMOVER$UNMAPPED_BYTE";

// The SELECT that reads every column of table (columns as the system tables
// list them, in their order), ordered by the first column. Columns are
// cast where the options ask for it and keep their names.
std::string BuildSourceSelect(CFbConnection& connection, const std::string& table,
                              const std::vector<SColumnInfo>& columns, const SSourceSelectOptions& options);
// The source's CHARACTER SET NONE text columns whose destination column has
// a real character set: only their bytes need a code page to become text.
// Into NONE or OCTETS the bytes go as they are.
std::set<std::string> LegacyTextColumns(const std::vector<SColumnInfo>& source, const std::vector<SColumnInfo>& dest);
// The source's text columns of a real character set whose destination
// column holds bytes: an OCTETS or NONE column, a binary or such a text BLOB.
std::set<std::string> TextIntoBytesColumns(const std::vector<SColumnInfo>& source,
                                           const std::vector<SColumnInfo>& dest);
// The expression that reads a text column as the bytes it is stored as.
std::string TextAsBytes(const SColumnInfo& column);
// True when any column of the source holds text of a real character set.
bool HasRealText(const std::vector<SColumnInfo>& source);
// True when any column of the source holds CHARACTER SET NONE text.
bool HasNoneText(const std::vector<SColumnInfo>& source);
// The bytes of a single-byte character set that stand for no character in
// it: the server turns each of them into U+0000 without a word. Empty for a
// set without such bytes, for one of several bytes a character, and when
// the server does not know the set.
std::string UnmappedBytes(CFbConnection& connection, const std::string& charset);
// The condition that a column holds one of the bytes.
std::string HoldsAnyByte(const std::string& quotedColumn, const std::string& bytes);
// Why a row whose column holds such a byte is not copied.
std::string UnmappedByteMessage(const std::string& column, const std::string& charset, const std::string& bytes);
// True for a name that can stand as a character set in a statement.
bool IsCharacterSetName(const std::string& name);
// True when the attached database has a character set of that name.
bool HasCharacterSet(CFbConnection& connection, const std::string& name);
