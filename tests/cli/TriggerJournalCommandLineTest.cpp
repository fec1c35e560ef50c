// A copy killed between switching a table's triggers off and on again: the
// next run finds them in the journal and switches them on.
#include "cli/InstalledProgram.h"
#include "core/FileHelpers.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace
{
const char* const Schema = R"(CREATE TABLE BIG (ID INTEGER NOT NULL, S VARCHAR(40));
                              SET TERM ^ ;
                              CREATE TRIGGER BIG_BI FOR BIG BEFORE INSERT AS BEGIN NEW.S = 'by trigger'; END^
                              SET TERM ; ^)";

std::string TriggerInactive(const CTempDatabase& db)
{
    return db.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'BIG_BI'");
}
} // namespace

TEST(TriggerJournalCommandLine, TriggersLeftOffByAKilledRunAreSwitchedOnAtTheNextRun)
{
    // Both databases go through the server, so this test can watch the
    // destination while the program copies.
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    CTempDatabase source(Schema, CTempDatabase::SOptions{"UTF8", true, "source.fdb"});
    CTempDatabase dest(Schema, CTempDatabase::SOptions{"UTF8", true, "dest.fdb"});
    source.Run("SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 400000) DO BEGIN"
               " INSERT INTO BIG VALUES (:I, 'row ' || :I); I = I + 1; END END^");
    const std::vector<std::string> arguments{source.Name(), TestUser, TestPassword, dest.Name(), TestUser, TestPassword};
    const std::string journal = program.ConfigFolder() + "TriggerJournal.txt";

    const pid_t child = program.Start(arguments);
    bool switchedOff = false;
    for (int tenth = 0; tenth < 600 && !switchedOff; ++tenth)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        switchedOff = FileExists(journal) && TriggerInactive(dest) == "1";
    }
    ASSERT_TRUE(switchedOff) << "the copy never switched the trigger off";
    kill(child, SIGKILL);
    program.Wait(child);
    ASSERT_EQ(TriggerInactive(dest), "1"); // left off by the killed run
    EXPECT_NE(ReadWholeFile(journal).find("BIG\tBIG_BI"), std::string::npos);

    // A check says so, and changes nothing.
    std::vector<std::string> check{"--check"};
    check.insert(check.end(), arguments.begin(), arguments.end());
    const SRunResult checked = program.Run(check);
    EXPECT_NE(checked.err.find("The triggers of table BIG were left inactive by an interrupted copy (BIG_BI)"),
              std::string::npos)
        << checked.err;
    EXPECT_EQ(TriggerInactive(dest), "1");

    const SRunResult again = program.Run(arguments);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.err.find("left inactive by an interrupted copy; they are active again"), std::string::npos)
        << again.err;
    EXPECT_EQ(TriggerInactive(dest), "0");
    EXPECT_FALSE(FileExists(journal)) << ReadWholeFile(journal);
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM BIG"), "400000");
}
