#pragma once

#include <string>

// Path operations on wide (UTF-16) paths. Both "/" and "\" count as
// separators when a path is split; index 0 is never taken as a separator.

// The path up to and including its last separator; the whole path without one.
std::u16string GetDirectoryPart(const std::u16string& path);
// The text after the last separator that is not the final character.
std::u16string GetFileNamePart(const std::u16string& path);
// From the last full stop to the end, the full stop included; empty without one.
std::u16string GetExtension(const std::u16string& path);
// GetExtension with A-Z folded to lower case.
std::u16string GetExtensionLower(const std::u16string& path);
// The text after the first colon; the path itself without one.
std::u16string GetTextAfterColon(const std::u16string& path);
// The local file of a database name: any server part is removed.
std::u16string GetLocalDatabasePath(const std::u16string& databaseName);
// Every "/" to "\" (toBackslash) or every "\" to "/".
std::u16string ConvertSeparators(const std::u16string& path, bool toBackslash);
// Joins a folder and a name with the platform's separator "/" unless the
// folder already ends with a separator.
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);

// Narrow (UTF-8) forms of the database-name helpers, for the engine.
std::string GetLocalDatabasePath(const std::string& databaseName);
// The host of a database name's server part, without port, service or the
// brackets of an IPv6 address; empty for a file the embedded engine opens.
std::string GetDatabaseHost(const std::string& databaseName);
std::string GetDirectoryPart(const std::string& path);
std::string GetExtension(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
