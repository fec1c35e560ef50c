#pragma once

#include <string>

// The host that a database name reaches through a server: "host:path",
// "host/port:path", "[ipv6]:path" and "inet://host:port/path" give host; a
// name that the embedded engine opens itself gives an empty text.
std::string ServerHost(const std::string& database);

// True for a host that names this machine by its loopback address:
// localhost, 127.0.0.0/8 or ::1 (no name is looked up).
bool IsLoopbackHost(const std::string& host);
