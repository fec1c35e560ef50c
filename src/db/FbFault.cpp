#include "db/FbFault.h"

#include <algorithm>
#include <iterator>

namespace
{
// Codes that name a fault of the row's own values: another row may well go in.
constexpr ISC_STATUS RowFaults[] = {
    // Constraints: keys, foreign keys, CHECKs, NOT NULL and domain checks.
    isc_unique_key_violation,
    isc_no_dup,
    isc_foreign_key,
    isc_check_constraint,
    isc_not_valid,
    isc_not_valid_for,
    isc_not_valid_for_var,
    isc_integ_fail,
    // An exception raised by a function that a CHECK calls with the row's values.
    isc_except,
    isc_except2,
    // A key too long for its index.
    isc_keytoobig,
    isc_key_too_big,
    // Conversions and values that do not fit their column.
    isc_arith_except,
    isc_convert_error,
    isc_string_truncation,
    isc_blob_truncation,
    isc_numeric_out_of_range,
    isc_exception_integer_overflow,
    isc_exception_float_overflow,
    isc_date_range_exceeded,
    isc_time_range_exceeded,
    isc_datetime_range_exceeded,
    isc_malformed_string,
    isc_transliteration_failed,
    isc_ss_out_of_bounds,
};

// Codes that say the engine, the connection or the transaction failed,
// whatever code comes first: a disk that is full often shows up while a
// constraint or a conversion is being reported.
constexpr ISC_STATUS TableFaults[] = {
    // Reading and writing the database's files (a full disk among them).
    isc_io_error,
    isc_io_create_err,
    isc_io_open_err,
    isc_io_close_err,
    isc_io_read_err,
    isc_io_write_err,
    isc_io_access_err,
    isc_io_32bit_exceeded_err,
    isc_savepoint_backout_err,
    isc_trans_invalid,
    isc_tra_state,
    isc_bug_check,
    isc_virmemexh,
    isc_sys_request,
    // The connection.
    isc_network_error,
    isc_net_read_err,
    isc_net_write_err,
    isc_net_connect_err,
    isc_lost_db_connection,
    isc_conn_lost,
    isc_bad_db_handle,
    isc_bad_trans_handle,
    isc_unavailable,
    // Shutdown and cancel.
    isc_shutdown,
    isc_att_shutdown,
    isc_shutinprog,
    isc_net_server_shutdown,
    isc_cancelled,
    // Locks that cannot be had.
    isc_lock_conflict,
    isc_deadlock,
    isc_update_conflict,
    isc_lock_timeout,
    isc_concurrent_transaction,
};

// Codes that only say which layer reported the failure ("Dynamic SQL
// Error", "SQL error code = -303"): the code after them names it.
constexpr ISC_STATUS Layers[] = {
    isc_dsql_error,
    isc_sqlerr,
};

bool Listed(const ISC_STATUS* begin, const ISC_STATUS* end, ISC_STATUS code)
{
    return std::find(begin, end, code) != end;
}

// Steps over one argument of the vector (its type at cursor[0]); the end
// of the vector gives nullptr.
const ISC_STATUS* NextArgument(const ISC_STATUS* cursor)
{
    switch (cursor[0])
    {
    case isc_arg_end: return nullptr;
    case isc_arg_cstring: return cursor + 3; // length and address
    default: return cursor + 2;              // one value: a code, a number, a string's address
    }
}
} // namespace

EFbFault ClassifyFault(const ISC_STATUS* vector)
{
    if (!vector || vector[0] != isc_arg_gds || vector[1] == 0)
        return EFbFault::None;
    const ISC_STATUS* named = vector;
    while (named && (named[0] != isc_arg_gds || Listed(std::begin(Layers), std::end(Layers), named[1])))
        named = NextArgument(named);
    bool rowFault = named && Listed(std::begin(RowFaults), std::end(RowFaults), named[1]);
    for (const ISC_STATUS* cursor = vector; cursor && rowFault; cursor = NextArgument(cursor))
    {
        if (cursor[0] == isc_arg_gds && Listed(std::begin(TableFaults), std::end(TableFaults), cursor[1]))
            rowFault = false;
    }
    return rowFault ? EFbFault::Row : EFbFault::Table;
}
