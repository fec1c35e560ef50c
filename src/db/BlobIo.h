#pragma once

#include "db/FbStatus.h"

#include <ibase.h>
#include <string>

// Reads all segments of a BLOB into contents; false (status filled) on failure.
bool ReadBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id,
              std::string& contents);
// Creates a BLOB holding contents and sets id to it; false on failure.
// A BLOB parameter buffer (bpb) may ask the server to filter the contents.
bool WriteBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& contents,
               ISC_QUAD& id, const std::string& bpb = {});
