#pragma once

// Credentials of an unattended copy that need not stand on the command line,
// where every user of the computer can read them in the process list. As
// Firebird's own tools do, an empty user or password argument is taken from
// ISC_USER or ISC_PASSWORD, and a password "-" is read from standard input.

#include <iosfwd>
#include <string>

// The password argument that stands for a line of standard input.
inline constexpr const char* PasswordFromInput = "-";

// The value of an environment variable; empty when it is unset.
std::string EnvironmentValue(const char* name);

// Reads one line from fd as a password, without its line end. When fd is a
// terminal, prompt goes to err first and the terminal does not show what is
// typed. Reads byte by byte, so that a second password can follow on the
// next line. False when the input ends before a line begins.
bool ReadPasswordLine(int fd, const std::string& prompt, std::ostream& err, std::string& password);
