#pragma once

#include <string>
#include <vector>

// The name as it must stand in a statement: plain upper-case names that are
// not reserved words stay as they are, every other name is double-quoted.
std::string SqlIdentifier(const std::string& name);
// The name always double-quoted: exact for a name read from the catalogue,
// whatever words the server at the other end reserves.
std::string QuotedSqlIdentifier(const std::string& name);
// The text with every apostrophe doubled, for use inside '...'.
std::string EscapeSqlString(const std::string& text);
// The names one after the other, separated as asked.
std::string Joined(const std::vector<std::string>& names, const char* separator);
// True for the reserved words of Firebird 3 (upper-case input).
bool IsReservedWord(const std::string& word);
// True when sql names the identifier as a whole, also inside string
// literals (dynamic SQL): a plain upper-case name in any letter case as a
// word of its own, never as part of a longer name; any other name between
// double quotes exactly as it is spelt.
bool MentionsIdentifier(const std::string& sql, const std::string& name);
