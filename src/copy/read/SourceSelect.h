#pragma once

#include "db/SchemaQueries.h"

#include <map>
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
    // Columns of a declared single-byte character set whose bytes without a
    // character in it (see UnmappedBytes) the server would turn into U+0000
    // on the way into another character set: by column, those bytes. They
    // mark a row in UnmappedByteColumn as the legacy columns do.
    std::map<std::string, std::string> declaredUnmapped;
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
// The source's text columns of a single-byte character set that has bytes
// without a character (WIN1252: 0x81, 0x8D, 0x8F, 0x90, 0x9D), which an old
// application writing through a NONE connection may have stored there. The
// server reads such a byte as U+0000, even on its way into the same
// character set, so a row holding one is refused (declaredUnmapped, with
// charsets naming each column's character set); columns going on as their
// bytes (bytesColumns) keep them.
void PlanDeclaredUnmappedBytes(CFbConnection& source, const std::vector<SColumnInfo>& sourceColumns,
                               const std::vector<SColumnInfo>& dest, SSourceSelectOptions& options,
                               std::map<std::string, std::string>& charsets);
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
// The name of the attached database's character set of that id; empty when
// it has none or the name could not stand in a statement.
std::string CharacterSetName(CFbConnection& connection, int id);
// True when the attached database has a character set of that name.
bool HasCharacterSet(CFbConnection& connection, const std::string& name);
