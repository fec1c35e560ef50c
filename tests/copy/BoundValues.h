#pragma once

#include "copy/write/CBatchInserter.h"

#include <string>

// A value bound as text, as the source row reader binds converted text.
inline SBoundValue TextValue(const std::string& text)
{
    SBoundValue value;
    value.kind = SBoundValue::Bytes;
    value.bytes = text;
    return value;
}
