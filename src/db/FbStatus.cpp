#include "db/FbStatus.h"

void CFbStatus::Reset()
{
    for (auto& entry : m_aStatus)
        entry = 0;
}

std::string CFbStatus::Message() const
{
    std::string message;
    const ISC_STATUS* cursor = m_aStatus;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
    {
        if (!message.empty())
            message += "\n";
        message += buffer;
    }
    return message;
}
