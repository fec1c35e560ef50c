// The content fingerprint that proves a copy left its source alone.
#include "support/DatabaseFingerprint.h"
#include "db/CFbConnection.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace
{
const char* const Schema = R"(
    CREATE TABLE T (ID INTEGER, S VARCHAR(20), B BLOB SUB_TYPE TEXT);
    CREATE GENERATOR G;
    SET TERM ^ ;
    CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(G, 1); END^
    SET TERM ; ^
)";

// Writes behind the watched database's back, as a faulty copy would.
void WriteDirectly(const CTempDatabase& database, const std::string& sql)
{
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, database.Name())) << connection.LastErrorMessage();
    int failure = 0;
    connection.Execute(sql, failure);
    ASSERT_EQ(failure, 0) << connection.LastErrorMessage();
    ASSERT_TRUE(connection.Disconnect());
}
} // namespace

TEST(DatabaseFingerprint, SameContentInAnotherOrderGivesTheSameText)
{
    CTempDatabase first(std::string(Schema) + "INSERT INTO T (S, B) VALUES ('a', 'x'); INSERT INTO T (S, B) VALUES "
                                              "('b', NULL);");
    CTempDatabase second(std::string(Schema) + "INSERT INTO T (S, B) VALUES ('a', 'x'); INSERT INTO T (S, B) VALUES "
                                               "('b', NULL);");
    EXPECT_EQ(DatabaseFingerprint(first.Name()), DatabaseFingerprint(second.Name()));
    // Same rows stored the other way round: the trigger numbers them the
    // same, the pages hold them in another order.
    second.Run("DELETE FROM T; SET GENERATOR G TO 0;");
    second.Run("INSERT INTO T (S, B) VALUES ('a', 'x'); INSERT INTO T (S, B) VALUES ('b', NULL);");
    EXPECT_EQ(DatabaseFingerprint(first.Name()), DatabaseFingerprint(second.Name()));
}

TEST(DatabaseFingerprint, EveryKindOfChangeShows)
{
    CTempDatabase database(std::string(Schema) + "INSERT INTO T (S, B) VALUES ('a', 'blob');");
    const std::string before = DatabaseFingerprint(database.Name());
    EXPECT_NE(before.find("table T: 1 rows"), std::string::npos) << before;
    EXPECT_NE(before.find("generator G = 1"), std::string::npos) << before;
    EXPECT_NE(before.find("trigger T_BI on T: active"), std::string::npos) << before;

    for (const char* change :
         {"UPDATE T SET S = 'b'", "UPDATE T SET B = 'blob!'", "UPDATE T SET S = NULL", "UPDATE T SET S = ''",
          "SET GENERATOR G TO 5", "ALTER TRIGGER T_BI INACTIVE", "DELETE FROM T", "CREATE TABLE U (ID INTEGER)"})
    {
        CTempDatabase changed(std::string(Schema) + "INSERT INTO T (S, B) VALUES ('a', 'blob');");
        ASSERT_EQ(DatabaseFingerprint(changed.Name()), before);
        changed.Run(change);
        EXPECT_NE(DatabaseFingerprint(changed.Name()), before) << change;
    }
}

TEST(DatabaseFingerprint, LargeTablesAreHashedAndStillCompared)
{
    const std::string fill = "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 100) DO BEGIN "
                             "INSERT INTO T (S) VALUES ('row ' || :I); I = I + 1; END END^ SET TERM ; ^";
    CTempDatabase database(std::string(Schema) + fill);
    const std::string before = DatabaseFingerprint(database.Name());
    EXPECT_NE(before.find("table T: 100 rows, hash "), std::string::npos) << before;
    EXPECT_EQ(before.find("row 99"), std::string::npos) << "large tables are not listed row by row";
    database.Run("UPDATE T SET S = 'row x' WHERE S = 'row 50'");
    EXPECT_NE(DatabaseFingerprint(database.Name()), before);
}

TEST(DatabaseFingerprint, WatchedDatabaseAcceptsTheTestsOwnScripts)
{
    CWatchedDatabase database(Schema);
    database.Run("INSERT INTO T (S) VALUES ('mine');");
    EXPECT_EQ(database.CurrentFingerprint(), database.ExpectedFingerprint());
}

TEST(DatabaseFingerprint, WatchedDatabaseReportsAWriteFromElsewhere)
{
    EXPECT_NONFATAL_FAILURE(
        {
            CWatchedDatabase database(Schema);
            WriteDirectly(database, "INSERT INTO T (S) VALUES ('intruder')");
        },
        "the source database changed");
    EXPECT_NONFATAL_FAILURE(
        {
            CWatchedDatabase database(Schema);
            WriteDirectly(database, "ALTER TRIGGER T_BI INACTIVE");
        },
        "trigger T_BI on T: inactive");
}
