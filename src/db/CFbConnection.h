#pragma once

#include "core/CStringGrid.h"
#include "db/FbStatus.h"
#include "db/ValueFormat.h"

#include <ibase.h>
#include <string>

namespace Firebird
{
class IAttachment;
}

// One attachment to one Firebird database, with at most one open transaction
// and one statement handle reused by every statement. Values come back as
// text in grids. Not copyable; used by one thread at a time.
class CFbConnection
{
  public:
    // Failure codes of Execute.
    enum EFailure
    {
        FailNone = 0,
        FailTransaction = 1,
        FailPrepare = 2,
        FailExecute = 3,
        FailDdlCommit = 4,
        FailDescribe = 5,
        FailCloseCursor = 6,
        FailFetch = 7,
    };

    explicit CFbConnection(int attempts);
    ~CFbConnection();
    CFbConnection(const CFbConnection&) = delete;
    CFbConnection& operator=(const CFbConnection&) = delete;

    // Attaches (up to m_nAttempts tries); true at once when already attached.
    bool Connect(const std::string& user, const std::string& password, const std::string& database);
    // Commits what is open and detaches; true when detached by this call.
    bool Disconnect();
    // Runs one statement; failure is 0 or the failing step (EFailure). Rows
    // and their description go to the grids when given. DDL commits at once.
    void Execute(const std::string& sql, int& failure, CStringGrid* rowGrid = nullptr,
                 CStringGrid* columnGrid = nullptr, EValueForm form = EValueForm::Display);
    // Runs a statement that changes metadata (ALTER TRIGGER) in the
    // database's own SQL dialect: a dialect-1 database refuses them from a
    // dialect-3 client. Names in it must be written as MetadataName gives them.
    void ExecuteMetadata(const std::string& sql, int& failure);
    // The name as a metadata statement of this database takes it: quoted in
    // dialect 3; in dialect 1, which has no quoted names, a plain upper-case
    // name as it is and empty for any other, which such a statement cannot name.
    std::string MetadataName(const std::string& name) const;
    // The database's SQL dialect, read at the attach (3 when it cannot be read).
    int SqlDialect() const { return m_nSqlDialect; }
    // The user tables, read at the first call after the attach; false when
    // not attached.
    bool GetRelations(CStringGrid& target);
    // The triggers of a table with the generator each one uses and its value.
    bool GetTableTriggers(const std::string& table, CStringGrid& triggerGrid);
    // The primary- and foreign-key fields of a table.
    bool GetKeyFields(const std::string& table, CStringGrid& keyGrid);

    // The server's own message for the last failed step (empty after success).
    const std::string& LastErrorMessage() const { return m_sLastError; }
    // How many attach calls the last Connect made.
    int LastAttachAttempts() const { return m_nLastAttachAttempts; }
    // How the bytes of an attachment travel through a server.
    enum class EWire
    {
        Default, // as the client library's configuration says (encrypted when the server agrees)
        Plain,   // unencrypted
    };
    // The bytes of the database parameter buffer sent at attach: user,
    // password, UTF-8 text, a UTF-8 file name and, for a plain wire, the
    // client setting that turns the wire's encryption off.
    static std::string BuildDpb(const std::string& user, const std::string& password, EWire wire = EWire::Default);
    // The wire an attachment of database asks for: plain through a server
    // on this machine's loopback address, the default otherwise.
    static EWire WireFor(const std::string& database);
    // True when the status says the server refused a plain wire.
    static bool RefusedPlainWire(CFbStatus& status);

    // True when the attachment runs in this process (the embedded engine, no
    // remote layer in between), as the server's implementation list says.
    bool IsInProcess() const { return m_bInProcess; }

    // True while attached.
    bool IsConnected() const { return m_bConnected; }
    // One information request to the database; false when it got no answer
    // (the attachment is lost). Through a server it costs one round trip.
    bool Answers();
    // The same attachment as the client library's object interface has it,
    // for the cursors that fetch into a message of their own; null when not
    // attached.
    Firebird::IAttachment* Attachment() const { return m_pAttachment; }
    // True while a transaction is open.
    bool InTransaction() const { return m_hTransaction != 0; }
    // Starts the transaction when none is open; false on failure.
    bool EnsureTransaction();
    // Commits the open transaction (if any); false on failure, and the
    // transaction then stays open for a Rollback.
    bool Commit();
    // Undoes the open transaction (if any); false on failure.
    bool Rollback();
    // Lets go of the open transaction without ending it: a prepared one
    // stays in limbo when the attachment goes, for its group's decision.
    void ForgetTransaction() { m_hTransaction = 0; }
    // Records the message of a failed client call.
    void NoteFailure(const CFbStatus& status) { m_sLastError = status.Message(); }

  private:
    // The raw handles go only to the statement, BLOB and transaction code of
    // this layer (CFbHandles) and to the cancel, which stops their calls.
    friend class CFbHandles;
    friend class CFbCancel;

    // One attach: with the wire WireFor asks for and, when the server
    // refuses that, once more with the default; false (status kept) on failure.
    bool AttachTo(const std::string& database, const std::string& user, const std::string& password);
    void FillRelations();
    // Links the generators that triggers name only in dynamic SQL.
    bool LinkGeneratorsByName(const std::string& table, CStringGrid& triggerGrid);
    // One attach through the object interface; the raw handle follows from it.
    bool Attach(const std::string& database, const std::string& dpb);
    // Lets go of the object interface's attachment once it is detached.
    void ReleaseAttachment();
    bool AskInProcess();
    int AskSqlDialect();
    bool RunStatementWithoutRows(int statementType, int& failure);
    void FetchRows(XSQLDA* descriptor, int n, int& failure, CStringGrid& rowGrid, CStringGrid* columnGrid,
                   EValueForm form);
    int StatementType();

    bool m_bConnected = false;
    isc_db_handle m_hDatabase = 0;
    // The connection's own reference to the attachment behind m_hDatabase:
    // the raw handle's detach ends the attachment and gives up the reference
    // that attaching returned; this one keeps the interface valid (answering
    // with an error once detached) until the connection lets go of it.
    Firebird::IAttachment* m_pAttachment = nullptr;
    isc_tr_handle m_hTransaction = 0;
    isc_stmt_handle m_hStatement = 0;
    CFbStatus m_aStatus;
    CStringGrid m_gridRelations;
    bool m_bRelationsRead = false;
    int m_nAttempts = 1;
    int m_nLastAttachAttempts = 0;
    bool m_bInProcess = false;
    int m_nSqlDialect = 3;
    // The dialect the next statement is prepared in.
    unsigned short m_nStatementDialect = 3;
    std::string m_sLastError;
};
