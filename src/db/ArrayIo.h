#pragma once

#include "db/FbStatus.h"

#include <ibase.h>
#include <string>

class CFbConnection;

// The whole contents of one ARRAY value: its element type and bounds as
// the source column declares them, and the elements in row-major order.
struct SArraySlice
{
    ISC_ARRAY_DESC desc{};
    std::string data;
};

// Reads the array with the given id of table.column; false on failure.
bool ReadArray(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& table,
               const std::string& column, const ISC_QUAD& id, SArraySlice& slice);
// The element type and bounds of table.column as the database declares
// them, read in the connection's open transaction; false on failure.
bool LookupArrayBounds(CFbStatus& status, CFbConnection& connection, const std::string& table,
                       const std::string& column, ISC_ARRAY_DESC& desc);
// Stores the slice as a new array of table.column and sets id to it. The
// server converts the elements when the column's element type differs.
bool WriteArray(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& table,
                const std::string& column, const SArraySlice& slice, ISC_QUAD& id);
