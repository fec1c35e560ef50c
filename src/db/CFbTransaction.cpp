#include "db/CFbTransaction.h"

#include "db/CFbConnection.h"

CFbTransaction::CFbTransaction(CFbConnection& connection) : m_connection(connection)
{
    m_bStarted = m_connection.m_bConnected && m_connection.EnsureTransaction();
    if (!m_bStarted)
        m_sError = m_connection.LastErrorMessage();
}

CFbTransaction::~CFbTransaction()
{
    if (!m_bEnded)
        Rollback();
}

bool CFbTransaction::Commit()
{
    m_bEnded = true;
    if (!m_bStarted)
        return false;
    if (m_connection.Commit())
        return true;
    m_sError = m_connection.LastErrorMessage();
    m_connection.Rollback();
    return false;
}

void CFbTransaction::Rollback()
{
    m_bEnded = true;
    if (m_bStarted)
        m_connection.Rollback();
}
