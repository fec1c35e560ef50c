#include "copy/run/TableOutcome.h"

const char* TableStatusName(ETableStatus status)
{
    switch (status)
    {
    case ETableStatus::Copied: return "copied";
    case ETableStatus::EmptySource: return "empty_source";
    case ETableStatus::Failed: return "failed";
    case ETableStatus::Skipped: return "skipped";
    case ETableStatus::Stopped: return "stopped";
    }
    return "failed";
}
