#pragma once

#include "db/CFbConnection.h"

#include <ibase.h>

// The raw client-library handles of a connection. Only the statement, BLOB,
// array and transaction code of the db layer (and its own tests) calls the
// client library with them; everything above goes through CFbConnection.
class CFbHandles
{
  public:
    static isc_db_handle* Database(CFbConnection& connection) { return &connection.m_hDatabase; }
    static isc_tr_handle* Transaction(CFbConnection& connection) { return &connection.m_hTransaction; }
};
