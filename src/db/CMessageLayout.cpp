#include "db/CMessageLayout.h"

#include <firebird/Interface.h>
#include <ibase.h>

namespace
{
constexpr unsigned MaxMessageBytes = 65535; // the length argument of an execution is 16 bits

void AppendWord(std::string& blr, unsigned value)
{
    blr += static_cast<char>(value & 0xFF);
    blr += static_cast<char>((value >> 8) & 0xFF);
}
} // namespace

bool CMessageLayout::AppendBlr(const SParamFormat& format)
{
    switch (format.type)
    {
    case SQL_TEXT:
        m_sBlr += static_cast<char>(blr_text2);
        AppendWord(m_sBlr, static_cast<unsigned short>(format.subType));
        AppendWord(m_sBlr, format.length);
        break;
    case SQL_VARYING:
        m_sBlr += static_cast<char>(blr_varying2);
        AppendWord(m_sBlr, static_cast<unsigned short>(format.subType));
        AppendWord(m_sBlr, format.length);
        break;
    case SQL_SHORT: m_sBlr += {static_cast<char>(blr_short), static_cast<char>(format.scale)}; break;
    case SQL_LONG: m_sBlr += {static_cast<char>(blr_long), static_cast<char>(format.scale)}; break;
    case SQL_INT64: m_sBlr += {static_cast<char>(blr_int64), static_cast<char>(format.scale)}; break;
    case SQL_FLOAT: m_sBlr += static_cast<char>(blr_float); break;
    case SQL_DOUBLE: m_sBlr += static_cast<char>(blr_double); break;
    case SQL_TIMESTAMP: m_sBlr += static_cast<char>(blr_timestamp); break;
    case SQL_TYPE_DATE: m_sBlr += static_cast<char>(blr_sql_date); break;
    case SQL_TYPE_TIME: m_sBlr += static_cast<char>(blr_sql_time); break;
    case SQL_BOOLEAN: m_sBlr += static_cast<char>(blr_bool); break;
    case SQL_BLOB:
        m_sBlr += static_cast<char>(blr_blob2);
        AppendWord(m_sBlr, static_cast<unsigned short>(format.subType));
        AppendWord(m_sBlr, static_cast<unsigned short>(format.scale)); // a BLOB's character set
        break;
    default: return false; // arrays and rarer types keep the descriptor path
    }
    m_sBlr += {static_cast<char>(blr_short), 0}; // the NULL indicator
    return true;
}

bool CMessageLayout::ComputeOffsets()
{
    Firebird::IMaster* master = Firebird::fb_get_master_interface();
    Firebird::IStatus* rawStatus = master->getStatus();
    Firebird::CheckStatusWrapper status(rawStatus);
    const auto count = static_cast<unsigned>(m_formats.size());
    Firebird::IMetadataBuilder* builder = master->getMetadataBuilder(&status, count);
    Firebird::IMessageMetadata* metadata = nullptr;
    bool ok = !(status.getState() & Firebird::IStatus::STATE_ERRORS);
    for (unsigned i = 0; ok && i < count; ++i)
    {
        builder->setType(&status, i, static_cast<unsigned>(m_formats[i].type | 1));
        builder->setLength(&status, i, m_formats[i].length);
        ok = !(status.getState() & Firebird::IStatus::STATE_ERRORS);
    }
    if (ok)
    {
        metadata = builder->getMetadata(&status);
        ok = !(status.getState() & Firebird::IStatus::STATE_ERRORS) && metadata;
    }
    m_offsets.assign(count, 0);
    m_nullOffsets.assign(count, 0);
    for (unsigned i = 0; ok && i < count; ++i)
    {
        m_offsets[i] = metadata->getOffset(&status, i);
        m_nullOffsets[i] = metadata->getNullOffset(&status, i);
    }
    if (ok)
        m_nLength = metadata->getMessageLength(&status);
    ok = ok && !(status.getState() & Firebird::IStatus::STATE_ERRORS);
    if (metadata)
        metadata->release();
    if (builder)
        builder->release();
    rawStatus->dispose();
    return ok;
}

bool CMessageLayout::Build(const std::vector<SParamFormat>& formats)
{
    m_formats = formats;
    m_sBlr = {static_cast<char>(blr_version5), static_cast<char>(blr_begin), static_cast<char>(blr_message), 0};
    const size_t slots = 2 * formats.size();
    bool ok = slots <= 0xFFFF;
    AppendWord(m_sBlr, static_cast<unsigned>(slots));
    for (size_t i = 0; ok && i < formats.size(); ++i)
        ok = AppendBlr(formats[i]);
    m_sBlr += {static_cast<char>(blr_end), static_cast<char>(blr_eoc)};
    ok = ok && m_sBlr.size() <= 0xFFFF && ComputeOffsets() && m_nLength <= MaxMessageBytes;
    if (!ok)
        m_formats.clear();
    return ok;
}
