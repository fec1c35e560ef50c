#include "copy/CRowsAhead.h"

#include <thread>

void CRowsAhead::Fill()
{
    if (m_rows.size() < m_nBatch)
        m_rows.resize(m_nBatch);
    m_nCount = 0;
    m_nNext = 0;
    while (m_nCount < m_nBatch && m_nState == 1)
    {
        m_nState = m_cursor.Fetch();
        if (m_nState == 1)
            m_cursor.SaveRow(m_rows[m_nCount++]);
    }
}

int CRowsAhead::Next()
{
    if (NeedsFill())
        Fill();
    if (m_nNext == m_nCount)
        return m_nState;
    m_cursor.LoadRow(m_rows[m_nNext++]);
    return 1;
}

void FillBoth(CRowsAhead* a, CRowsAhead* b)
{
    const bool fillA = a && a->NeedsFill();
    const bool fillB = b && b->NeedsFill();
    if (fillA && fillB)
    {
        // The two cursors sit on attachments of their own: the engine
        // serves both fetches at once.
        std::thread other([a] { a->Fill(); });
        b->Fill();
        other.join();
    }
    else if (fillA)
        a->Fill();
    else if (fillB)
        b->Fill();
}
