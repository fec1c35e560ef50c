#include "app/DatabaseCheck.h"

#include "cli/EmbeddedFallback.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"

namespace
{
// Attaches one side and reads its identity; a local server name without
// a server becomes its file once.
bool AttachSide(SDatabaseCheck& check, SDatabaseCheck::SSide& side, std::string& identity)
{
    const std::u16string& user = side.user.empty() ? check.defaultUser : side.user;
    const std::u16string& password = side.password.empty() ? check.defaultPassword : side.password;
    for (;;)
    {
        CFbConnection connection(check.retries);
        if (connection.Connect(WideToUtf8(user), WideToUtf8(password), WideToUtf8(side.database)))
        {
            ReadDatabaseIdentity(connection, identity);
            connection.Disconnect();
            side.attached = true;
            return true;
        }
        const std::u16string file =
            side.openedDirectly ? std::u16string() : EmbeddedFallbackName(side.database, user, password);
        if (file.empty())
        {
            side.failed = true;
            check.attachError = connection.LastErrorMessage();
            return false;
        }
        side.database = file;
        side.openedDirectly = true;
    }
}
} // namespace

void RunDatabaseCheck(SDatabaseCheck& check)
{
    check.result = 0;
    check.attachError.clear();
    check.rows.clear();
    std::string sourceIdentity;
    std::string destIdentity;
    if (check.source.check && !AttachSide(check, check.source, sourceIdentity))
    {
        check.result = 1;
        return;
    }
    if (check.dest.check && !AttachSide(check, check.dest, destIdentity))
    {
        check.result = 2;
        return;
    }
    // Names say little: a link, "localhost:" or a second alias reach the
    // same file. What the engine opened decides.
    if (check.source.check && check.dest.check && !sourceIdentity.empty() && sourceIdentity == destIdentity)
    {
        check.result = 3;
        return;
    }
    if (!check.listTables)
        return;
    const auto login = [&](const SDatabaseCheck::SSide& side) {
        return SDatabaseLogin{WideToUtf8(side.database), WideToUtf8(side.user.empty() ? check.defaultUser : side.user),
                              WideToUtf8(side.password.empty() ? check.defaultPassword : side.password)};
    };
    BuildTableList(check.retries, login(check.source), login(check.dest), check.rows);
    SortTableList(check.rows);
}
