#pragma once

#include "db/FbFault.h"

#include <ibase.h>
#include <string>

namespace Firebird
{
class IStatus;
}

// The status vector shared by client-library calls, with the server's own
// message for the last failure.
class CFbStatus
{
  public:
    CFbStatus() { Reset(); }

    ISC_STATUS* Vector() { return m_aStatus; }
    operator ISC_STATUS*() { return m_aStatus; }

    bool Failed() const { return m_aStatus[0] == 1 && m_aStatus[1] != 0; }
    void Reset();
    // The messages of the vector joined by line breaks (fb_interpret).
    std::string Message() const;
    // Whose fault the last failure is (ClassifyFault).
    EFbFault Fault() const { return ClassifyFault(m_aStatus); }

  private:
    ISC_STATUS_ARRAY m_aStatus;
};

// The messages of an object-interface status joined by line breaks, as
// CFbStatus::Message words them; empty when it holds no error.
std::string StatusMessage(Firebird::IStatus* status);
