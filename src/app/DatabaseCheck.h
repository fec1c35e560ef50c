#pragma once

#include "copy/plan/CTableList.h"

#include <string>
#include <vector>

// The main window's attach checks as values, so that they run on a thread
// of their own: a check owns copies of the names and credentials, and the
// window takes over what it found only once it has finished (a cancelled
// check changes nothing).
struct SDatabaseCheck
{
    struct SSide
    {
        // In: the name, credentials (empty: the defaults) and whether the
        // name is already the embedded fallback. Out: the name in use (the
        // fallback file where no server answered), and the outcome.
        std::u16string database;
        std::u16string user;
        std::u16string password;
        bool openedDirectly = false;
        bool check = false;    // in: attach this side
        bool attached = false; // out
        bool failed = false;   // out: tried and not attached
    };

    SSide source;
    SSide dest;
    std::u16string defaultUser;
    std::u16string defaultPassword;
    int retries = 1;
    // In: with both sides, also read the tables present in both.
    bool listTables = false;

    // Out: 0 both attached (and listed), 1 source or 2 destination not
    // attached, 3 both names reach one database; the failed attach's reason.
    int result = 0;
    std::string attachError;
    std::vector<STableListRow> rows;
};

// Attaches the sides asked for (the source first), falling back to the
// embedded engine where a local server name finds no server, compares the
// databases' identities and, when asked, reads the table list.
void RunDatabaseCheck(SDatabaseCheck& check);
