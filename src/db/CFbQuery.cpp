#include "db/CFbQuery.h"
#include "db/FbHandles.h"

#include "db/CFbCancel.h"
#include "db/CFbConnection.h"

namespace
{
constexpr unsigned short Dialect = 3;

int StatementType(CFbStatus& status, isc_stmt_handle* statement)
{
    const char items[] = {isc_info_sql_stmt_type};
    char reply[16] = {};
    if (isc_dsql_sql_info(status, statement, sizeof items, items, sizeof reply, reply) != 0 ||
        reply[0] != isc_info_sql_stmt_type)
        return -1;
    const short length = static_cast<short>(isc_vax_integer(reply + 1, 2));
    return static_cast<int>(isc_vax_integer(reply + 3, length));
}

bool IsCursorType(int type)
{
    return type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
}
} // namespace

CFbQuery::CFbQuery(CFbConnection& connection, CFbCancel* cancel) : m_connection(connection), m_pCancel(cancel) {}

CFbQuery::~CFbQuery()
{
    Close();
}

bool CFbQuery::Fail()
{
    m_sLastError = m_status.Message();
    m_bCancelled = m_status.Vector()[1] == isc_cancelled || (m_pCancel && m_pCancel->Requested());
    Close();
    return false;
}

void CFbQuery::Close()
{
    if (m_hStatement)
    {
        CFbStatus ignored;
        CFbCancel::CCall call(m_pCancel);
        isc_dsql_free_statement(ignored, &m_hStatement, DSQL_drop);
    }
    m_hStatement = 0;
    m_bOpen = false;
    m_bHasPending = false;
}

bool CFbQuery::Run(const std::string& sql, CStringGrid& columnGrid, CStringGrid& rows)
{
    Close();
    m_sLastError.clear();
    m_bCancelled = false;
    m_bCursor = false;
    m_nColumns = 0;
    columnGrid.Clear();
    rows.Clear();
    m_status.Reset();
    if (m_pCancel && m_pCancel->Requested())
    {
        m_bCancelled = true;
        return false;
    }
    if (!m_connection.EnsureTransaction())
    {
        m_sLastError = m_connection.LastErrorMessage();
        return false;
    }
    {
        CFbCancel::CCall call(m_pCancel);
        if (isc_dsql_allocate_statement(m_status, CFbHandles::Database(m_connection), &m_hStatement) != 0 ||
            isc_dsql_prepare(m_status, CFbHandles::Transaction(m_connection), &m_hStatement, 0, sql.c_str(), Dialect,
                             m_descriptor.Get()) != 0)
            return Fail();
        if (m_descriptor.Described() > m_descriptor.Capacity())
        {
            m_descriptor.Grow(m_descriptor.Described());
            if (isc_dsql_describe(m_status, &m_hStatement, Dialect, m_descriptor.Get()) != 0)
                return Fail();
        }
    }
    const int type = StatementType(m_status, &m_hStatement);
    m_nColumns = m_descriptor.Described();
    if (m_nColumns > 0)
    {
        m_area.Bind(m_descriptor.Get(), m_nColumns);
        DescribeColumns(m_descriptor.Get(), &columnGrid, m_nColumns);
        rows.SetSize(m_nColumns, 0);
    }
    if (m_nColumns > 0 && IsCursorType(type))
    {
        CFbCancel::CCall call(m_pCancel);
        if (isc_dsql_execute(m_status, CFbHandles::Transaction(m_connection), &m_hStatement, Dialect, nullptr) != 0)
            return Fail();
        m_bOpen = true;
        m_bCursor = true;
        return true;
    }
    {
        // Values without a cursor come back with the execution itself.
        CFbCancel::CCall call(m_pCancel);
        XSQLDA* output = m_nColumns > 0 ? m_descriptor.Get() : nullptr;
        if (isc_dsql_execute2(m_status, CFbHandles::Transaction(m_connection), &m_hStatement, Dialect, nullptr,
                              output) != 0)
            return Fail();
    }
    if (m_nColumns > 0)
    {
        std::vector<SColumnValue> values(static_cast<size_t>(m_nColumns));
        for (int i = 0; i < m_nColumns; ++i)
        {
            FormatColumnValue(m_descriptor.Var(i), EValueForm::Display, {}, values[static_cast<size_t>(i)]);
            values[static_cast<size_t>(i)].text = TrimSpaces(values[static_cast<size_t>(i)].text);
        }
        rows.Resize(m_nColumns, 1);
        for (int i = 0; i < m_nColumns; ++i)
            rows.SetCellMarked(i, 0, values[static_cast<size_t>(i)].text, values[static_cast<size_t>(i)].marks);
    }
    Close();
    if (type == isc_info_sql_stmt_ddl && !m_connection.Commit())
    {
        m_sLastError = m_connection.LastErrorMessage();
        return false;
    }
    return true;
}

int CFbQuery::FetchRow(std::vector<SColumnValue>& values)
{
    m_status.Reset();
    ISC_STATUS result = 0;
    {
        CFbCancel::CCall call(m_pCancel);
        result = isc_dsql_fetch(m_status, &m_hStatement, Dialect, m_descriptor.Get());
    }
    // 100 is the end of the rows; anything else is an error, never taken
    // for the end.
    if (result == 100)
        return 0;
    if (result != 0)
        return -1;
    values.resize(static_cast<size_t>(m_nColumns));
    for (int i = 0; i < m_nColumns; ++i)
    {
        SColumnValue& value = values[static_cast<size_t>(i)];
        FormatColumnValue(m_descriptor.Var(i), EValueForm::Display, {}, value);
        value.text = TrimSpaces(value.text);
    }
    return 1;
}

bool CFbQuery::Next(std::vector<SColumnValue>& values, bool& row)
{
    row = false;
    if (m_bHasPending)
    {
        values.swap(m_pending);
        m_bHasPending = false;
        row = true;
        return true;
    }
    if (!m_bOpen)
        return true;
    if (m_pCancel && m_pCancel->Requested())
    {
        m_bCancelled = true;
        m_sLastError.clear();
        Close();
        return false;
    }
    const int result = FetchRow(values);
    if (result < 0)
        return Fail();
    if (result == 0)
        Close();
    row = result > 0;
    return true;
}

bool CFbQuery::FetchEach(const std::function<bool(const std::vector<SColumnValue>&)>& visit)
{
    std::vector<SColumnValue> values;
    for (;;)
    {
        bool row = false;
        if (!Next(values, row))
            return false;
        if (!row)
            return true;
        if (!visit(values))
            return true;
    }
}

bool CFbQuery::Fetch(int maxRows, CStringGrid& rows)
{
    if (rows.ColumnCount() != m_nColumns)
        rows.SetSize(m_nColumns, rows.RowCount());
    int fetched = 0;
    const bool ok = FetchEach([&](const std::vector<SColumnValue>& values) {
        const int row = rows.RowCount();
        rows.Resize(m_nColumns, row + 1);
        for (int i = 0; i < m_nColumns; ++i)
            rows.SetCellMarked(i, row, values[static_cast<size_t>(i)].text, values[static_cast<size_t>(i)].marks);
        return maxRows < 0 || ++fetched < maxRows;
    });
    if (!ok || !m_bOpen)
        return ok;
    // One row ahead: a result that ends with this page says so now, not
    // after a fetch that finds nothing.
    bool row = false;
    if (!Next(m_pending, row))
        return false;
    m_bHasPending = row;
    return true;
}
