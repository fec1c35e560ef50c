#include "db/CFbTransaction.h"

#include "db/CFbConnection.h"
#include "db/PreparedTransactions.h"

CFbTransaction::CFbTransaction(CFbConnection& connection) : m_connection(connection)
{
    m_bStarted = m_connection.IsConnected() && m_connection.EnsureTransaction();
    if (!m_bStarted)
        m_sError = m_connection.LastErrorMessage();
}

CFbTransaction::~CFbTransaction()
{
    if (!m_bEnded)
        Rollback();
}

bool CFbTransaction::Prepare(const std::string& mark)
{
    if (!m_bStarted || m_bEnded)
        return false;
    m_bPrepared = PrepareTransaction(m_connection, mark);
    if (!m_bPrepared)
        m_sError = m_connection.LastErrorMessage();
    return m_bPrepared;
}

bool CFbTransaction::Commit()
{
    m_bEnded = true;
    if (!m_bStarted)
        return false;
    if (m_connection.Commit())
        return true;
    m_sError = m_connection.LastErrorMessage();
    if (m_bPrepared)
        m_connection.ForgetTransaction();
    else
        m_connection.Rollback();
    return false;
}

void CFbTransaction::Rollback()
{
    m_bEnded = true;
    if (m_bStarted)
        m_connection.Rollback();
}
