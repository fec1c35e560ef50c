#include "support/CTempDatabase.h"

#include "db/CFbConnection.h"
#include "db/FbStatus.h"
#include "db/FileNameLocale.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ibase.h>
#include <stdexcept>

const char* const TestUser = "SYSDBA";
const char* const TestPassword = "velvetoak";

namespace
{
// A test process starts as the program does, so that temporary databases
// may have names beyond ASCII.
[[maybe_unused]] const bool g_bUtf8FileNames = UseUtf8FileNames();

std::string Upper(std::string text)
{
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void Check(CFbStatus& status, ISC_STATUS rc, const std::string& what)
{
    if (rc != 0)
        throw std::runtime_error(what + ": " + status.Message());
}

STestServer ProbeServer()
{
    STestServer server;
    const char* address = std::getenv("ROWMOVER_TEST_SERVER");
    const char* required = std::getenv("ROWMOVER_TEST_SERVER_REQUIRED");
    server.required = required && std::string(required) == "1";
    if (!address || !*address)
    {
        server.reason = "ROWMOVER_TEST_SERVER is not set";
        return server;
    }
    server.prefix = std::string(address) + ":";
    try
    {
        CTempDatabase probe("", CTempDatabase::SOptions{"UTF8", false, "probe.fdb"});
        CFbConnection connection(1);
        if (connection.Connect(TestUser, TestPassword, server.prefix + probe.Path()))
            server.available = true;
        else
            server.reason = "cannot attach through " + std::string(address) + ": " + connection.LastErrorMessage();
    }
    catch (const std::exception& error)
    {
        server.reason = error.what();
    }
    return server;
}
} // namespace

const STestServer& TestServer()
{
    static const STestServer server = ProbeServer();
    return server;
}

CTempFolder::CTempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/rowmover-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_sPath = pattern + "/";
}

CTempFolder::~CTempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_sPath, ignored);
}

CTempDatabase::CTempDatabase(const std::string& ddl) : CTempDatabase(ddl, SOptions{}) {}

CTempDatabase::CTempDatabase(const std::string& ddl, const SOptions& options)
    : m_sPath(m_folder.File(options.fileName)), m_nDialect(options.dialect)
{
    if (options.viaServer)
    {
        const STestServer& server = TestServer();
        if (!server.available)
            throw std::runtime_error("the test server is not available: " + server.reason);
        m_sServerPrefix = server.prefix;
    }
    CFbStatus status;
    isc_db_handle database = 0;
    isc_tr_handle transaction = 0;
    const std::string create = "CREATE DATABASE '" + Name() + "' USER '" + TestUser + "' PASSWORD '" + TestPassword +
                               "' PAGE_SIZE 8192 DEFAULT CHARACTER SET " + options.characterSet;
    Check(status, isc_dsql_execute_immediate(status, &database, &transaction, 0, create.c_str(), m_nDialect, nullptr),
          "CREATE DATABASE");
    isc_detach_database(status, &database);
    if (!ddl.empty())
        Run(ddl);
}

CTempDatabase::~CTempDatabase() = default;

void CTempDatabase::Run(const std::string& script) const
{
    CFbStatus status;
    isc_db_handle database = 0;
    const std::string dpb = CFbConnection::BuildDpb(TestUser, TestPassword);
    const std::string name = Name();
    Check(status,
          isc_attach_database(status, static_cast<short>(name.size()), name.c_str(), &database,
                              static_cast<short>(dpb.size()), dpb.data()),
          "attach " + name);
    std::string failure;
    for (const std::string& statement : SplitSqlScript(script))
    {
        isc_tr_handle transaction = 0;
        if (isc_start_transaction(status, &transaction, 1, &database, 0, nullptr) != 0)
        {
            failure = "start transaction: " + status.Message();
            break;
        }
        if (isc_dsql_execute_immediate(status, &database, &transaction, 0, statement.c_str(), m_nDialect, nullptr) != 0)
        {
            failure = statement + "\n" + status.Message();
            CFbStatus ignored;
            isc_rollback_transaction(ignored, &transaction);
            break;
        }
        if (isc_commit_transaction(status, &transaction) != 0)
        {
            failure = "commit after " + statement + ": " + status.Message();
            break;
        }
    }
    CFbStatus ignored;
    isc_detach_database(ignored, &database);
    if (!failure.empty())
        throw std::runtime_error(failure);
    ScriptRan();
}

std::vector<std::vector<std::string>> CTempDatabase::Query(const std::string& sql) const
{
    CFbConnection connection(1);
    if (!connection.Connect(TestUser, TestPassword, Name()))
        throw std::runtime_error("attach " + Name() + ": " + connection.LastErrorMessage());
    CStringGrid rows;
    int failure = 0;
    connection.Execute(sql, failure, &rows, nullptr, EValueForm::Exact);
    if (failure != 0)
        throw std::runtime_error(sql + "\n" + connection.LastErrorMessage());
    std::vector<std::vector<std::string>> result;
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        std::vector<std::string> row;
        for (int c = 0; c < rows.ColumnCount(); ++c)
            row.push_back(rows.IsCellNull(c, r) ? "<null>" : rows.GetCell(c, r));
        result.push_back(std::move(row));
    }
    return result;
}

std::string CTempDatabase::Scalar(const std::string& sql) const
{
    const auto rows = Query(sql);
    if (rows.size() != 1 || rows[0].size() != 1)
        throw std::runtime_error("not a single value: " + sql);
    return rows[0][0];
}

std::vector<std::string> SplitSqlScript(const std::string& script)
{
    std::vector<std::string> statements;
    std::string terminator = ";";
    std::string current;
    char quote = 0;
    for (size_t i = 0; i < script.size(); ++i)
    {
        const char c = script[i];
        if (quote)
        {
            current += c;
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"')
        {
            quote = c;
            current += c;
            continue;
        }
        if (c == '-' && i + 1 < script.size() && script[i + 1] == '-')
        {
            while (i < script.size() && script[i] != '\n')
                ++i;
            current += '\n';
            continue;
        }
        if (script.compare(i, terminator.size(), terminator) == 0)
        {
            const std::string statement = Trim(current);
            current.clear();
            i += terminator.size() - 1;
            const std::string upper = Upper(statement);
            if (upper.rfind("SET TERM ", 0) == 0)
                terminator = Trim(statement.substr(9));
            else if (!statement.empty() && upper != "COMMIT")
                statements.push_back(statement);
            continue;
        }
        current += c;
    }
    const std::string rest = Trim(current);
    if (!rest.empty())
        statements.push_back(rest);
    return statements;
}
