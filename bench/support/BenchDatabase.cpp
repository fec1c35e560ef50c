#include "support/BenchDatabase.h"

#include "db/CFbConnection.h"

#include <cstdio>
#include <ibase.h>

namespace bench
{
const char* const User = "SYSDBA";
const char* const Password = "velvetoak";

bool CreateDatabase(const std::string& name, isc_db_handle* attached)
{
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    const std::string sql = "CREATE DATABASE '" + name + "' USER '" + User + "' PASSWORD '" + Password +
                            "' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8";
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr) != 0)
    {
        isc_print_status(status);
        return false;
    }
    if (attached)
        *attached = db;
    else
        isc_detach_database(status, &db);
    return true;
}

bool Run(const std::string& database, const std::string& sql)
{
    CFbConnection connection(1);
    if (!connection.Connect(User, Password, database))
    {
        std::fprintf(stderr, "attach %s: %s\n", database.c_str(), connection.LastErrorMessage().c_str());
        return false;
    }
    int failure = 0;
    connection.Execute(sql, failure);
    if (failure != 0)
        std::fprintf(stderr, "%s\n%s\n", sql.c_str(), connection.LastErrorMessage().c_str());
    return failure == 0 && connection.Disconnect();
}
} // namespace bench
