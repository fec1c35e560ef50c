#pragma once

#include "db/FbStatus.h"

class CFbConnection;

#include <ibase.h>
#include <memory>
#include <string>

// A BLOB read piece by piece, so that a value of any size passes through a
// buffer of a fixed size. The BLOB is closed by Close or, unfinished, by the
// destructor; once closed, the reader can open the next one.
class CBlobReader
{
  public:
    CBlobReader();
    ~CBlobReader();
    CBlobReader(const CBlobReader&) = delete;
    CBlobReader& operator=(const CBlobReader&) = delete;

    // Opens the BLOB id in the transaction; false (status filled) on failure.
    bool Open(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id);
    // Appends up to most bytes of what follows to piece: 1 when bytes were
    // appended, 0 at the end of the BLOB, -1 on failure (status filled).
    int Read(CFbStatus& status, std::string& piece, size_t most);
    // Closes the BLOB; false (status filled) on failure.
    bool Close(CFbStatus& status);

  private:
    isc_blob_handle m_handle = 0;
    bool m_bEnd = false;
    std::unique_ptr<char[]> m_segment; // what one call of the client library delivers
};

// A new BLOB written piece by piece. Until Close succeeds the BLOB is
// unfinished, and the destructor cancels it.
class CBlobWriter
{
  public:
    CBlobWriter() = default;
    ~CBlobWriter();
    CBlobWriter(const CBlobWriter&) = delete;
    CBlobWriter& operator=(const CBlobWriter&) = delete;

    // Creates the BLOB in the transaction; a BLOB parameter buffer (bpb) may
    // ask the server to filter what is written. False (status filled) on failure.
    bool Create(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& bpb = {});
    // The same in the connection's open transaction.
    bool Create(CFbStatus& status, CFbConnection& connection, const std::string& bpb = {});
    // Appends bytes to the BLOB, as segments of the longest length whatever
    // the lengths written (the last one shorter); false (status filled) on
    // failure, which may show only at Close for the last bytes.
    bool Write(CFbStatus& status, const char* data, size_t size);
    // Writes what is left, closes the BLOB and gives its id; false (status
    // filled) on failure.
    bool Close(CFbStatus& status, ISC_QUAD& id);
    // Drops a BLOB that was not closed; nothing when there is none.
    void Cancel();

  private:
    isc_blob_handle m_handle = 0;
    ISC_QUAD m_id{};
    std::string m_sTail; // the bytes of a segment not yet full
};

// Reads all segments of a BLOB into contents; false (status filled) on failure.
bool ReadBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id,
              std::string& contents);
// Creates a BLOB holding contents and sets id to it; false on failure.
// A BLOB parameter buffer (bpb) may ask the server to filter the contents.
bool WriteBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& contents,
               ISC_QUAD& id, const std::string& bpb = {});
// The BLOB parameter buffer that filters text from the connection's UTF-8
// into the character set whose id is given.
std::string TextBlobBpb(int characterSetId);
