// Metadata benchmark: the table-list refresh of a database with many tables,
// generators and triggers, through the loopback server and embedded.
//
//   metadata_bench [tables] [--server host/port]
#include "copy/plan/CTableList.h"
#include "db/CFbConnection.h"

#include "support/BenchDatabase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ibase.h>
#include <string>
#include <unistd.h>

namespace
{
using bench::Password;
using bench::User;

bool Create(const std::string& name, int tables)
{
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    if (!bench::CreateDatabase(name, &db))
        return false;
    // Each table gets a generator, a trigger that uses it and one that does not.
    for (int i = 0; i < tables; ++i)
    {
        const std::string n = std::to_string(i);
        for (const std::string& sql :
             {"CREATE TABLE T" + n + " (ID INTEGER NOT NULL, NAME VARCHAR(40))", "CREATE GENERATOR GEN_T" + n,
              "CREATE TRIGGER T" + n + "_BI FOR T" + n + " BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_T" + n +
                  ", 1); END",
              "CREATE TRIGGER T" + n + "_AU FOR T" + n + " AFTER UPDATE AS BEGIN END"})
        {
            isc_tr_handle tr = 0;
            if (isc_start_transaction(status, &tr, 1, &db, 0, nullptr) != 0 ||
                isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr) != 0 ||
                isc_commit_transaction(status, &tr) != 0)
            {
                isc_print_status(status);
                return false;
            }
        }
    }
    isc_detach_database(status, &db);
    return true;
}

void Measure(const char* label, const std::string& database, int tables)
{
    const SDatabaseLogin login{database, User, Password};
    std::vector<STableListRow> rows;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = BuildTableList(1, login, login, rows);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-18s %s: %zu tables listed in %.3f s (%d tables, %d generators, %d triggers)\n", label,
                ok ? "ok" : "FAILED", rows.size(), seconds, tables, tables, 2 * tables);
    if (!rows.empty())
        std::printf("  %-18s first row: %s |%s\n", "", rows.front().name.c_str(), rows.front().triggers.c_str());
}
} // namespace

int main(int argc, char** argv)
{
    int tables = 300;
    std::string server = "localhost/3057";
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--server" && i + 1 < argc)
            server = argv[++i];
        else
            tables = std::atoi(arg.c_str());
    }
    char pattern[] = "/tmp/rowmover-metadata-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string file = std::string(pattern) + "/metadata.fdb";
    std::printf("Table-list refresh\n");
    if (Create(file, tables))
    {
        Measure("embedded", file, tables);
        Measure("loopback server", server + ":" + file, tables);
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return 0;
}
