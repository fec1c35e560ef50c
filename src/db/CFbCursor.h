#pragma once

#include "db/ArrayIo.h"
#include "db/BlobIo.h"
#include "db/CFbConnection.h"
#include "db/CXsqlda.h"
#include "db/FbStatus.h"

#include <string>
#include <vector>

namespace Firebird
{
class IStatus;
class ITransaction;
class IStatement;
class IResultSet;
class IMessageMetadata;
class CheckStatusWrapper;
} // namespace Firebird

// A streaming cursor over one SELECT on an attached connection, with its own
// statement and its own read-only snapshot transaction, so rows are read one
// at a time and the connection stays free for other statements. Rows arrive
// through the object interface straight into a message laid out as the
// statement describes it, and the columns' descriptors point into that
// message: the descriptor API would build a description of the row and copy
// it column by column for every row.
class CFbCursor
{
  public:
    explicit CFbCursor(CFbConnection& connection);
    ~CFbCursor();
    CFbCursor(const CFbCursor&) = delete;
    CFbCursor& operator=(const CFbCursor&) = delete;

    // Prepares and opens the cursor; false with LastErrorMessage on failure.
    bool Open(const std::string& sql);
    // Fetches the next row: 1 a row, 0 the end, -1 an error.
    int Fetch();
    void Close();

    int ColumnCount() const { return m_nColumns; }
    const XSQLVAR& Column(int i) { return m_descriptor.Var(i); }
    std::string ColumnName(int i);
    // The current row's value of column i in the chosen form; false when a
    // BLOB could not be read.
    bool Value(int i, EValueForm form, SColumnValue& value);
    // The current row's ARRAY value of column i; false when it cannot be read.
    bool ReadArrayValue(int i, SArraySlice& slice);
    // Opens the current row's BLOB in column i (not NULL) to be read in
    // pieces; it stays readable while later rows are fetched. False with
    // LastErrorMessage on failure.
    bool OpenBlob(int i, CBlobReader& blob);
    // The next piece of a BLOB opened by OpenBlob, as CBlobReader::Read
    // gives it; a failure's message is LastErrorMessage.
    int ReadBlobPiece(CBlobReader& blob, std::string& piece, size_t most);
    bool CloseBlob(CBlobReader& blob);
    const std::string& LastErrorMessage() const { return m_sLastError; }

  private:
    // Describes the columns of m_pMetadata in m_descriptor, pointing each
    // value and NULL indicator into m_message.
    void Describe(Firebird::CheckStatusWrapper& status);
    // Takes the message of the call just made; true when it failed.
    bool Failed(Firebird::CheckStatusWrapper& status);

    CFbConnection& m_connection;
    CFbStatus m_status; // the BLOB and array calls, which take raw handles
    Firebird::IStatus* m_pStatus = nullptr;
    Firebird::ITransaction* m_pTransaction = nullptr;
    Firebird::IStatement* m_pStatement = nullptr;
    Firebird::IResultSet* m_pResultSet = nullptr;
    Firebird::IMessageMetadata* m_pMetadata = nullptr;
    isc_tr_handle m_hTransaction = 0; // m_pTransaction's raw handle
    CXsqlda m_descriptor{32};
    std::vector<char> m_message;
    int m_nColumns = 0;
    bool m_bOpen = false;
    std::string m_sLastError;
};

// A column of a statement's result as the client library describes it.
struct SResultColumn
{
    std::string name;
    int sqlType = 0; // SQL_xxx, nullable bit cleared
};

// The result columns of a statement without running it; false with the
// server's message when it does not prepare.
bool DescribeResultTypes(CFbConnection& connection, const std::string& sql, std::vector<SResultColumn>& columns,
                         std::string& errorMessage);
