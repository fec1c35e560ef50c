#include "db/PreparedTransactions.h"
#include "db/FbHandles.h"

#include "db/CFbConnection.h"

#include <ibase.h>

bool PrepareTransaction(CFbConnection& connection, const std::string& description)
{
    if (!connection.EnsureTransaction())
        return false;
    CFbStatus status;
    if (isc_prepare_transaction2(status, CFbHandles::Transaction(connection),
                                 static_cast<unsigned short>(description.size()),
                                 reinterpret_cast<const ISC_UCHAR*>(description.data())) != 0)
    {
        connection.NoteFailure(status);
        return false;
    }
    return true;
}

namespace
{
// The transactions RDB$TRANSACTIONS records under condition, oldest first.
// The reading transaction ends at once: a later reconnect must not wait on it.
bool ReadRecordedTransactions(CFbConnection& connection, const char* condition,
                              std::vector<SPreparedTransaction>& transactions, std::string& error)
{
    transactions.clear();
    CStringGrid rows;
    int failure = 0;
    connection.Execute(std::string("SELECT RDB$TRANSACTION_ID, RDB$TRANSACTION_STATE, CAST(SUBSTRING("
                                   "RDB$TRANSACTION_DESCRIPTION FROM 1 FOR 1000) AS VARCHAR(1000) CHARACTER SET OCTETS)"
                                   " FROM RDB$TRANSACTIONS WHERE ") +
                           condition + " ORDER BY RDB$TRANSACTION_ID",
                       failure, &rows, nullptr, EValueForm::Exact);
    if (failure != 0 || !connection.Commit())
    {
        error = connection.LastErrorMessage();
        connection.Rollback();
        return false;
    }
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        SPreparedTransaction transaction;
        transaction.id = static_cast<std::uint32_t>(std::stoul(rows.GetCell(0, r)));
        transaction.state = static_cast<int>(rows.GetCellInt(1, r));
        transaction.description = rows.GetCell(2, r);
        transactions.push_back(std::move(transaction));
    }
    return true;
}
} // namespace

bool ReadPreparedTransactions(CFbConnection& connection, std::vector<SPreparedTransaction>& prepared,
                              std::string& error)
{
    return ReadRecordedTransactions(connection, "RDB$TRANSACTION_STATE = 1", prepared, error);
}

bool ReadEndedTransactions(CFbConnection& connection, std::vector<SPreparedTransaction>& ended, std::string& error)
{
    return ReadRecordedTransactions(connection, "RDB$TRANSACTION_STATE <> 1", ended, error);
}

bool EndPreparedTransaction(CFbConnection& connection, std::uint32_t id, bool commit, std::string& error)
{
    isc_tr_handle transaction = 0;
    CFbStatus status;
    // The identifier goes in the byte order the client library reads it in.
    const ISC_ULONG number = id;
    if (isc_reconnect_transaction(status, CFbHandles::Database(connection), &transaction,
                                  static_cast<short>(sizeof number), reinterpret_cast<const ISC_SCHAR*>(&number)) != 0)
    {
        error = status.Message();
        return false;
    }
    const ISC_STATUS result =
        commit ? isc_commit_transaction(status, &transaction) : isc_rollback_transaction(status, &transaction);
    if (result != 0)
    {
        // Nothing else is tried: the decision stands, and the transaction
        // returns to limbo when this attachment goes.
        error = status.Message();
        return false;
    }
    return true;
}
