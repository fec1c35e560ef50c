#pragma once

#include "core/CStringGrid.h"
#include "db/CXsqlda.h"
#include "db/FbStatus.h"
#include "db/ValueFormat.h"

#include <functional>
#include <string>
#include <vector>

class CFbCancel;
class CFbConnection;

// One statement of the SQL editor, run in the connection's transaction with
// a statement handle of its own. A statement with a cursor keeps it open and
// hands its rows out page by page, so that no more rows are held than are
// asked for; one that returns values without a cursor (EXECUTE PROCEDURE
// with outputs, INSERT ... RETURNING) gives its one row at once. Every
// client call can be stopped from another thread through a CFbCancel, and
// the transaction stays usable after a stop.
class CFbQuery
{
  public:
    explicit CFbQuery(CFbConnection& connection, CFbCancel* cancel = nullptr);
    ~CFbQuery();
    CFbQuery(const CFbQuery&) = delete;
    CFbQuery& operator=(const CFbQuery&) = delete;

    // Prepares and runs sql. columnGrid receives the five-row description of
    // the result columns (none for a statement without result), rows the
    // one row of a statement without cursor (empty otherwise). A DDL
    // statement commits at once. False with LastErrorMessage; Cancelled then
    // tells whether the cancel stopped it.
    bool Run(const std::string& sql, CStringGrid& columnGrid, CStringGrid& rows);
    // True while the cursor has rows that were not fetched yet.
    bool HasMoreRows() const { return m_bOpen || m_bHasPending; }
    // Appends up to maxRows rows (every remaining row when negative) to rows,
    // values in display form with NULL marked. The cursor closes at its end
    // and on an error; rows fetched before an error stay.
    bool Fetch(int maxRows, CStringGrid& rows);
    // Hands every remaining row to visit, which returns false to stop early.
    bool FetchEach(const std::function<bool(const std::vector<SColumnValue>&)>& visit);
    // Closes the cursor (if open) and drops the statement.
    void Close();

    // True when the last Run opened a cursor (its rows may be many).
    bool HasCursor() const { return m_bCursor; }
    bool Cancelled() const { return m_bCancelled; }
    const std::string& LastErrorMessage() const { return m_sLastError; }
    int ColumnCount() const { return m_nColumns; }

  private:
    bool Fail();
    // 1 a row, 0 the end, -1 an error.
    int FetchRow(std::vector<SColumnValue>& values);
    // The next row (the one held ahead first); row false at the end.
    bool Next(std::vector<SColumnValue>& values, bool& row);

    CFbConnection& m_connection;
    CFbCancel* m_pCancel;
    CFbStatus m_status;
    isc_stmt_handle m_hStatement = 0;
    CXsqlda m_descriptor{32};
    CRowArea m_area;
    int m_nColumns = 0;
    bool m_bOpen = false;
    std::vector<SColumnValue> m_pending;
    bool m_bHasPending = false;
    bool m_bCancelled = false;
    bool m_bCursor = false;
    std::string m_sLastError;
};
