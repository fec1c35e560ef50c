#include "db/CFbConnection.h"

#include "db/BlobIo.h"
#include "db/CXsqlda.h"
#include "db/EmbeddedLockFolder.h"
#include "db/ServerName.h"
#include "db/SqlText.h"

#include <algorithm>
#include <firebird/Interface.h>

namespace
{
constexpr int InitialColumns = 200;
constexpr int MaxAttachAttempts = 1000;
constexpr unsigned short Dialect = 3;

const char* const RelationListSql =
    "SELECT rdb$relation_name, rdb$base_field, rdb$view_context FROM rdb$relation_fields "
    "where rdb$system_flag <> 1 GROUP BY rdb$relation_name, rdb$base_field, rdb$view_context;";

// How long a statement waits for a row or table that another transaction
// holds before it fails with the server's lock message.
constexpr unsigned char LockTimeoutSeconds = 10;

// The server's default transaction (read-write, snapshot, waiting on
// conflicts), except that the wait is bounded: without the bound a row that
// another attachment has changed and not committed keeps a copy, or the SQL
// editor, waiting for as long as that attachment likes.
const char TransactionParameters[] = {isc_tpb_version3,
                                      isc_tpb_write,
                                      isc_tpb_concurrency,
                                      isc_tpb_wait,
                                      isc_tpb_lock_timeout,
                                      1,
                                      static_cast<char>(LockTimeoutSeconds)};
} // namespace

CFbConnection::CFbConnection(int attempts) : m_nAttempts(attempts) {}

CFbConnection::~CFbConnection()
{
    Disconnect();
    if (m_bConnected)
    {
        // A failed commit must not keep the attachment alive past its owner.
        CFbStatus status;
        if (m_hTransaction)
            isc_rollback_transaction(status, &m_hTransaction);
        isc_detach_database(status, &m_hDatabase);
    }
    ReleaseAttachment();
}

std::string CFbConnection::BuildDpb(const std::string& user, const std::string& password, EWire wire)
{
    std::string dpb;
    dpb += static_cast<char>(isc_dpb_version1);
    dpb += static_cast<char>(isc_dpb_user_name);
    dpb += static_cast<char>(user.size() & 0xFF);
    dpb += user.substr(0, 255);
    dpb += static_cast<char>(isc_dpb_password);
    dpb += static_cast<char>(password.size() & 0xFF);
    dpb += password.substr(0, 255);
    // Text travels as UTF-8; the server transliterates to each column's set.
    const std::string characterSet = "UTF8";
    dpb += static_cast<char>(isc_dpb_lc_ctype);
    dpb += static_cast<char>(characterSet.size());
    dpb += characterSet;
    // The file name is UTF-8 as well: without this item the client reads it
    // in the character set of the process's locale (see FileNameLocale.h).
    dpb += static_cast<char>(isc_dpb_utf8_filename);
    dpb += static_cast<char>(0);
    if (wire == EWire::Plain)
    {
        // Settings of the client library for this attachment alone, in the
        // form of its configuration file.
        const std::string config = "WireCrypt = Disabled";
        dpb += static_cast<char>(isc_dpb_config);
        dpb += static_cast<char>(config.size());
        dpb += config;
    }
    return dpb;
}

CFbConnection::EWire CFbConnection::WireFor(const std::string& database)
{
    // Bytes that never leave the machine gain nothing from encryption, and
    // through the loopback server every value crosses the wire twice: the
    // cipher of the client library and the server cost more processor time
    // than the copy itself (RC4 at a few hundred MB/s, four times per byte).
    return IsLoopbackHost(ServerHost(database)) ? EWire::Plain : EWire::Default;
}

bool CFbConnection::AttachTo(const std::string& database, const std::string& user, const std::string& password)
{
    const EWire wire = WireFor(database);
    for (const EWire tried : {wire, EWire::Default})
    {
        m_aStatus.Reset();
        m_hDatabase = 0;
        if (Attach(database, BuildDpb(user, password, tried)))
            return true;
        // A server that requires encryption refuses a plain wire: it gets
        // the client library's default at once.
        if (tried == EWire::Default || !RefusedPlainWire(m_aStatus))
            return false;
    }
    return false;
}

bool CFbConnection::RefusedPlainWire(CFbStatus& status)
{
    const ISC_STATUS* vector = status.Vector();
    for (size_t i = 0; i + 1 < ISC_STATUS_LENGTH && vector[i] != isc_arg_end; i += 2)
    {
        if (vector[i] == isc_arg_gds && vector[i + 1] == isc_wirecrypt_incompatible)
            return true;
        // Strings, numbers and the rest take one slot after their type
        // (isc_arg_cstring two).
        if (vector[i] == isc_arg_cstring)
            ++i;
    }
    return false;
}

bool CFbConnection::Connect(const std::string& user, const std::string& password, const std::string& database)
{
    if (m_bConnected)
        return true;
    m_sLastError.clear();
    m_nLastAttachAttempts = 0;
    bool attached = false;
    // A count beyond what the options dialog accepts comes from a damaged or
    // hand-edited settings file; taken as it stands it would keep a copy
    // knocking at an unreachable server for hours.
    const int attempts = std::min(m_nAttempts, MaxAttachAttempts);
    for (int attempt = 0; attempt < attempts && !attached; ++attempt)
    {
        ++m_nLastAttachAttempts;
        attached = AttachTo(database, user, password);
    }
    if (!attached)
    {
        m_bConnected = false;
        return false;
    }
    m_bConnected = true;
    m_sLastError.clear();
    m_bInProcess = AskInProcess();
    m_nSqlDialect = AskSqlDialect();
    m_hStatement = 0;
    if (isc_dsql_allocate_statement(m_aStatus, &m_hDatabase, &m_hStatement) != 0)
    {
        NoteFailure(m_aStatus);
        return false;
    }
    // The table list is read when first asked for: most attachments never
    // ask, and over a network the query costs several round trips.
    m_bRelationsRead = false;
    return true;
}

bool CFbConnection::Attach(const std::string& database, const std::string& dpb)
{
    ReleaseAttachment();
    Firebird::IMaster* master = Firebird::fb_get_master_interface();
    Firebird::IStatus* rawStatus = master->getStatus();
    Firebird::CheckStatusWrapper status(rawStatus);
    Firebird::IProvider* dispatcher = master->getDispatcher();
    Firebird::IAttachment* attachment =
        dispatcher->attachDatabase(&status, database.c_str(), static_cast<unsigned>(dpb.size()),
                                   reinterpret_cast<const unsigned char*>(dpb.data()));
    bool attached = attachment && !(status.getState() & Firebird::IStatus::STATE_ERRORS);
    if (!attached)
    {
        m_sLastError = StatusMessage(&status);
        // A reason the user can act on says how.
        if (const std::string advice = EmbeddedEngineAdvice(m_sLastError); !advice.empty())
            m_sLastError += "\n" + advice;
        // The error codes alone, for RefusedPlainWire: the texts of the
        // vector go with the status.
        const ISC_STATUS* errors = status.getErrors();
        ISC_STATUS* codes = m_aStatus.Vector();
        size_t kept = 0;
        for (size_t i = 0; i + 1 < ISC_STATUS_LENGTH && errors[i] != isc_arg_end; i += 2)
        {
            if (errors[i] == isc_arg_gds && kept + 3 <= ISC_STATUS_LENGTH)
            {
                codes[kept++] = isc_arg_gds;
                codes[kept++] = errors[i + 1];
            }
            if (errors[i] == isc_arg_cstring)
                ++i;
        }
        codes[kept] = isc_arg_end;
    }
    else if (fb_get_database_handle(m_aStatus, &m_hDatabase, attachment) != 0)
    {
        NoteFailure(m_aStatus);
        status.init();
        attachment->detach(&status);
        if (status.getState() & Firebird::IStatus::STATE_ERRORS)
            attachment->release();
        m_hDatabase = 0;
        attached = false;
    }
    else
    {
        // The reference that attachDatabase gave belongs to the raw handle
        // and goes with its detach; this one is the connection's own.
        attachment->addRef();
        m_pAttachment = attachment;
    }
    dispatcher->release();
    rawStatus->dispose();
    return attached;
}

void CFbConnection::ReleaseAttachment()
{
    if (m_pAttachment)
        m_pAttachment->release();
    m_pAttachment = nullptr;
}

bool CFbConnection::AskInProcess()
{
    // The list names every layer of the attachment: the engine itself and,
    // through a server, the remote interface and the server's side of it.
    const char items[] = {isc_info_implementation, isc_info_end};
    unsigned char reply[128] = {};
    CFbStatus status;
    if (isc_database_info(status, &m_hDatabase, sizeof items, items, sizeof reply, reinterpret_cast<char*>(reply)) !=
            0 ||
        reply[0] != isc_info_implementation)
        return false;
    const size_t length = static_cast<size_t>(reply[1] | (reply[2] << 8));
    if (length < 1 || 3 + length > sizeof reply)
        return false;
    const size_t layers = reply[3];
    if (layers == 0 || 1 + 2 * layers > length)
        return false;
    for (size_t i = 0; i < layers; ++i)
    {
        const int layerClass = reply[4 + 2 * i + 1];
        if (layerClass != isc_info_db_class_access && layerClass != isc_info_db_class_classic_access &&
            layerClass != isc_info_db_class_server_access)
            return false;
    }
    return true;
}

int CFbConnection::AskSqlDialect()
{
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char reply[16] = {};
    CFbStatus status;
    if (isc_database_info(status, &m_hDatabase, sizeof items, items, sizeof reply, reply) != 0 ||
        reply[0] != isc_info_db_sql_dialect)
        return Dialect;
    const short length = static_cast<short>(isc_vax_integer(reply + 1, 2));
    if (length < 1 || length > 4)
        return Dialect;
    const int dialect = static_cast<int>(isc_vax_integer(reply + 3, length));
    return dialect >= 1 && dialect <= Dialect ? dialect : Dialect;
}

void CFbConnection::ExecuteMetadata(const std::string& sql, int& failure)
{
    m_nStatementDialect = static_cast<unsigned short>(m_nSqlDialect);
    Execute(sql, failure);
    m_nStatementDialect = Dialect;
}

std::string CFbConnection::MetadataName(const std::string& name) const
{
    if (m_nSqlDialect >= 3)
        return QuotedSqlIdentifier(name);
    return SqlIdentifier(name) == name ? name : std::string();
}

void CFbConnection::FillRelations()
{
    int failure = 0;
    m_gridRelations.SetSize(0, 0);
    Execute(RelationListSql, failure, &m_gridRelations, nullptr);
    for (int row = 0; row < m_gridRelations.RowCount();)
    {
        if (m_gridRelations.GetCellInt(2, row) != 0)
            m_gridRelations.DeleteRow(row);
        else
            ++row;
    }
}

bool CFbConnection::Disconnect()
{
    if (!m_bConnected)
        return false;
    if (m_hTransaction && !Commit())
        return false;
    if (m_hStatement)
    {
        isc_dsql_free_statement(m_aStatus, &m_hStatement, DSQL_drop);
        m_hStatement = 0;
    }
    if (isc_detach_database(m_aStatus, &m_hDatabase) != 0)
    {
        NoteFailure(m_aStatus);
        return false;
    }
    ReleaseAttachment();
    m_bConnected = false;
    return true;
}

bool CFbConnection::EnsureTransaction()
{
    if (m_hTransaction)
        return true;
    if (isc_start_transaction(m_aStatus, &m_hTransaction, 1, &m_hDatabase,
                              static_cast<unsigned short>(sizeof TransactionParameters), TransactionParameters) != 0)
    {
        NoteFailure(m_aStatus);
        m_hTransaction = 0;
        return false;
    }
    return true;
}

bool CFbConnection::Commit()
{
    if (!m_hTransaction)
        return true;
    if (isc_commit_transaction(m_aStatus, &m_hTransaction) != 0)
    {
        NoteFailure(m_aStatus);
        return false;
    }
    return true;
}

bool CFbConnection::Answers()
{
    if (!m_bConnected)
        return false;
    const char items[] = {isc_info_ods_version, isc_info_end};
    char reply[32] = {};
    CFbStatus status;
    return isc_database_info(status, &m_hDatabase, sizeof items, items, sizeof reply, reply) == 0;
}

bool CFbConnection::Rollback()
{
    if (!m_hTransaction)
        return true;
    CFbStatus status;
    if (isc_rollback_transaction(status, &m_hTransaction) != 0)
    {
        // A transaction the server no longer knows is gone all the same.
        m_hTransaction = 0;
        NoteFailure(status);
        return false;
    }
    return true;
}

bool CFbConnection::GetRelations(CStringGrid& target)
{
    if (!m_bConnected)
        return false;
    if (!m_bRelationsRead)
    {
        FillRelations();
        m_bRelationsRead = true;
    }
    m_gridRelations.CopyTo(target);
    return true;
}

int CFbConnection::StatementType()
{
    const char items[] = {isc_info_sql_stmt_type};
    char reply[20] = {};
    if (isc_dsql_sql_info(m_aStatus, &m_hStatement, sizeof items, items, sizeof reply, reply) != 0)
        return -1;
    const short length = static_cast<short>(isc_vax_integer(reply + 1, 2));
    return static_cast<int>(isc_vax_integer(reply + 3, length));
}

void CFbConnection::Execute(const std::string& sql, int& failure, CStringGrid* rowGrid, CStringGrid* columnGrid,
                            EValueForm form)
{
    failure = FailNone;
    m_sLastError.clear();
    CXsqlda descriptor(InitialColumns);
    if (!EnsureTransaction())
    {
        failure = FailTransaction;
        return;
    }
    if (isc_dsql_prepare(m_aStatus, &m_hTransaction, &m_hStatement, 0, sql.c_str(), m_nStatementDialect,
                         descriptor.Get()) != 0)
    {
        NoteFailure(m_aStatus);
        failure = FailPrepare;
        return;
    }
    const int statementType = StatementType();
    if (descriptor.Described() == 0)
    {
        RunStatementWithoutRows(statementType, failure);
        return;
    }
    const int n = descriptor.Described();
    if (n > descriptor.Capacity())
    {
        descriptor.Grow(n);
        if (isc_dsql_describe(m_aStatus, &m_hStatement, Dialect, descriptor.Get()) != 0)
        {
            NoteFailure(m_aStatus);
            failure = FailDescribe;
            return;
        }
    }
    if (!rowGrid)
    {
        failure = FailExecute;
        return;
    }
    FetchRows(descriptor.Get(), n, failure, *rowGrid, columnGrid, form);
}

bool CFbConnection::RunStatementWithoutRows(int statementType, int& failure)
{
    if (isc_dsql_execute(m_aStatus, &m_hTransaction, &m_hStatement, Dialect, nullptr) != 0)
    {
        NoteFailure(m_aStatus);
        failure = FailExecute;
        return false;
    }
    if (m_hTransaction && statementType == isc_info_sql_stmt_ddl && !Commit())
    {
        failure = FailDdlCommit;
        return false;
    }
    return true;
}

void CFbConnection::FetchRows(XSQLDA* descriptor, int n, int& failure, CStringGrid& rowGrid, CStringGrid* columnGrid,
                              EValueForm form)
{
    CRowArea area;
    area.Bind(descriptor, n);
    rowGrid.Clear();
    rowGrid.SetSize(n, 0);
    if (isc_dsql_execute(m_aStatus, &m_hTransaction, &m_hStatement, Dialect, nullptr) != 0)
    {
        NoteFailure(m_aStatus);
        failure = FailExecute;
        return;
    }
    CFbStatus blobStatus;
    const BlobReader readBlob = [&](const ISC_QUAD& id, std::string& contents) {
        return ReadBlob(blobStatus, &m_hDatabase, &m_hTransaction, id, contents);
    };
    ISC_STATUS fetchResult = 0;
    bool valueFailed = false;
    SColumnValue value;
    while ((fetchResult = isc_dsql_fetch(m_aStatus, &m_hStatement, Dialect, descriptor)) == 0)
    {
        const int row = rowGrid.RowCount();
        rowGrid.Resize(rowGrid.ColumnCount(), row + 1);
        for (int i = 0; i < n; ++i)
        {
            if (!FormatColumnValue(descriptor->sqlvar[i], form, readBlob, value))
                valueFailed = true;
            if (form == EValueForm::Display)
                value.text = TrimSpaces(value.text);
            rowGrid.SetCellMarked(i, row, value.text, value.marks);
        }
        if (valueFailed)
            break;
    }
    const std::string fetchMessage =
        valueFailed ? blobStatus.Message() : (fetchResult != 100 ? m_aStatus.Message() : "");
    DescribeColumns(descriptor, columnGrid, n);
    if (isc_dsql_free_statement(m_aStatus, &m_hStatement, DSQL_close) != 0)
    {
        NoteFailure(m_aStatus);
        failure = FailCloseCursor;
        return;
    }
    if (valueFailed || fetchResult != 100)
    {
        m_sLastError = fetchMessage;
        failure = FailFetch;
    }
}
