// A copy killed (SIGKILL, nothing runs after it) in the middle of tables that
// foreign keys join: every table keeps all its old rows, the next run says
// which tables the killed one had begun, and copies them whole.
#include "cli/InstalledProgram.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace
{
// PARENT and CHILD: a plain foreign key. CA and CB: keys in a cycle, one of
// which is set after both tables are filled.
const char* const Schema = R"(
CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(40));
CREATE TABLE CHILD (ID INTEGER NOT NULL PRIMARY KEY, P_ID INTEGER NOT NULL REFERENCES PARENT (ID), S VARCHAR(40));
CREATE TABLE CA (ID INTEGER NOT NULL PRIMARY KEY, B_ID INTEGER);
CREATE TABLE CB (ID INTEGER NOT NULL PRIMARY KEY, A_ID INTEGER NOT NULL REFERENCES CA (ID));
ALTER TABLE CA ADD CONSTRAINT FK_CA_B FOREIGN KEY (B_ID) REFERENCES CB (ID);
SET TERM ^ ;
CREATE TRIGGER CHILD_BI FOR CHILD BEFORE INSERT AS BEGIN NEW.S = 'by trigger'; END^
SET TERM ; ^
)";

constexpr int SourceRows = 60000;

const char* const SourceRowsDml = R"(SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN
  WHILE (I <= 60000) DO BEGIN
    INSERT INTO PARENT VALUES (:I, 'parent ' || :I);
    INSERT INTO CHILD VALUES (:I, :I, 'child ' || :I);
    INSERT INTO CA VALUES (:I, NULL);
    INSERT INTO CB VALUES (:I, :I);
    I = I + 1;
  END
  UPDATE CA SET B_ID = ID;
END^)";

const char* const OldRowsDml = R"(INSERT INTO PARENT VALUES (-1, 'old');
INSERT INTO CHILD VALUES (-1, -1, 'old');
INSERT INTO CA VALUES (-1, NULL);
INSERT INTO CB VALUES (-1, -1);
UPDATE CA SET B_ID = -1;)";

// What each table holds, read by isql-fb: rows, and sums over every key.
const char* const TableFingerprints[] = {
    "SET HEADING OFF; SELECT 'P', COUNT(*), SUM(ID) FROM PARENT;",
    "SET HEADING OFF; SELECT 'C', COUNT(*), SUM(ID), SUM(P_ID) FROM CHILD;",
    "SET HEADING OFF; SELECT 'A', COUNT(*), SUM(ID), SUM(B_ID), COUNT(B_ID) FROM CA;",
    "SET HEADING OFF; SELECT 'B', COUNT(*), SUM(ID), SUM(A_ID) FROM CB;",
};
const char* const TriggerState =
    "SET HEADING OFF; SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'CHILD_BI';";

// Output of isql-fb for a script, whitespace folded to single spaces.
std::string Isql(const CTempDatabase& database, const std::string& script)
{
    const CTempFolder folder;
    const std::string input = folder.File("in.sql");
    std::ofstream(input) << script << "\n";
    const std::string command = "isql-fb -q -user " + std::string(TestUser) + " -password " + TestPassword + " -i " +
                                input + " '" + database.Name() + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        std::array<char, 4096> buffer{};
        size_t read = 0;
        while ((read = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), read);
        pclose(pipe);
    }
    std::string folded;
    for (char c : output)
    {
        const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r';
        if (space && (folded.empty() || folded.back() == ' '))
            continue;
        folded += space ? ' ' : c;
    }
    while (!folded.empty() && folded.back() == ' ')
        folded.pop_back();
    return folded;
}

struct SKillPoint
{
    const char* name;
    // What the SQL log of the run shows when the program is killed.
    const char* logged;
};

const SKillPoint KillPoints[] = {
    {"while the parent's rows go in", "INSERT INTO PARENT "},
    {"while the child's rows go in", "INSERT INTO CHILD "},
    {"while the cycle's deferred keys are set", "WHERE ID="},
};

// The SQL log of the run whose folder is next to the source, or "".
std::string SqlLog(const CTempDatabase& source)
{
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& folder : fs::directory_iterator(source.Folder().Path(), error))
    {
        if (!folder.is_directory())
            continue;
        for (const auto& file : fs::directory_iterator(folder.path(), error))
        {
            const std::string path = file.path().string();
            if (path.size() > 8 && path.compare(path.size() - 8, 8, "_sql.txt") == 0)
                return ReadWholeFile(path);
        }
    }
    return {};
}

bool WaitForLogged(const CTempDatabase& source, const std::string& text)
{
    for (int tenth = 0; tenth < 1200; ++tenth)
    {
        if (Contains(SqlLog(source), text))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

class KilledGroupCommandLine : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
};
} // namespace

TEST_P(KilledGroupCommandLine, EveryTableKeepsItsOldRowsAndTheNextRunNamesAndCopiesThem)
{
    for (const SKillPoint& point : KillPoints)
    {
        SCOPED_TRACE(point.name);
        CInstalledProgram program;
        CTempDatabase source(Schema, CTempDatabase::SOptions{"UTF8", GetParam(), "source.fdb"});
        CTempDatabase dest(Schema, CTempDatabase::SOptions{"UTF8", GetParam(), "dest.fdb"});
        source.Run(SourceRowsDml);
        dest.Run(OldRowsDml);
        std::vector<std::string> old;
        std::vector<std::string> fresh;
        for (const char* fingerprint : TableFingerprints)
        {
            old.push_back(Isql(dest, fingerprint));
            fresh.push_back(Isql(source, fingerprint));
        }
        ASSERT_EQ(old[0], "P 1 -1");

        const pid_t child = program.Start(CopyArguments(source, dest));
        ASSERT_TRUE(WaitForLogged(source, point.logged)) << program.ErrorSoFar();
        kill(child, SIGKILL);
        ASSERT_EQ(program.Wait(child).signal, SIGKILL);

        // Each table holds its old rows or the new ones, whole; the group the
        // kill came into, its old ones.
        for (size_t i = 0; i < old.size(); ++i)
        {
            const std::string left = Isql(dest, TableFingerprints[i]);
            EXPECT_TRUE(left == old[i] || left == fresh[i]) << left;
        }
        const bool inCycle = std::string(point.logged).find("WHERE") != std::string::npos;
        for (size_t i : inCycle ? std::vector<size_t>{2, 3} : std::vector<size_t>{0, 1})
            EXPECT_EQ(Isql(dest, TableFingerprints[i]), old[i]);

        // The check names what the killed run had begun.
        std::vector<std::string> checkArguments{"--check"};
        for (const std::string& argument : CopyArguments(source, dest))
            checkArguments.push_back(argument);
        const SRunResult checked = program.Run(checkArguments);
        EXPECT_TRUE(Contains(checked.out + checked.err, "A copy into this database ended before it finished this "
                                                         "table"))
            << checked.out << checked.err;

        // The next run says so, and copies everything again.
        const SRunResult next = program.Run(CopyArguments(source, dest));
        EXPECT_EQ(next.exitCode, 0) << next.err;
        EXPECT_TRUE(Contains(next.err, "A copy into this database ended before it finished these tables"))
            << next.err;
        for (size_t i = 0; i < fresh.size(); ++i)
            EXPECT_EQ(Isql(dest, TableFingerprints[i]), fresh[i]);
        EXPECT_EQ(Isql(dest, TriggerState), "0");
        // Nothing is left for a later run to report.
        EXPECT_FALSE(Contains(ReadWholeFile(program.ConfigFolder() + "FailedTables.txt.unfinished"), "PARENT"));
    }
}

TEST_P(KilledGroupCommandLine, ARetryAfterAKillCopiesTheTablesTheKilledRunHadBegun)
{
    CInstalledProgram program;
    CTempDatabase source(Schema, CTempDatabase::SOptions{"UTF8", GetParam(), "source.fdb"});
    CTempDatabase dest(Schema, CTempDatabase::SOptions{"UTF8", GetParam(), "dest.fdb"});
    source.Run(SourceRowsDml);
    dest.Run(OldRowsDml);
    std::vector<std::string> arguments{"--tables", "PARENT,CHILD"};
    for (const std::string& argument : CopyArguments(source, dest))
        arguments.push_back(argument);
    const pid_t child = program.Start(arguments);
    ASSERT_TRUE(WaitForLogged(source, "INSERT INTO CHILD ")) << program.ErrorSoFar();
    kill(child, SIGKILL);
    ASSERT_EQ(program.Wait(child).signal, SIGKILL);

    std::vector<std::string> retry{"--retry-failed"};
    for (const std::string& argument : CopyArguments(source, dest))
        retry.push_back(argument);
    const SRunResult retried = program.Run(retry);
    EXPECT_EQ(retried.exitCode, 0) << retried.err;
    EXPECT_TRUE(Contains(retried.err, "PARENT, CHILD")) << retried.err;
    EXPECT_EQ(Isql(dest, "SET HEADING OFF; SELECT COUNT(*), SUM(P_ID) FROM CHILD; SELECT COUNT(*) FROM CA;"),
              std::to_string(SourceRows) + " " + std::to_string(1800030000LL) + " 1");
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, KilledGroupCommandLine, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
