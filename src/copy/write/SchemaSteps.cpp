// Identity columns, whose sequence must follow the copied keys.
#include "copy/write/TableSteps.h"

#include "copy/logs/CRunLogs.h"

#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <cstdlib>

bool SetIdentities(CFbConnection& connection, const std::string& table, const std::vector<SColumnInfo>& destInfo,
                   const std::map<std::string, std::string>& sourceIdentities, CRunLogs& logs)
{
    bool ok = true;
    for (const SColumnInfo& column : destInfo)
    {
        if (column.identitySequence.empty() || column.computed)
            continue;
        // The next key follows both the source's sequence and every copied key.
        bool known = false;
        long long restart = 0;
        const auto source = sourceIdentities.find(column.name);
        if (source != sourceIdentities.end())
        {
            restart = std::strtoll(source->second.c_str(), nullptr, 10);
            known = true;
        }
        CStringGrid maximum;
        int failure = 0;
        connection.Execute("SELECT MAX(" + SqlIdentifier(column.name) + ") FROM " + SqlIdentifier(table), failure,
                           &maximum);
        if (failure == 0 && maximum.RowCount() == 1 && !maximum.IsCellNull(0, 0))
        {
            const long long copied = std::strtoll(maximum.GetCell(0, 0).c_str(), nullptr, 10);
            restart = known ? std::max(restart, copied) : copied;
            known = true;
        }
        if (!known)
            continue;
        const std::string sql = "ALTER TABLE " + SqlIdentifier(table) + " ALTER COLUMN " + SqlIdentifier(column.name) +
                                " RESTART WITH " + std::to_string(restart) + ";";
        connection.Execute(sql, failure);
        logs.WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            logs.WriteSqlFailure(connection.LastErrorMessage());
            logs.WriteLog("ERROR: Failed to set IDENTITY!\r\n", logs.TablePrefix());
        }
    }
    return ok;
}

std::map<std::string, std::string> ReadIdentities(CFbConnection& connection, const std::vector<SColumnInfo>& info)
{
    std::map<std::string, std::string> values;
    for (const SColumnInfo& column : info)
    {
        std::string value;
        if (!column.identitySequence.empty() && GetSequenceValue(connection, column.identitySequence, value))
            values[column.name] = value;
    }
    return values;
}
