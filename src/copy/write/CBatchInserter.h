#pragma once

#include "db/ArrayIo.h"
#include "db/FbFault.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CFbConnection;
class CFbParamStatement;

// A value bound to one destination column of one row.
struct SBoundValue
{
    enum EKind
    {
        Null,
        Double,
        Bytes,
        Raw,
        Array,
        Blob,
    };
    EKind kind = Null;
    double number = 0;
    std::string bytes; // Bytes: text or binary bytes; Raw: the value's data; Blob: its ISC_QUAD
    bool binary = false;
    short sqlType = 0; // Raw only
    short scale = 0;
    short subType = 0;
    std::shared_ptr<const SArraySlice> array; // Array only
};

using BoundRow = std::vector<SBoundValue>;

// How the insertion of one row ended.
enum class ERowResult
{
    Inserted,
    Refused, // the row's own values were refused: it fails alone
    Broken,  // the destination failed (ClassifyFault): the row is not in, and no row after it is sent
};

// Inserts rows into one table, several rows per round trip: rows are
// gathered and sent as one prepared EXECUTE BLOCK holding one INSERT per
// row. When a block fails, its rows are inserted again one by one, so a row
// that the server refuses fails alone and every other row goes in. A row
// holding a BLOB written ahead (kind Blob) is always inserted alone: the
// BLOB can be stored only once, and a retry would need it again. Results
// are reported in the order the rows were added.
class CBatchInserter
{
  public:
    using ResultCallback = std::function<void(ERowResult result, const std::string& serverMessage)>;

    // columns: the destination column names in parameter order.
    CBatchInserter(CFbConnection& dest, const std::string& table, const std::vector<std::string>& columns,
                   ResultCallback onResult);
    ~CBatchInserter();
    CBatchInserter(const CBatchInserter&) = delete;
    CBatchInserter& operator=(const CBatchInserter&) = delete;

    // Prepares the single-row INSERT; false when the server refuses it (then
    // the inserter is broken with that message).
    bool Prepare();
    bool Prepared() const { return m_bPrepared; }
    const std::string& PrepareError() const { return m_sPrepareError; }
    // Takes the row's values; row is left holding the storage of an earlier
    // row, ready to be refilled without allocating.
    void Add(BoundRow& row);
    // Reports a row that cannot be inserted (its BLOB could not be written),
    // in its place among the rows added; a fault of the table breaks the inserter.
    void AddFailed(const std::string& message, EFbFault fault);
    // Whether a failure that ends the table came, and the server's message for it.
    bool Broken() const { return m_bBroken; }
    const std::string& BrokenError() const { return m_sBrokenError; }
    // Sends what is still gathered.
    void Finish();
    // The BLOB parameter buffer for a BLOB written for the column (see
    // CFbParamStatement::BlobBpb); empty before Prepare.
    std::string BlobBpb(size_t column, bool binary) const;
    // Where the results go: other writers of the same rows report there too.
    const ResultCallback& ResultHandler() const { return m_onResult; }
    // Most rows one block carries (after Prepare, which knows the text).
    size_t BlockRows() const { return std::min(m_nMaxBatchRows, m_nTextRowLimit); }
    // Most rows per round trip (1 turns batching off).
    void SetMaxBatchRows(size_t rows) { m_nMaxBatchRows = rows < 1 ? 1 : rows; }

  private:
    void Flush();
    void Break(const std::string& error);
    bool RunSingle(const BoundRow& row, std::string& error, EFbFault& fault);
    CFbParamStatement* BlockStatement(size_t rows);
    static size_t RowBytes(const BoundRow& row);

    CFbConnection& m_dest;
    std::string m_sTable;
    std::vector<std::string> m_columns;
    ResultCallback m_onResult;
    std::string m_sInsertSql;
    std::string m_sPrepareError;
    std::string m_sBrokenError;
    bool m_bBroken = false;
    std::unique_ptr<CFbParamStatement> m_single;
    std::map<size_t, std::unique_ptr<CFbParamStatement>> m_blocks;
    std::vector<BoundRow> m_pending; // the first m_nPending rows wait to be sent
    size_t m_nPending = 0;
    size_t m_nPendingBytes = 0;
    size_t m_nMaxBatchRows = 128;
    size_t m_nTextRowLimit = 128;
    bool m_bPrepared = false;
    bool m_bBlocksWork = true;
};

// Binds a row's values to the parameters first .. first + row.size() - 1;
// arrays are stored into table and the row's columns.
void BindRow(CFbParamStatement& statement, const BoundRow& row, int first, const std::string& table,
             const std::vector<std::string>& columns);
