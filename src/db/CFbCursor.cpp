#include "db/CFbCursor.h"

#include "db/BlobIo.h"

#include <cstring>

namespace
{
constexpr unsigned short Dialect = 3;

// A read-only snapshot: every row comes from one consistent view of the table.
const char SnapshotTpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_concurrency, isc_tpb_wait};

// Prepares sql into a fresh statement handle and describes all its columns.
bool PrepareDescribed(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction,
                      isc_stmt_handle& statement, const std::string& sql, CXsqlda& descriptor)
{
    if (isc_dsql_allocate_statement(status, database, &statement) != 0)
        return false;
    if (isc_dsql_prepare(status, transaction, &statement, 0, sql.c_str(), Dialect, descriptor.Get()) != 0)
        return false;
    if (descriptor.Described() > descriptor.Capacity())
    {
        descriptor.Grow(descriptor.Described());
        if (isc_dsql_describe(status, &statement, Dialect, descriptor.Get()) != 0)
            return false;
    }
    return true;
}
} // namespace

CFbCursor::CFbCursor(CFbConnection& connection) : m_connection(connection) {}

CFbCursor::~CFbCursor()
{
    Close();
}

bool CFbCursor::Open(const std::string& sql)
{
    Close();
    m_sLastError.clear();
    m_status.Reset();
    if (isc_start_transaction(m_status, &m_hTransaction, 1, m_connection.DatabaseHandle(),
                              static_cast<unsigned short>(sizeof SnapshotTpb), SnapshotTpb) != 0 ||
        !PrepareDescribed(m_status, m_connection.DatabaseHandle(), &m_hTransaction, m_hStatement, sql, m_descriptor))
    {
        m_sLastError = m_status.Message();
        Close();
        return false;
    }
    m_nColumns = m_descriptor.Described();
    m_area.Bind(m_descriptor.Get(), m_nColumns);
    if (isc_dsql_execute(m_status, &m_hTransaction, &m_hStatement, Dialect, nullptr) != 0)
    {
        m_sLastError = m_status.Message();
        Close();
        return false;
    }
    m_bOpen = true;
    return true;
}

int CFbCursor::Fetch()
{
    if (!m_bOpen)
        return -1;
    const ISC_STATUS rc = isc_dsql_fetch(m_status, &m_hStatement, Dialect, m_descriptor.Get());
    if (rc == 0)
        return 1;
    if (rc == 100)
        return 0;
    m_sLastError = m_status.Message();
    return -1;
}

void CFbCursor::Close()
{
    CFbStatus ignored;
    if (m_hStatement)
        isc_dsql_free_statement(ignored, &m_hStatement, DSQL_drop);
    m_hStatement = 0;
    // Nothing was written: commit and rollback are the same, commit is cheaper.
    if (m_hTransaction && isc_commit_transaction(ignored, &m_hTransaction) != 0)
        isc_rollback_transaction(ignored, &m_hTransaction);
    m_hTransaction = 0;
    m_bOpen = false;
}

std::string CFbCursor::ColumnName(int i)
{
    const XSQLVAR& var = m_descriptor.Var(i);
    return std::string(var.aliasname, static_cast<size_t>(var.aliasname_length));
}

bool CFbCursor::Value(int i, EValueForm form, SColumnValue& value)
{
    const BlobReader readBlob = [this](const ISC_QUAD& id, std::string& contents) {
        if (ReadBlob(m_status, m_connection.DatabaseHandle(), &m_hTransaction, id, contents))
            return true;
        m_sLastError = m_status.Message();
        return false;
    };
    return FormatColumnValue(m_descriptor.Var(i), form, readBlob, value);
}

bool DescribeStatement(CFbConnection& connection, const std::string& sql, CStringGrid& columnGrid,
                       std::string& errorMessage)
{
    CFbStatus status;
    if (!connection.EnsureTransaction())
    {
        errorMessage = connection.LastErrorMessage();
        return false;
    }
    isc_stmt_handle statement = 0;
    CXsqlda descriptor(32);
    const bool prepared = PrepareDescribed(status, connection.DatabaseHandle(), connection.TransactionHandle(),
                                           statement, sql, descriptor);
    if (prepared)
        DescribeColumns(descriptor.Get(), &columnGrid, descriptor.Described());
    else
        errorMessage = status.Message();
    CFbStatus ignored;
    if (statement)
        isc_dsql_free_statement(ignored, &statement, DSQL_drop);
    return prepared;
}

bool DescribeResultTypes(CFbConnection& connection, const std::string& sql, std::vector<SResultColumn>& columns,
                         std::string& errorMessage)
{
    columns.clear();
    CFbStatus status;
    if (!connection.EnsureTransaction())
    {
        errorMessage = connection.LastErrorMessage();
        return false;
    }
    isc_stmt_handle statement = 0;
    CXsqlda descriptor(32);
    const bool prepared = PrepareDescribed(status, connection.DatabaseHandle(), connection.TransactionHandle(),
                                           statement, sql, descriptor);
    if (prepared)
    {
        for (int i = 0; i < descriptor.Described(); ++i)
        {
            const XSQLVAR& var = descriptor.Var(i);
            columns.push_back(
                {std::string(var.aliasname, static_cast<size_t>(var.aliasname_length)), var.sqltype & ~1});
        }
    }
    else
        errorMessage = status.Message();
    CFbStatus ignored;
    if (statement)
        isc_dsql_free_statement(ignored, &statement, DSQL_drop);
    return prepared;
}

bool CFbCursor::ReadArrayValue(int i, SArraySlice& slice)
{
    const XSQLVAR& var = m_descriptor.Var(i);
    ISC_QUAD id;
    std::memcpy(&id, var.sqldata, sizeof id);
    const std::string table(var.relname, static_cast<size_t>(var.relname_length));
    const std::string column(var.sqlname, static_cast<size_t>(var.sqlname_length));
    if (ReadArray(m_status, m_connection.DatabaseHandle(), &m_hTransaction, table, column, id, slice))
        return true;
    m_sLastError = m_status.Message();
    return false;
}

bool CFbCursor::OpenBlob(int i, CBlobReader& blob)
{
    ISC_QUAD id;
    std::memcpy(&id, m_descriptor.Var(i).sqldata, sizeof id);
    if (blob.Open(m_status, m_connection.DatabaseHandle(), &m_hTransaction, id))
        return true;
    m_sLastError = m_status.Message();
    return false;
}

int CFbCursor::ReadBlobPiece(CBlobReader& blob, std::string& piece, size_t most)
{
    const int read = blob.Read(m_status, piece, most);
    if (read < 0)
        m_sLastError = m_status.Message();
    return read;
}

bool CFbCursor::CloseBlob(CBlobReader& blob)
{
    if (blob.Close(m_status))
        return true;
    m_sLastError = m_status.Message();
    return false;
}
