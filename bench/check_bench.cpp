// Check benchmark: the check of a copy between two databases of many small
// tables (a redesign: a column dropped, one added, one narrowed, keys,
// triggers and generators), embedded and through the loopback server.
//
//   check_bench [tables] [--rows n] [--server host/port]
#include "copy/check/CopyCheck.h"

#include "support/BenchDatabase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ibase.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using bench::Password;
using bench::User;

bool Run(isc_db_handle& db, const std::string& sql)
{
    ISC_STATUS_ARRAY status;
    isc_tr_handle tr = 0;
    if (isc_start_transaction(status, &tr, 1, &db, 0, nullptr) != 0 ||
        isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr) != 0 ||
        isc_commit_transaction(status, &tr) != 0)
    {
        isc_print_status(status);
        return false;
    }
    return true;
}

bool Create(const std::string& name, int tables, int rows, bool redesigned)
{
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    if (!bench::CreateDatabase(name, &db))
        return false;
    bool ok = Run(db, "CREATE TABLE MAIN (ID INTEGER NOT NULL PRIMARY KEY)");
    for (int i = 0; ok && i < tables; ++i)
    {
        const std::string t = "T" + std::to_string(i);
        const std::string columns = redesigned
                                        ? "ID INTEGER NOT NULL PRIMARY KEY, MAIN_ID INTEGER REFERENCES MAIN (ID),"
                                          " NAME VARCHAR(30), AMOUNT NUMERIC(15,2), CREATED TIMESTAMP DEFAULT"
                                          " CURRENT_TIMESTAMP"
                                        : "ID INTEGER NOT NULL PRIMARY KEY, MAIN_ID INTEGER, NAME VARCHAR(40),"
                                          " AMOUNT NUMERIC(15,4), OLD_CODE VARCHAR(10)";
        ok = Run(db, "CREATE TABLE " + t + " (" + columns + ")") && Run(db, "CREATE GENERATOR GEN_" + t) &&
             Run(db, "CREATE TRIGGER " + t + "_BI FOR " + t +
                         " BEFORE INSERT AS BEGIN IF (NEW.ID IS NULL) THEN"
                         " NEW.ID = GEN_ID(GEN_" +
                         t + ", 1); END");
        if (ok && !redesigned)
            ok = Run(db, "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(rows) +
                             ") DO BEGIN INSERT INTO " + t +
                             " (MAIN_ID, NAME, AMOUNT, OLD_CODE) VALUES (:I, 'name ' ||"
                             " :I, :I / 3.0, 'c' || :I); I = I + 1; END END");
    }
    isc_detach_database(status, &db);
    return ok;
}

void Measure(const char* label, const std::string& source, const std::string& dest, int tables)
{
    SRunSettings settings;
    settings.source = {source, User, Password};
    settings.dest = {dest, User, Password};
    std::vector<std::string> names{"MAIN"};
    for (int i = 0; i < tables; ++i)
        names.push_back("T" + std::to_string(i));
    const auto start = std::chrono::steady_clock::now();
    const SCheckReport report = CheckCopy(settings, names);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t findings = 0;
    for (const STableCheck& table : report.tables)
        findings += table.findings.size();
    std::printf("  %-18s %s: %zu tables checked in %.2f s (%.1f ms a table), %zu findings, %d will fail\n", label,
                report.checked ? "ok" : report.error.c_str(), report.tables.size(), seconds,
                1000 * seconds / static_cast<double>(report.tables.size() ? report.tables.size() : 1), findings,
                report.Count(ECheckSeverity::Fails));
}
} // namespace

int main(int argc, char** argv)
{
    int tables = 300;
    int rows = 20;
    std::string server = "localhost/3057";
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--server" && i + 1 < argc)
            server = argv[++i];
        else if (arg == "--rows" && i + 1 < argc)
            rows = std::atoi(argv[++i]);
        else
            tables = std::atoi(arg.c_str());
    }
    char pattern[] = "/tmp/rowmover-check-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string source = std::string(pattern) + "/old.fdb";
    const std::string dest = std::string(pattern) + "/new.fdb";
    std::printf("Check of a copy of %d tables of %d rows\n", tables, rows);
    if (Create(source, tables, rows, false) && Create(dest, tables, rows, true))
    {
        Measure("embedded", source, dest, tables);
        Measure("loopback server", server + ":" + source, server + ":" + dest, tables);
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return 0;
}
