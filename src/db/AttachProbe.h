#pragma once

#include <string>

// How one attach of a database name ended.
enum class EAttachProbe
{
    Attached,
    // The name goes through a server and nothing answered at its host and
    // port: the database itself was never reached.
    NoServer,
    Failed,
};

// Attaches database once with user and password and detaches at once.
EAttachProbe ProbeAttach(const std::string& database, const std::string& user, const std::string& password);
