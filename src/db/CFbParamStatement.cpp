#include "db/CFbParamStatement.h"
#include "db/FbHandles.h"

#include "db/BlobIo.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr unsigned short Dialect = 3;
constexpr size_t MaxVaryingBytes = 32765;

bool IsTextType(int type)
{
    return type == SQL_TEXT || type == SQL_VARYING;
}

// Room for a text of length bytes: grown in powers of two, so a column's
// texts settle on one layout after a few rows.
unsigned short VaryingRoom(size_t length, unsigned short current)
{
    if (length <= current)
        return current;
    size_t room = 16;
    while (room < length)
        room *= 2;
    return static_cast<unsigned short>(std::min(room, MaxVaryingBytes));
}
} // namespace

CFbParamStatement::CFbParamStatement(CFbConnection& connection) : m_connection(connection) {}

CFbParamStatement::~CFbParamStatement()
{
    if (m_hStatement)
    {
        CFbStatus ignored;
        isc_dsql_free_statement(ignored, &m_hStatement, DSQL_drop);
    }
}

bool CFbParamStatement::Fail()
{
    m_sLastError = m_status.Message();
    m_eLastFault = m_status.Fault();
    return false;
}

bool CFbParamStatement::Prepare(const std::string& sql)
{
    m_sLastError.clear();
    m_eLastFault = EFbFault::None;
    if (!m_connection.EnsureTransaction())
    {
        m_sLastError = m_connection.LastErrorMessage();
        m_eLastFault = EFbFault::Table;
        return false;
    }
    if (!m_hStatement && isc_dsql_allocate_statement(m_status, CFbHandles::Database(m_connection), &m_hStatement) != 0)

        return Fail();
    if (isc_dsql_prepare(m_status, CFbHandles::Transaction(m_connection), &m_hStatement, 0, sql.c_str(), Dialect,
                         nullptr) != 0 ||
        isc_dsql_describe_bind(m_status, &m_hStatement, Dialect, m_params.Get()) != 0)

        return Fail();
    if (m_params.Described() > m_params.Capacity())
    {
        m_params.Grow(m_params.Described());
        if (isc_dsql_describe_bind(m_status, &m_hStatement, Dialect, m_params.Get()) != 0)

            return Fail();
    }
    const int count = m_params.Described();
    m_described.assign(m_params->sqlvar, m_params->sqlvar + count);
    m_slots.assign(static_cast<size_t>(count), SSlot{});
    m_bLayoutKnown = false;
    for (int i = 0; i < count; ++i)
        SetNull(i);
    return true;
}

void CFbParamStatement::SetArray(int i, const std::string& table, const std::string& column,
                                 std::shared_ptr<const SArraySlice> slice)
{
    SSlot& slot = m_slots[static_cast<size_t>(i)];
    slot.indicator = 0;
    slot.pendingBlob = false;
    slot.array = std::move(slice);
    slot.arrayTable = table;
    slot.arrayColumn = column;
}

void CFbParamStatement::SetBlob(int i, const ISC_QUAD& id)
{
    SSlot& slot = m_slots[static_cast<size_t>(i)];
    slot.array.reset();
    XSQLVAR& var = m_params.Var(i);
    slot.indicator = 0;
    slot.pendingBlob = false;
    slot.buffer.assign(reinterpret_cast<const char*>(&id), sizeof id);
    var.sqltype = static_cast<short>(SQL_BLOB | 1);
    var.sqlsubtype = m_described[static_cast<size_t>(i)].sqlsubtype;
    var.sqlscale = 0;
    var.sqllen = sizeof id;
}

std::string CFbParamStatement::BlobBpb(int i, bool binary) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_described.size())
        return {};
    // A text BLOB column's character set is held in sqlscale.
    const XSQLVAR& described = m_described[static_cast<size_t>(i)];
    const bool textBlob = (described.sqltype & ~1) == SQL_BLOB && described.sqlsubtype == 1 && !binary;
    return textBlob ? TextBlobBpb(described.sqlscale & 0xFF) : std::string();
}

void CFbParamStatement::SetNull(int i)
{
    SSlot& slot = m_slots[static_cast<size_t>(i)];
    slot.array.reset();
    XSQLVAR& var = m_params.Var(i);
    slot.indicator = -1;
    slot.pendingBlob = false;
    var.sqltype = static_cast<short>(SQL_VARYING | 1);
    var.sqlsubtype = 0;
    var.sqlscale = 0;
    slot.buffer.assign(2, '\0');
    var.sqllen = 0;
}

void CFbParamStatement::SetDouble(int i, double value)
{
    SSlot& slot = m_slots[static_cast<size_t>(i)];
    slot.array.reset();
    XSQLVAR& var = m_params.Var(i);
    slot.indicator = 0;
    slot.pendingBlob = false;
    slot.buffer.assign(reinterpret_cast<const char*>(&value), sizeof value);
    var.sqltype = static_cast<short>(SQL_DOUBLE | 1);
    var.sqlsubtype = 0;
    var.sqlscale = 0;
    var.sqllen = sizeof value;
}

void CFbParamStatement::SetRaw(int i, int sqlType, int scale, int subType, const std::string& data)
{
    SSlot& slot = m_slots[static_cast<size_t>(i)];
    slot.array.reset();
    XSQLVAR& var = m_params.Var(i);
    slot.indicator = 0;
    slot.pendingBlob = false;
    slot.buffer = data;
    var.sqltype = static_cast<short>(sqlType | 1);
    var.sqlscale = static_cast<short>(scale);
    var.sqlsubtype = static_cast<short>(subType);
    // A varying value's length word is part of its data, not of sqllen.
    var.sqllen = static_cast<short>(sqlType == SQL_VARYING ? data.size() - 2 : data.size());
}

void CFbParamStatement::SetBytes(int i, const std::string& bytes, bool binary)
{
    SSlot& slot = m_slots[static_cast<size_t>(i)];
    slot.array.reset();
    XSQLVAR& var = m_params.Var(i);
    const XSQLVAR& described = m_described[static_cast<size_t>(i)];
    const int type = described.sqltype & ~1;
    slot.indicator = 0;
    slot.binary = binary;
    if (bytes.size() > MaxVaryingBytes)
    {
        // Written as a BLOB just before the execution; a text too long for a
        // string parameter that is not bound to a BLOB will fail there as a
        // plain conversion error of the server.
        slot.pendingBlob = true;
        slot.buffer = bytes;
        return;
    }
    slot.pendingBlob = false;
    const auto length = static_cast<unsigned short>(bytes.size());
    slot.buffer.resize(2 + bytes.size());
    std::memcpy(slot.buffer.data(), &length, 2);
    std::memcpy(slot.buffer.data() + 2, bytes.data(), bytes.size());
    var.sqltype = static_cast<short>(SQL_VARYING | 1);
    var.sqlscale = 0;
    // Text keeps the character set the server described for a text parameter
    // (the connection's UTF-8); bytes travel as OCTETS and are never converted.
    // A small BLOB travels inline as a string, which the server turns into a
    // BLOB: through a server that saves the round trips of the BLOB calls.
    if (binary)
        var.sqlsubtype = 1;
    else if (IsTextType(type))
        var.sqlsubtype = described.sqlsubtype;
    else
        var.sqlsubtype = type == SQL_BLOB ? 4 : 0;
    var.sqllen = static_cast<short>(length);
}

bool CFbParamStatement::WritePendingBlobs()
{
    for (size_t i = 0; i < m_slots.size(); ++i)
    {
        SSlot& slot = m_slots[i];
        if (slot.array && slot.indicator >= 0)
        {
            ISC_QUAD id{};
            if (!WriteArray(m_status, CFbHandles::Database(m_connection), CFbHandles::Transaction(m_connection),
                            slot.arrayTable, slot.arrayColumn, *slot.array, id))

                return Fail();
            XSQLVAR& var = m_params.Var(static_cast<int>(i));
            slot.buffer.assign(reinterpret_cast<const char*>(&id), sizeof id);
            var.sqltype = static_cast<short>(SQL_ARRAY | 1);
            var.sqlsubtype = 0;
            var.sqlscale = 0;
            var.sqllen = sizeof id;
            continue;
        }
        if (!slot.pendingBlob || slot.indicator < 0)
            continue;
        XSQLVAR& var = m_params.Var(static_cast<int>(i));
        const XSQLVAR& described = m_described[i];
        ISC_QUAD id{};
        const std::string bpb = BlobBpb(static_cast<int>(i), slot.binary);
        if (!WriteBlob(m_status, CFbHandles::Database(m_connection), CFbHandles::Transaction(m_connection), slot.buffer,
                       id, bpb))

            return Fail();
        std::string idBytes(reinterpret_cast<const char*>(&id), sizeof id);
        slot.buffer.swap(idBytes);
        slot.pendingBlob = false;
        var.sqltype = static_cast<short>(SQL_BLOB | 1);
        var.sqlsubtype = described.sqlsubtype;
        var.sqlscale = 0;
        var.sqllen = sizeof id;
    }
    return true;
}

bool CFbParamStatement::Execute()
{
    m_sLastError.clear();
    m_eLastFault = EFbFault::None;
    if (!m_connection.EnsureTransaction())
    {
        m_sLastError = m_connection.LastErrorMessage();
        m_eLastFault = EFbFault::Table;
        return false;
    }
    if (!WritePendingBlobs())
        return false;
    if (m_connection.IsInProcess() && !m_slots.empty())
    {
        bool ran = false;
        const bool ok = ExecuteMessage(ran);
        if (ran)
            return ok;
    }
    // The descriptor path describes its own layout to the engine.
    m_bLayoutKnown = false;
    for (size_t i = 0; i < m_slots.size(); ++i)
    {
        XSQLVAR& var = m_params.Var(static_cast<int>(i));
        var.sqldata = m_slots[i].buffer.data();
        var.sqlind = &m_slots[i].indicator;
    }
    if (isc_dsql_execute(m_status, CFbHandles::Transaction(m_connection), &m_hStatement, Dialect,
                         m_slots.empty() ? nullptr : m_params.Get()) != 0)

        return Fail();
    return true;
}

std::vector<SParamFormat> CFbParamStatement::WantedFormats() const
{
    const std::vector<SParamFormat>& known = m_layout.Formats();
    std::vector<SParamFormat> formats(m_slots.size());
    for (size_t i = 0; i < m_slots.size(); ++i)
    {
        const bool hadFormat = i < known.size();
        if (m_slots[i].indicator < 0)
        {
            // A NULL fits whatever layout the parameter already has.
            formats[i] = hadFormat ? known[i] : SParamFormat{SQL_VARYING, 0, 0, 16};
            continue;
        }
        const XSQLVAR& var = m_params.Var(static_cast<int>(i));
        SParamFormat& format = formats[i];
        format.type = static_cast<short>(var.sqltype & ~1);
        format.scale = var.sqlscale;
        format.subType = var.sqlsubtype;
        const auto length = static_cast<unsigned short>(var.sqllen);
        if (format.type == SQL_VARYING)
        {
            const bool sameKind = hadFormat && known[i].type == SQL_VARYING && known[i].subType == format.subType;
            format.length = VaryingRoom(length, sameKind ? known[i].length : 0);
        }
        else
            format.length = length;
    }
    return formats;
}

void CFbParamStatement::FillMessage()
{
    m_message.resize(m_layout.Length());
    const std::vector<SParamFormat>& formats = m_layout.Formats();
    for (size_t i = 0; i < m_slots.size(); ++i)
    {
        const SSlot& slot = m_slots[i];
        const short indicator = slot.indicator < 0 ? -1 : 0;
        std::memcpy(m_message.data() + m_layout.NullOffset(i), &indicator, sizeof indicator);
        if (indicator < 0)
            continue;
        // A varying value's buffer is its length word and its bytes, which
        // fit the room of its layout; other values fill their layout exactly.
        const size_t room = formats[i].type == SQL_VARYING ? 2u + formats[i].length : formats[i].length;
        std::memcpy(m_message.data() + m_layout.Offset(i), slot.buffer.data(), std::min(room, slot.buffer.size()));
    }
}

bool CFbParamStatement::ExecuteMessage(bool& ran)
{
    ran = false;
    const std::vector<SParamFormat> formats = WantedFormats();
    const bool sameLayout = m_bLayoutKnown && formats == m_layout.Formats();
    if (!sameLayout)
    {
        m_bLayoutKnown = false;
        if (!m_layout.Build(formats))
            return false;
    }
    ran = true;
    FillMessage();
    // Without BLR the engine reads the message in the layout it was last given.
    const std::string& blr = m_layout.Blr();
    const auto blrLength = static_cast<unsigned short>(sameLayout ? 0 : blr.size());
    if (isc_dsql_execute2_m(m_status, CFbHandles::Transaction(m_connection), &m_hStatement, blrLength,
                            sameLayout ? nullptr : blr.data(), 0, static_cast<unsigned short>(m_message.size()),
                            m_message.data(), 0, nullptr, 0, 0, nullptr) != 0)
    {
        m_bLayoutKnown = false;
        return Fail();
    }
    m_bLayoutKnown = true;
    return true;
}
