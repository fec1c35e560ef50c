#pragma once

#include <ibase.h>
#include <string>

// The benchmarks' own databases: made and filled with the test login.
namespace bench
{
extern const char* const User;
extern const char* const Password;

// Creates the database (8 KB pages, UTF8); with attached, the new
// attachment is handed over there instead of detached.
bool CreateDatabase(const std::string& name, isc_db_handle* attached = nullptr);
// Runs one statement in its own attachment; prints the server's message on failure.
bool Run(const std::string& database, const std::string& sql);
} // namespace bench
