// rowmover --check: the report of what a copy would do, and nothing written.
#include "cli/InstalledProgram.h"
#include "cli/ReportSchema.h"
#include "support/DatabaseFingerprint.h"
#include "support/LimboRows.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(CheckCommandLine, ReportsWhatACopyWouldDoAndWritesNothing)
{
    struct SCase
    {
        const char* destDdl;
        int exitCode;
        const char* says;
    };
    const SCase cases[] = {
        {"CREATE TABLE T (ID INTEGER, NAME VARCHAR(20));", 0,
         "1 tables checked: 0 will fail, 0 with warnings, 1 fine."},
        {"CREATE TABLE T (ID INTEGER, NAME VARCHAR(3));", 1,
         "NAME: 1 values are longer than VARCHAR(3); those rows fail"},
        {"CREATE TABLE T (ID INTEGER);", 0, "NAME: 1 values are not carried; the destination has no such column"},
    };
    for (const SCase& c : cases)
    {
        CInstalledProgram program;
        CWatchedDatabase source("CREATE TABLE T (ID INTEGER, NAME VARCHAR(20)); INSERT INTO T VALUES (1, 'Anne');");
        CWatchedDatabase dest(std::string(c.destDdl) + "INSERT INTO T (ID) VALUES (7);");
        std::vector<std::string> arguments{"--check"};
        for (const std::string& argument : CopyArguments(source, dest))
            arguments.push_back(argument);
        const SRunResult result = program.Run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        EXPECT_TRUE(Contains(result.out, c.says)) << result.out;
        EXPECT_TRUE(Contains(result.out, "T: ")) << result.out;
        // Neither database, nor a log folder, nor the journal.
        for (const auto& entry : std::filesystem::directory_iterator(source.Folder().Path()))
            EXPECT_EQ(entry.path().filename().string().find("DB_copy_"), std::string::npos);
        EXPECT_FALSE(FileExists(program.ConfigFolder() + "TriggerJournal.txt"));
        for (const auto& entry : std::filesystem::directory_iterator(program.ProgramFolder().Path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with("temp_db_backup")) << entry.path();
    }
}

TEST(CheckCommandLine, DatabasesThatCannotBeCheckedGiveExitTwo)
{
    CInstalledProgram program;
    CTempDatabase source("CREATE TABLE T (ID INTEGER);");
    const SRunResult result = program.Run({"--check", source.Name(), TestUser, TestPassword,
                                           source.Folder().File("missing.fdb"), TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
    EXPECT_TRUE(Contains(result.err, "Cannot attach destination database.")) << result.err;
}

TEST(CheckCommandLine, NamesTriggersLeftOffAndRowsInLimboInTheUsersLanguage)
{
    struct SCase
    {
        bool german;
        const char* triggers;
        const char* limbo;
    };
    const SCase cases[] = {
        {false,
         "The triggers of table ORDERS were left inactive by an interrupted copy (ORDERS_BI, ORDERS_BU); the next "
         "copy switches them on again.",
         "Rows of an interrupted copy of table ITEMS wait in prepared transactions; the next copy into this "
         "database decides them."},
        {true,
         "Die Trigger der Tabelle ORDERS wurden von einem unterbrochenen Kopiervorgang inaktiv gelassen (ORDERS_BI, "
         "ORDERS_BU); der n\u00e4chste Kopiervorgang schaltet sie wieder ein.",
         "Zeilen eines unterbrochenen Kopiervorgangs der Tabelle ITEMS warten in vorbereiteten Transaktionen; der "
         "n\u00e4chste Kopiervorgang in diese Datenbank entscheidet \u00fcber sie."},
    };
    for (const SCase& c : cases)
    {
        CInstalledProgram program;
        if (c.german)
        {
            for (const char* file : {"Languages.ini", "German.lng"})
                std::filesystem::copy_file(std::string(ROWMOVER_SOURCE_DIR) + "resources/" + file,
                                           program.ProgramFolder().File(file));
            program.WriteSettings("<LanguageName>Deutsch</LanguageName>\r\n");
        }
        const char* ddl = "CREATE TABLE ORDERS (ID INTEGER); CREATE TABLE ITEMS (ID INTEGER);";
        CTempDatabase source(std::string(ddl) + "INSERT INTO ORDERS VALUES (1); INSERT INTO ITEMS VALUES (1);");
        CTempDatabase dest(ddl);
        // A copy of an older version died with the triggers of ORDERS off.
        std::filesystem::create_directories(program.ConfigFolder());
        AppendTextToFile(program.ConfigFolder() + "TriggerJournal.txt",
                         dest.Name() + "\tORDERS\tORDERS_BI\tORDERS_BU\n");
        ASSERT_TRUE(LeaveRowsInLimbo(dest.Name(), "ITEMS", "INSERT INTO ITEMS VALUES (2)"));
        std::vector<std::string> arguments{"--check", "--tables", "ORDERS"};
        for (const std::string& argument : CopyArguments(source, dest))
            arguments.push_back(argument);
        const SRunResult checked = program.Run(arguments);
        EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
        EXPECT_TRUE(Contains(checked.err, c.triggers)) << checked.err;
        EXPECT_TRUE(Contains(checked.err, c.limbo)) << checked.err;
        // Named, not changed: the journal keeps its entry.
        EXPECT_TRUE(Contains(ReadWholeFile(program.ConfigFolder() + "TriggerJournal.txt"), "ORDERS_BU"));
    }
}

TEST(CheckCommandLine, SaysWhichRowsAnInterruptedCopyLeftInLimboAndTheNextRunReportsThem)
{
    // A copy's writer prepared its rows and the copy died: every reader of
    // ORDERS fails until the next copy decides them.
    CInstalledProgram program;
    const char* ddl = "CREATE TABLE ORDERS (ID INTEGER); CREATE TABLE ITEMS (ID INTEGER);";
    CWatchedDatabase source(std::string(ddl) + "INSERT INTO ORDERS VALUES (1); INSERT INTO ITEMS VALUES (1);");
    CTempDatabase dest(ddl);
    ASSERT_TRUE(LeaveRowsInLimbo(dest.Name(), "ORDERS", "INSERT INTO ORDERS VALUES (2)"));
    std::vector<std::string> arguments{"--check"};
    for (const std::string& argument : CopyArguments(source, dest))
        arguments.push_back(argument);
    const SRunResult checked = program.Run(arguments);
    EXPECT_TRUE(Contains(checked.err, "Rows of an interrupted copy of table ORDERS wait in prepared transactions"))
        << checked.err;

    // A copy of another table commits them first, unverified: the run
    // fails, says why, and the report names the table.
    arguments = {"--tables", "ITEMS", "--report", "-"};
    for (const std::string& argument : CopyArguments(source, dest))
        arguments.push_back(argument);
    const SRunResult run = program.Run(arguments);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "The rows of an interrupted copy of ORDERS were committed from prepared "
                                  "transactions before this run"))
        << run.err;
    QJsonObject report;
    ASSERT_TRUE(IsValidReport(run.out, report)) << run.out;
    EXPECT_EQ(report["committed_from_prepared"].toArray(), QJsonArray({"ORDERS"})) << run.out;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM ORDERS"), "2");
}
