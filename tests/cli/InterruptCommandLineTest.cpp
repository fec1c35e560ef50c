// Interrupting an unattended copy, a second copy into the same destination,
// and one database under two names: nothing may cost data.
#include "cli/InstalledProgram.h"
#include "cli/ReportSchema.h"
#include "core/CStringGrid.h"
#include "db/CFbConnection.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace
{
const char* const Schema = R"(CREATE TABLE BIG (ID INTEGER NOT NULL, S VARCHAR(40));
                              CREATE TABLE SMALL (ID INTEGER);
                              SET TERM ^ ;
                              CREATE TRIGGER BIG_BI FOR BIG BEFORE INSERT AS BEGIN NEW.S = 'by trigger'; END^
                              SET TERM ; ^)";

struct SDatabases
{
    SDatabases(bool viaServer)
        : source(Schema, CTempDatabase::SOptions{"UTF8", viaServer, "source.fdb"}),
          dest(Schema, CTempDatabase::SOptions{"UTF8", viaServer, "dest.fdb"})
    {
        source.Run("INSERT INTO SMALL VALUES (1); SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0;"
                   " BEGIN WHILE (I < 300000) DO BEGIN INSERT INTO BIG VALUES (:I, 'row ' || :I); I = I + 1; END END^");
        dest.Run("INSERT INTO BIG VALUES (-1, 'old'); INSERT INTO SMALL VALUES (99);");
    }
    // The logs of the run, in the folder next to the source.
    std::string Log(const std::string& suffix) const
    {
        namespace fs = std::filesystem;
        for (const auto& folder : fs::directory_iterator(source.Folder().Path()))
        {
            if (!folder.is_directory())
                continue;
            for (const auto& file : fs::directory_iterator(folder.path()))
            {
                if (file.path().string().size() > suffix.size() &&
                    file.path().string().compare(file.path().string().size() - suffix.size(), suffix.size(), suffix) ==
                        0)
                    return ReadWholeFile(file.path().string());
            }
        }
        return {};
    }
    std::vector<std::string> Arguments() const { return CopyArguments(source, dest); }

    CTempDatabase source;
    CTempDatabase dest;
};

// Waits, with a bound, until the program is inserting BIG's rows (its SQL log
// shows them).
bool WaitForRows(const SDatabases& databases)
{
    for (int tenth = 0; tenth < 600; ++tenth)
    {
        if (Contains(databases.Log("_sql.txt"), "INSERT INTO BIG "))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

class InterruptCommandLine : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
};
} // namespace

TEST_P(InterruptCommandLine, OneSignalEndsTheRunAfterTheTableInProgress)
{
    CInstalledProgram program;
    SDatabases databases(GetParam());
    std::vector<std::string> arguments{"--report", program.ProgramFolder().File("report.json")};
    for (const std::string& argument : databases.Arguments())
        arguments.push_back(argument);
    const pid_t child = program.Start(arguments);
    ASSERT_TRUE(WaitForRows(databases)) << program.ErrorSoFar();
    kill(child, SIGINT);
    const SRunResult result = program.Wait(child);
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(Contains(result.err, "Interrupted: the copy ends after the table in progress")) << result.err;
    EXPECT_EQ(result.out.substr(0, 19), "BIG copy successful") << result.out;
    // BIG is whole, SMALL was never touched, the trigger is on, nothing is left in the journal.
    EXPECT_EQ(databases.dest.Scalar("SELECT COUNT(*) FROM BIG WHERE ID >= 0"), "300000");
    EXPECT_EQ(databases.dest.Scalar("SELECT LIST(ID) FROM SMALL"), "99");
    EXPECT_EQ(databases.dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'BIG_BI'"),
              "0");
    EXPECT_FALSE(FileExists(program.ConfigFolder() + "TriggerJournal.txt"));
    // The report tells the table the stop left out.
    QJsonObject report;
    ASSERT_TRUE(IsValidReport(ReadWholeFile(program.ProgramFolder().File("report.json")), report));
    EXPECT_EQ(TableField(report), (std::map<std::string, std::string>{{"BIG", "copied"}, {"SMALL", "stopped"}}));
    EXPECT_EQ(TableField(report, "rows_written")["BIG"], "300000");
    EXPECT_EQ(report.value("exit_code").toInt(), 1);
}

TEST_P(InterruptCommandLine, ASecondSignalAbortsTheTableAndClaimsNoRow)
{
    CInstalledProgram program;
    SDatabases databases(GetParam());
    std::vector<std::string> arguments{"--report", "-"};
    for (const std::string& argument : databases.Arguments())
        arguments.push_back(argument);
    const pid_t child = program.Start(arguments);
    ASSERT_TRUE(WaitForRows(databases)) << program.ErrorSoFar();
    kill(child, SIGTERM);
    for (int tenth = 0; tenth < 100 && !Contains(program.ErrorSoFar(), "Interrupted"); ++tenth)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(child, SIGTERM);
    const SRunResult result = program.Wait(child);
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.signal, 0) << "the program died of a signal";
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(Contains(result.err, "aborted by the user in table BIG")) << result.err;
    const std::string runLog = databases.Log("_log.txt");
    EXPECT_TRUE(Contains(runLog, "Copy aborted by the user")) << runLog.substr(0, 600);
    // Not one row is claimed: the transaction went back whole.
    EXPECT_FALSE(Contains(runLog, "Successfully inserted"));
    // The trigger went off before the DELETE, which went back with the rows:
    // BIG holds its old row, the log says so, and the trigger is on again.
    EXPECT_TRUE(Contains(runLog, "The table holds the rows it had before this copy")) << runLog.substr(0, 600);
    EXPECT_EQ(databases.dest.Scalar("SELECT COUNT(*) FROM BIG"), "1");
    EXPECT_EQ(databases.dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'BIG_BI'"),
              "0");
    EXPECT_EQ(databases.dest.Scalar("SELECT LIST(ID) FROM SMALL"), "99");
    EXPECT_FALSE(FileExists(program.ConfigFolder() + "TriggerJournal.txt"));
    // The aborted table wrote nothing; an aborted table is no failure to retry.
    QJsonObject report;
    ASSERT_TRUE(IsValidReport(result.out, report));
    EXPECT_EQ(TableField(report), (std::map<std::string, std::string>{{"BIG", "stopped"}, {"SMALL", "stopped"}}));
    EXPECT_EQ(TableField(report, "rows_written")["BIG"], "0");
    EXPECT_FALSE(FileExists(program.ConfigFolder() + "FailedTables.txt"));
}

TEST_P(InterruptCommandLine, AHangUpOrQuitEndsTheRunAfterTheTableInProgressWithItsReport)
{
    // A dropped session sends its hang-up more than once, and its terminal
    // or pipe is gone: the table in progress still ends whole.
    enum class EError
    {
        File,
        HungUpTerminal,
        ClosedPipe
    };
    const struct
    {
        const char* name;
        std::vector<int> sent;
        EError error;
    } cases[] = {{"hang-up", {SIGHUP}, EError::File},
                 {"quit", {SIGQUIT}, EError::File},
                 {"hang-up twice, terminal gone", {SIGHUP, SIGHUP}, EError::HungUpTerminal},
                 {"hang-up, reader of standard error gone", {SIGHUP}, EError::ClosedPipe}};
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.name);
        CInstalledProgram program;
        SDatabases databases(GetParam());
        std::vector<std::string> arguments{"--report", program.ProgramFolder().File("report.json")};
        for (const std::string& argument : databases.Arguments())
            arguments.push_back(argument);
        int terminal = -1;
        SLaunch launch;
        launch.errorTerminal = test.error == EError::HungUpTerminal ? &terminal : nullptr;
        launch.errorToClosedPipe = test.error == EError::ClosedPipe;
        const pid_t child = program.Start(arguments, launch);
        ASSERT_TRUE(WaitForRows(databases)) << program.ErrorSoFar();
        if (terminal >= 0)
            close(terminal);
        for (const int signal : test.sent)
            kill(child, signal);
        const SRunResult result = program.Wait(child);
        ASSERT_FALSE(result.hung);
        EXPECT_EQ(result.signal, 0) << "the program died of a signal";
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_EQ(result.out.substr(0, 19), "BIG copy successful") << result.out;
        // BIG holds the new rows exactly, SMALL its old one; the trigger is on.
        const char* const rows = "SELECT COUNT(*) || ' ' || SUM(ID) || ' ' || MIN(S) || ' ' || MAX(S) FROM BIG";
        EXPECT_EQ(databases.dest.Scalar(rows), databases.source.Scalar(rows));
        EXPECT_EQ(databases.dest.Scalar("SELECT LIST(ID) FROM SMALL"), "99");
        EXPECT_EQ(
            databases.dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'BIG_BI'"),
            "0");
        EXPECT_FALSE(FileExists(program.ConfigFolder() + "TriggerJournal.txt"));
        QJsonObject report;
        ASSERT_TRUE(IsValidReport(ReadWholeFile(program.ProgramFolder().File("report.json")), report));
        EXPECT_EQ(TableField(report), (std::map<std::string, std::string>{{"BIG", "copied"}, {"SMALL", "stopped"}}));
        EXPECT_EQ(report.value("exit_code").toInt(), 1);
        const QJsonArray messages = report.value("messages").toArray();
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const QJsonValue& message) {
            return message.toString().startsWith("Interrupted: the copy ends after the table in progress");
        })) << QJsonDocument(messages).toJson().toStdString();
        if (test.error == EError::File)
        {
            EXPECT_TRUE(Contains(result.err, "Interrupted: the copy ends after the table in progress")) << result.err;
        }
    }
}

TEST_P(InterruptCommandLine, TheWayBackOfAKilledRunIsKeptAndNamedByEveryLaterRun)
{
    CInstalledProgram program;
    SDatabases databases(GetParam());
    const auto waysBack = [&] {
        std::vector<std::string> found;
        for (const auto& file : std::filesystem::directory_iterator(program.ProgramFolder().Path()))
        {
            const std::string name = file.path().filename().string();
            if (name.starts_with("temp_db_backup") && !name.ends_with(".lock"))
                found.push_back(file.path().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    const pid_t killed = program.Start(databases.Arguments());
    ASSERT_TRUE(WaitForRows(databases)) << program.ErrorSoFar();
    kill(killed, SIGKILL);
    program.Wait(killed);
    const std::vector<std::string> left = waysBack();
    ASSERT_EQ(left.size(), 1u);
    // It is the destination as it was before: BIG's one old row.
    {
        CFbConnection copy(1);
        ASSERT_TRUE(copy.Connect(TestUser, TestPassword, left[0]));
        CStringGrid rows;
        int failure = 0;
        copy.Execute("SELECT COUNT(*) || ' ' || MIN(ID) FROM BIG", failure, &rows);
        EXPECT_EQ(rows.RowCount() == 1 ? rows.GetCell(0, 0) : "", "1 -1");
    }
    const std::string named = "A copy that was ended before it finished left the destination database as it was "
                              "before that copy in " +
                              left[0] + "; it is kept there.";
    // A run that ends well removes its own copy; one with a failed table
    // keeps it beside its logs. Neither touches the killed run's.
    std::vector<std::string> keptByFailures;
    for (const bool fails : {false, true, true})
    {
        if (fails && keptByFailures.empty())
            databases.dest.Run("ALTER TABLE SMALL ADD CONSTRAINT NOT_ONE CHECK (ID <> 1);");
        const std::string reportFile = program.ProgramFolder().File("report.json");
        std::vector<std::string> arguments{"--report", reportFile, "--tables", "SMALL"};
        for (const std::string& argument : databases.Arguments())
            arguments.push_back(argument);
        const SRunResult result = program.Run(arguments);
        EXPECT_EQ(result.exitCode, fails ? 1 : 0) << result.err;
        EXPECT_TRUE(Contains(result.err, named)) << result.err;
        QJsonObject report;
        ASSERT_TRUE(IsValidReport(ReadWholeFile(reportFile), report));
        EXPECT_EQ(report.value("killed_run_copies").toArray(), QJsonArray{QString::fromStdString(left[0])});
        const std::string runLog = ReadWholeFile(report.value("logs").toObject().value("run").toString().toStdString());
        EXPECT_TRUE(Contains(runLog, "WARNING: A copy that was ended before it finished left the destination database "
                                     "as it was before that copy; it is kept (" +
                                         left[0] + ")"))
            << runLog.substr(0, 800);
        EXPECT_EQ(waysBack(), left);
        const std::string keptIn = "The destination database as it was before the copy is kept in ";
        const size_t kept = result.err.find(keptIn);
        EXPECT_EQ(kept != std::string::npos, fails) << result.err;
        if (kept != std::string::npos)
            keptByFailures.push_back(
                result.err.substr(kept + keptIn.size(), result.err.find('\n', kept) - kept - keptIn.size()));
    }
    ASSERT_EQ(keptByFailures.size(), 2u);
    EXPECT_NE(keptByFailures[0], keptByFailures[1]);
    for (const std::string& kept : keptByFailures)
        EXPECT_TRUE(FileExists(kept)) << kept;
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, InterruptCommandLine, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });

TEST(InterruptCommandLine, ASecondCopyIntoAHeldDestinationIsRefusedAndTouchesNothing)
{
    // Through the server, so that both programs can open the databases.
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    SDatabases databases(true);
    const pid_t first = program.Start(databases.Arguments(), SLaunch{{}, {}, nullptr, "1"});
    ASSERT_TRUE(WaitForRows(databases)) << program.ErrorSoFar("1");
    const SRunResult second =
        program.Wait(program.Start(databases.Arguments(), SLaunch{{}, {}, nullptr, "2"}), 1200, "2");
    EXPECT_EQ(second.exitCode, 2) << second.err;
    EXPECT_TRUE(Contains(second.err, "Another copy into this destination database is running")) << second.err;
    // The second one left the first one's switched-off trigger alone.
    EXPECT_FALSE(Contains(second.err, "active again")) << second.err;
    const SRunResult result = program.Wait(first, 1200, "1");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(databases.dest.Scalar("SELECT COUNT(*) FROM BIG WHERE ID >= 0"), "300000");
    EXPECT_EQ(databases.dest.Scalar("SELECT LIST(ID) FROM SMALL"), "1");
}

TEST(InterruptCommandLine, TheSameDatabaseUnderAnotherNameIsRefusedBeforeAnythingIsWritten)
{
    CInstalledProgram program;
    CTempDatabase db("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    const std::string link = db.Folder().File("link.fdb");
    std::filesystem::create_symlink(db.Path(), link);
    for (const std::string& other :
         {link, db.Folder().Path() + "./" + std::filesystem::path(db.Path()).filename().string()})
    {
        const SRunResult result = program.Run({db.Name(), TestUser, TestPassword, other, TestUser, TestPassword});
        EXPECT_EQ(result.exitCode, 2) << other;
        EXPECT_TRUE(Contains(result.err, "Source and destination database are identical!")) << result.err;
        EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM T"), "1");
    }
}
