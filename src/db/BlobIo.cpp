#include "db/BlobIo.h"

#include <algorithm>

namespace
{
constexpr unsigned short MaxSegment = 65535;

class CBlobHandle
{
public:
    ~CBlobHandle()
    {
        if (m_handle)
        {
            ISC_STATUS_ARRAY ignored;
            isc_cancel_blob(ignored, &m_handle);
        }
    }
    isc_blob_handle* Address() { return &m_handle; }
    bool Close(CFbStatus& status) { return isc_close_blob(status, &m_handle) == 0; }

private:
    isc_blob_handle m_handle = 0;
};
} // namespace

bool ReadBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id,
              std::string& contents)
{
    contents.clear();
    CBlobHandle blob;
    ISC_QUAD blobId = id;
    if (isc_open_blob2(status, database, transaction, blob.Address(), &blobId, 0, nullptr) != 0)
        return false;
    char buffer[MaxSegment];
    while (true)
    {
        unsigned short got = 0;
        const ISC_STATUS rc = isc_get_segment(status, blob.Address(), &got, MaxSegment, buffer);
        if (rc == 0 || status.Vector()[1] == isc_segment)
        {
            contents.append(buffer, got);
            continue;
        }
        if (status.Vector()[1] == isc_segstr_eof)
            break;
        return false;
    }
    status.Reset();
    return blob.Close(status);
}

bool WriteBlob(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& contents,
               ISC_QUAD& id, const std::string& bpb)
{
    CBlobHandle blob;
    if (isc_create_blob2(status, database, transaction, blob.Address(), &id, static_cast<short>(bpb.size()),
                         bpb.empty() ? nullptr : bpb.data()) != 0)
        return false;
    size_t offset = 0;
    while (offset < contents.size())
    {
        const auto length = static_cast<unsigned short>(std::min<size_t>(MaxSegment, contents.size() - offset));
        if (isc_put_segment(status, blob.Address(), length, contents.data() + offset) != 0)
            return false;
        offset += length;
    }
    return blob.Close(status);
}
