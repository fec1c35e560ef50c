#pragma once

#include <string>
#include <vector>

// Where tests reach the loopback Firebird server that ./test starts.
struct STestServer
{
    bool available = false;
    bool required = false;
    std::string prefix; // "localhost/3057:" or empty
    std::string reason;
};
const STestServer& TestServer();

// Use at the top of a test that needs the loopback server: the test fails
// when the server was promised (./test) and is not there, and is skipped
// with a clear message when it was not promised.
#define REQUIRE_TEST_SERVER()                                                                                          \
    do                                                                                                                 \
    {                                                                                                                  \
        const STestServer& server_ = TestServer();                                                                     \
        if (!server_.available)                                                                                        \
        {                                                                                                              \
            if (server_.required)                                                                                      \
                FAIL() << "the test Firebird server is not reachable: " << server_.reason;                            \
            GTEST_SKIP() << "no test Firebird server (run ./test, or scripts/firebird-server start and set "          \
                            "ROWMOVER_TEST_SERVER): "                                                                  \
                         << server_.reason;                                                                            \
        }                                                                                                              \
    } while (false)

// A private temporary folder, removed with everything in it.
class CTempFolder
{
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder's path, ending with "/".
    const std::string& Path() const { return m_sPath; }
    std::string File(const std::string& name) const { return m_sPath + name; }

private:
    std::string m_sPath;
};

// A temporary Firebird database made from DDL text, removed by the destructor.
// Scripts are split into statements like isql does (";" or the terminator of
// a "SET TERM" line); every statement is committed.
class CTempDatabase
{
public:
    struct SOptions
    {
        std::string characterSet = "UTF8";
        bool viaServer = false;
        std::string fileName = "test.fdb";
        // 1 makes an old-style database; its scripts then run in dialect 1.
        unsigned short dialect = 3;
    };

    explicit CTempDatabase(const std::string& ddl = {});
    CTempDatabase(const std::string& ddl, const SOptions& options);
    virtual ~CTempDatabase();
    CTempDatabase(const CTempDatabase&) = delete;
    CTempDatabase& operator=(const CTempDatabase&) = delete;

    // The file on disk.
    const std::string& Path() const { return m_sPath; }
    // The name a connection uses: the file, or server prefix and file.
    std::string Name() const { return m_sServerPrefix + m_sPath; }
    const CTempFolder& Folder() const { return m_folder; }

    // Runs a script; throws std::runtime_error with the server's message.
    void Run(const std::string& script) const;
    // Rows of a query, each value as text (NULL as "<null>").
    std::vector<std::vector<std::string>> Query(const std::string& sql) const;
    // The single value of a one-row, one-column query.
    std::string Scalar(const std::string& sql) const;

protected:
    // Called after every script a test runs on the database (not during
    // construction).
    virtual void ScriptRan() const {}

private:
    CTempFolder m_folder;
    std::string m_sPath;
    std::string m_sServerPrefix;
    unsigned short m_nDialect = 3;
};

// Splits a script into statements, honouring SET TERM and quoted text.
std::vector<std::string> SplitSqlScript(const std::string& script);

// The user and password the tests attach with.
extern const char* const TestUser;
extern const char* const TestPassword;
