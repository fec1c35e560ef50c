#include "db/CFbCursor.h"
#include "db/FbHandles.h"

#include "db/BlobIo.h"

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <firebird/Interface.h>
#include <iterator>

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

CFbCursor::CFbCursor(CFbConnection& connection)
    : m_connection(connection), m_pStatus(Firebird::fb_get_master_interface()->getStatus())
{
}

CFbCursor::~CFbCursor()
{
    Close();
    m_pStatus->dispose();
}

bool CFbCursor::Failed(Firebird::CheckStatusWrapper& status)
{
    // Through the wrapper: it knows whether the last call set the errors,
    // where the status itself still holds those of an earlier failure.
    if (!(status.getState() & Firebird::IStatus::STATE_ERRORS))
        return false;
    m_sLastError = StatusMessage(&status);
    return true;
}

bool CFbCursor::Open(const std::string& sql)
{
    Close();
    m_sLastError.clear();
    m_status.Reset();
    Firebird::IAttachment* attachment = m_connection.Attachment();
    if (!attachment)
    {
        // As the client library says it of a raw handle that is not attached.
        const ISC_STATUS notAttached[] = {isc_arg_gds, isc_bad_db_handle, isc_arg_end};
        std::copy(std::begin(notAttached), std::end(notAttached), m_status.Vector());
        m_sLastError = m_status.Message();
        return false;
    }
    Firebird::CheckStatusWrapper status(m_pStatus);
    m_pTransaction = attachment->startTransaction(&status, static_cast<unsigned>(sizeof SnapshotTpb),
                                                  reinterpret_cast<const unsigned char*>(SnapshotTpb));
    if (Failed(status))
    {
        m_pTransaction = nullptr;
        return false;
    }
    // The BLOB and array functions take the raw handle of the same transaction.
    if (fb_get_transaction_handle(m_status, &m_hTransaction, m_pTransaction) != 0)
    {
        m_sLastError = m_status.Message();
        Close();
        return false;
    }
    m_pStatement = attachment->prepare(&status, m_pTransaction, 0, sql.c_str(), Dialect,
                                       Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    if (!Failed(status))
        m_pMetadata = m_pStatement->getOutputMetadata(&status);
    if (!Failed(status))
        Describe(status);
    if (!Failed(status))
        m_pResultSet = m_pStatement->openCursor(&status, m_pTransaction, nullptr, nullptr, m_pMetadata, 0);
    if (m_sLastError.empty() && Failed(status))
        m_pResultSet = nullptr;
    if (!m_sLastError.empty())
    {
        Close();
        return false;
    }
    m_bOpen = true;
    return true;
}

void CFbCursor::Describe(Firebird::CheckStatusWrapper& status)
{
    const unsigned count = m_pMetadata->getCount(&status);
    m_message.assign(m_pMetadata->getMessageLength(&status), 0);
    if (static_cast<int>(count) > m_descriptor.Capacity())
        m_descriptor.Grow(static_cast<int>(count));
    m_descriptor->sqld = static_cast<ISC_SHORT>(count);
    const auto name = [](const char* text, ISC_SCHAR* target, ISC_SHORT& length) {
        const size_t size = std::min(std::strlen(text), sizeof XSQLVAR::sqlname - 1);
        std::memcpy(target, text, size);
        target[size] = 0;
        length = static_cast<ISC_SHORT>(size);
    };
    for (unsigned i = 0; i < count && !(status.getState() & Firebird::IStatus::STATE_ERRORS); ++i)
    {
        XSQLVAR& var = m_descriptor.Var(static_cast<int>(i));
        const auto type = static_cast<ISC_SHORT>(m_pMetadata->getType(&status, i));
        var.sqltype = static_cast<ISC_SHORT>(type | (m_pMetadata->isNullable(&status, i) ? 1 : 0));
        var.sqllen = static_cast<ISC_SHORT>(m_pMetadata->getLength(&status, i));
        // As the descriptor API has them: a text's character set as its
        // sub-type, a BLOB's as its scale.
        const bool text = type == SQL_TEXT || type == SQL_VARYING;
        var.sqlsubtype =
            static_cast<ISC_SHORT>(text ? m_pMetadata->getCharSet(&status, i) : m_pMetadata->getSubType(&status, i));
        var.sqlscale = static_cast<ISC_SHORT>(type == SQL_BLOB ? m_pMetadata->getCharSet(&status, i)
                                                               : m_pMetadata->getScale(&status, i));
        name(m_pMetadata->getField(&status, i), var.sqlname, var.sqlname_length);
        name(m_pMetadata->getRelation(&status, i), var.relname, var.relname_length);
        name(m_pMetadata->getOwner(&status, i), var.ownname, var.ownname_length);
        name(m_pMetadata->getAlias(&status, i), var.aliasname, var.aliasname_length);
        var.sqldata = m_message.data() + m_pMetadata->getOffset(&status, i);
        var.sqlind = reinterpret_cast<ISC_SHORT*>(m_message.data() + m_pMetadata->getNullOffset(&status, i));
    }
    m_nColumns = static_cast<int>(count);
}

int CFbCursor::Fetch()
{
    if (!m_bOpen)
        return -1;
    // The client library saves, resets and restores the whole floating-point
    // environment around every call unless it finds the default one; a
    // sticky exception flag left raised by any earlier arithmetic of the
    // program makes that a tenth of a fetch's time. No part of the program
    // reads those flags.
    if (std::fetestexcept(FE_ALL_EXCEPT) != 0)
        std::feclearexcept(FE_ALL_EXCEPT);
    Firebird::CheckStatusWrapper status(m_pStatus);
    const int result = m_pResultSet->fetchNext(&status, m_message.data());
    if (result == Firebird::IStatus::RESULT_OK)
        return 1;
    if (result == Firebird::IStatus::RESULT_NO_DATA)
        return 0;
    Failed(status);
    return -1;
}

void CFbCursor::Close()
{
    // Each of close, free and commit releases its interface when it succeeds;
    // one that fails is released here instead.
    Firebird::CheckStatusWrapper status(m_pStatus);
    const auto failed = [&] { return (status.getState() & Firebird::IStatus::STATE_ERRORS) != 0; };
    if (m_pResultSet)
    {
        m_pResultSet->close(&status);
        if (failed())
            m_pResultSet->release();
    }
    m_pResultSet = nullptr;
    if (m_pMetadata)
        m_pMetadata->release();
    m_pMetadata = nullptr;
    if (m_pStatement)
    {
        status.init();
        m_pStatement->free(&status);
        if (failed())
            m_pStatement->release();
    }
    m_pStatement = nullptr;
    if (m_pTransaction)
    {
        // Nothing was written: commit and rollback are the same, commit is cheaper.
        status.init();
        m_pTransaction->commit(&status);
        if (failed())
        {
            status.init();
            m_pTransaction->rollback(&status);
            if (failed())
                m_pTransaction->release();
        }
    }
    m_pTransaction = nullptr;
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
        if (ReadBlob(m_status, CFbHandles::Database(m_connection), &m_hTransaction, id, contents))
            return true;
        m_sLastError = m_status.Message();
        return false;
    };
    return FormatColumnValue(m_descriptor.Var(i), form, readBlob, value);
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
    const bool prepared = PrepareDescribed(status, CFbHandles::Database(connection),
                                           CFbHandles::Transaction(connection), statement, sql, descriptor);
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
    if (ReadArray(m_status, CFbHandles::Database(m_connection), &m_hTransaction, table, column, id, slice))
        return true;
    m_sLastError = m_status.Message();
    return false;
}

bool CFbCursor::OpenBlob(int i, CBlobReader& blob)
{
    ISC_QUAD id;
    std::memcpy(&id, m_descriptor.Var(i).sqldata, sizeof id);
    if (blob.Open(m_status, CFbHandles::Database(m_connection), &m_hTransaction, id))
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
