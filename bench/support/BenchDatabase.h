#pragma once

#include <string>

// The benchmarks' own databases: made and filled with the test login.
namespace bench
{
extern const char* const User;
extern const char* const Password;

// Creates the database (8 KB pages, UTF8) and detaches.
bool CreateDatabase(const std::string& name);
// Runs one statement in its own attachment; prints the server's message on failure.
bool Run(const std::string& database, const std::string& sql);
} // namespace bench
