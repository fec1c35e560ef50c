#include "db/ArrayIo.h"

#include "db/FbHandles.h"

#include <cstring>

namespace
{
// Element bytes in a slice: varying text carries its two-byte length.
size_t ElementBytes(const ISC_ARRAY_DESC& desc)
{
    return desc.array_desc_dtype == blr_varying || desc.array_desc_dtype == blr_varying2 ? desc.array_desc_length + 2u
                                                                                         : desc.array_desc_length;
}

size_t SliceBytes(const ISC_ARRAY_DESC& desc)
{
    size_t count = 1;
    for (int d = 0; d < desc.array_desc_dimensions && d < 16; ++d)
    {
        const auto& bound = desc.array_desc_bounds[d];
        count *= static_cast<size_t>(bound.array_bound_upper - bound.array_bound_lower + 1);
    }
    return count * ElementBytes(desc);
}

bool Names(ISC_ARRAY_DESC& desc, const std::string& table, const std::string& column)
{
    if (table.size() >= sizeof desc.array_desc_relation_name || column.size() >= sizeof desc.array_desc_field_name)
        return false;
    std::memset(desc.array_desc_relation_name, 0, sizeof desc.array_desc_relation_name);
    std::memset(desc.array_desc_field_name, 0, sizeof desc.array_desc_field_name);
    std::memcpy(desc.array_desc_relation_name, table.data(), table.size());
    std::memcpy(desc.array_desc_field_name, column.data(), column.size());
    return true;
}
} // namespace

bool ReadArray(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& table,
               const std::string& column, const ISC_QUAD& id, SArraySlice& slice)
{
    slice = SArraySlice{};
    if (isc_array_lookup_bounds(status, database, transaction, table.c_str(), column.c_str(), &slice.desc) != 0)
        return false;
    slice.data.assign(SliceBytes(slice.desc), '\0');
    ISC_LONG length = static_cast<ISC_LONG>(slice.data.size());
    ISC_QUAD arrayId = id;
    if (isc_array_get_slice(status, database, transaction, &arrayId, &slice.desc, slice.data.data(), &length) != 0)
        return false;
    if (length >= 0 && static_cast<size_t>(length) < slice.data.size())
        slice.data.resize(static_cast<size_t>(length));
    return true;
}

bool WriteArray(CFbStatus& status, isc_db_handle* database, isc_tr_handle* transaction, const std::string& table,
                const std::string& column, const SArraySlice& slice, ISC_QUAD& id)
{
    ISC_ARRAY_DESC desc = slice.desc;
    if (!Names(desc, table, column))
        return false;
    std::string data = slice.data;
    ISC_LONG length = static_cast<ISC_LONG>(data.size());
    id = ISC_QUAD{0, 0};
    return isc_array_put_slice(status, database, transaction, &id, &desc, data.data(), &length) == 0;
}

bool LookupArrayBounds(CFbStatus& status, CFbConnection& connection, const std::string& table,
                       const std::string& column, ISC_ARRAY_DESC& desc)
{
    return isc_array_lookup_bounds(status, CFbHandles::Database(connection), CFbHandles::Transaction(connection),
                                   table.c_str(), column.c_str(), &desc) == 0;
}
