#include "db/FbStatus.h"

#include <firebird/Interface.h>

void CFbStatus::Reset()
{
    for (auto& entry : m_aStatus)
        entry = 0;
}

namespace
{
std::string Interpret(const ISC_STATUS* vector)
{
    std::string message;
    const ISC_STATUS* cursor = vector;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
    {
        if (!message.empty())
            message += "\n";
        message += buffer;
    }
    return message;
}
} // namespace

std::string CFbStatus::Message() const
{
    return Interpret(m_aStatus);
}

std::string StatusMessage(Firebird::IStatus* status)
{
    if (!(status->getState() & Firebird::IStatus::STATE_ERRORS))
        return {};
    return Interpret(status->getErrors());
}
