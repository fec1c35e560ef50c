#include "db/AttachProbe.h"

#include "db/CFbConnection.h"
#include "db/FbStatus.h"

#include <ibase.h>

EAttachProbe ProbeAttach(const std::string& database, const std::string& user, const std::string& password)
{
    const std::string dpb = CFbConnection::BuildDpb(user, password);
    CFbStatus status;
    isc_db_handle handle = 0;
    if (isc_attach_database(status, static_cast<short>(database.size()), database.c_str(), &handle,
                            static_cast<short>(dpb.size()), dpb.data()) == 0)
    {
        CFbStatus detach;
        isc_detach_database(detach, &handle);
        return EAttachProbe::Attached;
    }
    // The remote layer reports a refused or unreachable server as a network
    // error before anything else; a server that answered and refused the
    // database reports the database's own error instead.
    const ISC_STATUS* vector = status.Vector();
    return vector[1] == isc_network_error ? EAttachProbe::NoServer : EAttachProbe::Failed;
}
