#include "copy/write/RowSink.h"

#include "copy/write/CWriterLanes.h"

#include <algorithm>

namespace
{
bool HoldsWrittenBlob(const BoundRow& row)
{
    return std::any_of(row.begin(), row.end(), [](const SBoundValue& v) { return v.kind == SBoundValue::Blob; });
}
} // namespace

void CLanesSink::Add(BoundRow& row)
{
    if (!HoldsWrittenBlob(row))
    {
        m_lanes.Add(row);
        return;
    }
    m_lanes.Finish();
    m_inserter.Add(row);
}

void CLanesSink::AddFailed(const std::string& message, EFbFault fault)
{
    m_lanes.AddFailed(message, fault);
}

void CLanesSink::Finish()
{
    m_lanes.Finish();
    m_inserter.Finish();
}
