#pragma once

#include "copy/read/CSourceRowReader.h"
#include "copy/write/CBatchInserter.h"
#include "db/BlobIo.h"
#include "db/FbFault.h"

#include <string>
#include <vector>

class CFbConnection;

// Writes the long BLOBs whose pieces arrive ahead of their row into new
// BLOBs of the destination, each piece as it comes, and puts them into the
// row. A BLOB that cannot be written fails its row with the server's reason.
class CLongBlobWriter
{
  public:
    CLongBlobWriter(CFbConnection& dest, const CBatchInserter& inserter) : m_dest(dest), m_inserter(inserter) {}

    // One piece of a long BLOB; a first piece begins a new BLOB.
    void Take(SReadRow& piece);
    // Puts the BLOBs written for the row into it; false, with the reason and
    // whose fault it is, when one of them could not be written.
    bool Bind(BoundRow& row, std::string& error, EFbFault& fault);

  private:
    struct SWritten
    {
        size_t column = 0;
        std::string id;
        std::string error;
        EFbFault fault = EFbFault::None;
    };

    void Fail(const std::string& error, EFbFault fault)
    {
        m_sError = error;
        m_eFault = fault;
    }
    void Close();

    CFbConnection& m_dest;
    const CBatchInserter& m_inserter;
    CFbStatus m_status;
    CBlobWriter m_writer;
    bool m_bActive = false;
    size_t m_nColumn = 0;
    std::string m_sError;
    EFbFault m_eFault = EFbFault::None;
    std::vector<SWritten> m_written;
};
