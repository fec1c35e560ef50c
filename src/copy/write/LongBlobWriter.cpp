#include "copy/write/LongBlobWriter.h"

#include "db/CFbConnection.h"

void CLongBlobWriter::Take(SReadRow& piece)
{
    if (piece.firstPiece)
    {
        Close();
        m_bActive = true;
        m_nColumn = static_cast<size_t>(piece.pieceColumn);
        m_sError.clear();
        m_eFault = EFbFault::None;
        if (!m_inserter.Prepared())
            Fail(m_inserter.PrepareError(), EFbFault::Table);
        else if (!m_writer.Create(m_status, m_dest, m_inserter.BlobBpb(m_nColumn, piece.pieceBinary)))
            Fail(m_status.Message(), m_status.Fault());
    }
    if (m_bActive && m_sError.empty() && !m_writer.Write(m_status, piece.piece.data(), piece.piece.size()))
        Fail(m_status.Message(), m_status.Fault());
    // Only the pieces on their way hold memory.
    std::string().swap(piece.piece);
}

bool CLongBlobWriter::Bind(BoundRow& row, std::string& error, EFbFault& fault)
{
    if (!m_bActive && m_written.empty())
        return true;
    Close();
    bool ok = true;
    for (size_t c = 0; c < row.size(); ++c)
    {
        if (row[c].kind != SBoundValue::Blob)
            continue;
        for (const SWritten& written : m_written)
        {
            if (written.column != c)
                continue;
            row[c].bytes = written.id;
            if (!written.error.empty() && ok)
            {
                ok = false;
                error = written.error;
                fault = written.fault;
            }
        }
    }
    m_written.clear();
    return ok;
}

void CLongBlobWriter::Close()
{
    if (!m_bActive)
        return;
    m_bActive = false;
    SWritten written{m_nColumn, {}, m_sError, m_eFault};
    ISC_QUAD id{};
    if (written.error.empty() && !m_writer.Close(m_status, id))
    {
        written.error = m_status.Message();
        written.fault = m_status.Fault();
    }
    if (written.error.empty())
        written.id.assign(reinterpret_cast<const char*>(&id), sizeof id);
    m_writer.Cancel();
    m_written.push_back(std::move(written));
}
