#include "db/BlobIo.h"

#include "db/FbHandles.h"

#include <algorithm>

namespace
{
constexpr unsigned short MaxSegment = 65535; // the longest segment the client library takes
constexpr char UnicodeCharacterSet = 4;      // UTF8
} // namespace

CBlobReader::CBlobReader() : m_segment(new char[MaxSegment]) {}

CBlobReader::~CBlobReader()
{
    if (m_handle)
    {
        ISC_STATUS_ARRAY ignored;
        isc_close_blob(ignored, &m_handle);
    }
}

bool CBlobReader::Open(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id)
{
    if (m_handle)
    {
        CFbStatus ignored;
        Close(ignored);
    }
    ISC_QUAD blobId = id;
    m_bEnd = false;
    return isc_open_blob2(status, database, transaction, &m_handle, &blobId, 0, nullptr) == 0;
}

int CBlobReader::Read(CFbStatus& status, std::string& piece, size_t most)
{
    size_t appended = 0;
    // Segments land in a buffer of their own and only their bytes are
    // appended: a piece never grows by more than it receives.
    while (!m_bEnd && appended < most)
    {
        const auto room = static_cast<unsigned short>(std::min<size_t>(MaxSegment, most - appended));
        unsigned short got = 0;
        const ISC_STATUS rc = isc_get_segment(status, &m_handle, &got, room, m_segment.get());
        if (rc == 0 || status.Vector()[1] == isc_segment)
        {
            piece.append(m_segment.get(), got);
            appended += got;
            continue;
        }
        if (status.Vector()[1] != isc_segstr_eof)
            return -1;
        status.Reset();
        m_bEnd = true;
    }
    return appended > 0 ? 1 : 0;
}

bool CBlobReader::Close(CFbStatus& status)
{
    const bool closed = isc_close_blob(status, &m_handle) == 0;
    m_handle = 0;
    return closed;
}

CBlobWriter::~CBlobWriter()
{
    Cancel();
}

void CBlobWriter::Cancel()
{
    if (m_handle)
    {
        ISC_STATUS_ARRAY ignored;
        isc_cancel_blob(ignored, &m_handle);
    }
    m_handle = 0;
    m_sTail.clear();
}

bool CBlobWriter::Create(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& bpb)
{
    m_sTail.clear();
    return isc_create_blob2(status, database, transaction, &m_handle, &m_id, static_cast<short>(bpb.size()),
                            bpb.empty() ? nullptr : bpb.data()) == 0;
}

bool CBlobWriter::Create(CFbStatus& status, CFbConnection& connection, const std::string& bpb)
{
    return Create(status, CFbHandles::Database(connection), CFbHandles::Transaction(connection), bpb);
}

bool CBlobWriter::Write(CFbStatus& status, const char* data, size_t size)
{
    // Only whole segments go out before Close, so pieces of any length make
    // the same segments. Through a server a segment longer than the client
    // library's buffer is one round trip, and a short one left between two
    // long ones would be a round trip of its own.
    if (!m_sTail.empty())
    {
        const size_t taken = std::min(size, MaxSegment - m_sTail.size());
        m_sTail.append(data, taken);
        data += taken;
        size -= taken;
        if (m_sTail.size() < MaxSegment)
            return true;
        if (isc_put_segment(status, &m_handle, MaxSegment, m_sTail.data()) != 0)
            return false;
        m_sTail.clear();
    }
    for (; size >= MaxSegment; data += MaxSegment, size -= MaxSegment)
    {
        if (isc_put_segment(status, &m_handle, MaxSegment, data) != 0)
            return false;
    }
    m_sTail.assign(data, size);
    return true;
}

bool CBlobWriter::Close(CFbStatus& status, ISC_QUAD& id)
{
    if (!m_sTail.empty() &&
        isc_put_segment(status, &m_handle, static_cast<unsigned short>(m_sTail.size()), m_sTail.data()) != 0)
        return false;
    m_sTail.clear();
    if (isc_close_blob(status, &m_handle) != 0)
        return false;
    id = m_id;
    return true;
}

bool ReadBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id,
              std::string& contents)
{
    contents.clear();
    CBlobReader blob;
    if (!blob.Open(status, database, transaction, id))
        return false;
    int read = 0;
    while ((read = blob.Read(status, contents, 1 << 20)) == 1)
    {
    }
    return read == 0 && blob.Close(status);
}

bool WriteBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& contents,
               ISC_QUAD& id, const std::string& bpb)
{
    CBlobWriter blob;
    return blob.Create(status, database, transaction, bpb) && blob.Write(status, contents.data(), contents.size()) &&
           blob.Close(status, id);
}

std::string TextBlobBpb(int characterSetId)
{
    return {static_cast<char>(isc_bpb_version1),
            static_cast<char>(isc_bpb_source_type),
            1,
            1,
            static_cast<char>(isc_bpb_source_interp),
            1,
            UnicodeCharacterSet,
            static_cast<char>(isc_bpb_target_type),
            1,
            1,
            static_cast<char>(isc_bpb_target_interp),
            1,
            static_cast<char>(characterSetId & 0xFF)};
}
