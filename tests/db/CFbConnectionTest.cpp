#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

namespace
{
const char* const TwoTablesAndAView = R"(
CREATE TABLE A (ID INTEGER NOT NULL, NAME VARCHAR(30));
CREATE TABLE B (X SMALLINT);
CREATE VIEW V AS SELECT ID, NAME FROM A;
)";

struct SAttached
{
    explicit SAttached(const CTempDatabase& db, int attempts = 1) : connection(attempts)
    {
        attached = connection.Connect(TestUser, TestPassword, db.Name());
    }
    CFbConnection connection;
    bool attached = false;
};
} // namespace

TEST(CFbConnection, DpbCarriesUserPasswordUtf8CharacterSetAndUtf8FileName)
{
    const std::string dpb = CFbConnection::BuildDpb("SYSDBA", "masterkey");
    // 77 (isc_dpb_utf8_filename) with no value: the file name is UTF-8.
    const std::string expected = std::string("\x01\x1C\x06SYSDBA\x1D\x09masterkey", 20) +
                                 std::string("\x30\x04UTF8", 6) + std::string("\x4D\x00", 2);
    EXPECT_EQ(dpb, expected);
}

TEST(CFbConnection, ConnectOnAnAttachedObjectKeepsTheFirstAttachment)
{
    CTempDatabase first(TwoTablesAndAView);
    CTempDatabase second("CREATE TABLE ONLY_HERE (I INTEGER);");
    SAttached db(first);
    ASSERT_TRUE(db.attached);
    EXPECT_TRUE(db.connection.Connect("nobody", "wrong", second.Name()));
    CStringGrid relations;
    ASSERT_TRUE(db.connection.GetRelations(relations));
    EXPECT_EQ(relations.FindRow(0, "ONLY_HERE", 1), -1);
    EXPECT_GE(relations.FindRow(0, "A", 1), 0);
}

TEST(CFbConnection, AnAbsurdAttemptCountFromADamagedSettingsFileIsBounded)
{
    CTempFolder folder;
    CFbConnection connection(2000000000);
    EXPECT_FALSE(connection.Connect(TestUser, TestPassword, folder.File("missing.fdb")));
    EXPECT_EQ(connection.LastAttachAttempts(), 1000);
}

TEST(CFbConnection, UnreachableDatabaseMakesExactlyTheConfiguredAttempts)
{
    CTempFolder folder;
    CFbConnection three(3);
    EXPECT_FALSE(three.Connect(TestUser, TestPassword, folder.File("missing.fdb")));
    EXPECT_EQ(three.LastAttachAttempts(), 3);
    EXPECT_FALSE(three.IsConnected());
    EXPECT_FALSE(three.LastErrorMessage().empty());

    CFbConnection none(0);
    EXPECT_FALSE(none.Connect(TestUser, TestPassword, folder.File("missing.fdb")));
    EXPECT_EQ(none.LastAttachAttempts(), 0);
}

TEST(CFbConnection, RelationListHoldsTablesButNotViews)
{
    CTempDatabase db(TwoTablesAndAView);
    SAttached attached(db);
    ASSERT_TRUE(attached.attached);
    CStringGrid relations;
    ASSERT_TRUE(attached.connection.GetRelations(relations));
    ASSERT_EQ(relations.RowCount(), 2);
    EXPECT_GE(relations.FindRow(0, "A", 1), 0);
    EXPECT_GE(relations.FindRow(0, "B", 1), 0);
    EXPECT_EQ(relations.FindRow(0, "V", 1), -1);
    for (int row = 0; row < relations.RowCount(); ++row)
    {
        EXPECT_EQ(relations.GetCell(1, row), "");
        EXPECT_EQ(relations.GetCell(2, row), "");
    }
}

TEST(CFbConnection, ViewWithAnExpressionColumnKeepsOneRow)
{
    CTempDatabase db(R"(
CREATE TABLE A (ID INTEGER);
CREATE VIEW VX (ID, TWICE) AS SELECT ID, ID * 2 FROM A;
)");
    SAttached attached(db);
    CStringGrid relations;
    attached.connection.GetRelations(relations);
    EXPECT_EQ(relations.RowCount(), 2);
    EXPECT_GE(relations.FindRow(0, "VX", 1), 0);
}

TEST(CFbConnection, GetRelationsAndDisconnectFailWhenNotAttached)
{
    CFbConnection connection(1);
    CStringGrid relations;
    EXPECT_FALSE(connection.GetRelations(relations));
    EXPECT_FALSE(connection.Disconnect());
    int failure = -1;
    connection.Execute("SELECT 1 FROM rdb$database", failure, &relations);
    EXPECT_EQ(failure, CFbConnection::FailTransaction);
}

TEST(CFbConnection, DataStatementsStayInTheTransactionUntilDisconnect)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER);");
    {
        SAttached attached(db);
        int failure = -1;
        attached.connection.Execute("INSERT INTO T VALUES (1)", failure);
        EXPECT_EQ(failure, 0);
        // Another attachment does not see the uncommitted row yet.
        EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM T"), "0");
        EXPECT_TRUE(attached.connection.Disconnect());
    }
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM T"), "1");
}

TEST(CFbConnection, DdlCommitsEarlierWorkAtOnce)
{
    CTempDatabase db(R"(
CREATE TABLE T (ID INTEGER);
INSERT INTO T VALUES (1);
INSERT INTO T VALUES (2);
SET TERM ^ ;
CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN END^
SET TERM ; ^
)");
    SAttached attached(db);
    int failure = -1;
    attached.connection.Execute("DELETE FROM T", failure);
    ASSERT_EQ(failure, 0);
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM T"), "2");
    attached.connection.Execute("ALTER TRIGGER T_BI INACTIVE", failure);
    ASSERT_EQ(failure, 0);
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM T"), "0");
    EXPECT_EQ(db.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'T_BI'"), "1");
}

TEST(CFbConnection, SelectWithoutRowGridRunsNothing)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER);");
    SAttached attached(db);
    int failure = -1;
    attached.connection.Execute("SELECT ID FROM T", failure, nullptr);
    EXPECT_EQ(failure, CFbConnection::FailExecute);
}

TEST(CFbConnection, SelectWithoutRowsGivesColumnsButNoRows)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER, NAME VARCHAR(30), NOTE CHAR(5));");
    SAttached attached(db);
    CStringGrid rows;
    CStringGrid columns;
    int failure = -1;
    attached.connection.Execute("SELECT * FROM T", failure, &rows, &columns);
    EXPECT_EQ(failure, 0);
    EXPECT_EQ(rows.ColumnCount(), 3);
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(columns.ColumnCount(), 3);
    EXPECT_EQ(columns.RowCount(), 5);
}

TEST(CFbConnection, FailedStatementsGiveTheirStepAndTheServerMessage)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY);");
    SAttached attached(db);
    int failure = -1;
    attached.connection.Execute("SELEKT nonsense", failure);
    EXPECT_EQ(failure, CFbConnection::FailPrepare);
    EXPECT_NE(attached.connection.LastErrorMessage().find("Token unknown"), std::string::npos)
        << attached.connection.LastErrorMessage();

    attached.connection.Execute("INSERT INTO T VALUES (1)", failure);
    ASSERT_EQ(failure, 0);
    EXPECT_EQ(attached.connection.LastErrorMessage(), "");
    attached.connection.Execute("INSERT INTO T VALUES (1)", failure);
    EXPECT_EQ(failure, CFbConnection::FailExecute);
    EXPECT_NE(attached.connection.LastErrorMessage().find("PRIMARY"), std::string::npos)
        << attached.connection.LastErrorMessage();
    // The failed statement does not undo the earlier one.
    attached.connection.Disconnect();
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM T"), "1");
}

TEST(CFbConnection, FetchErrorIsNotTheEndOfTheRows)
{
    CTempDatabase db("CREATE TABLE T (N INTEGER); INSERT INTO T VALUES (1); INSERT INTO T VALUES (0);"
                     "INSERT INTO T VALUES (2);");
    SAttached attached(db);
    CStringGrid rows;
    CStringGrid columns;
    int failure = -1;
    attached.connection.Execute("SELECT 10 / N FROM T ORDER BY N DESC", failure, &rows, &columns);
    EXPECT_EQ(failure, CFbConnection::FailFetch);
    EXPECT_EQ(rows.RowCount(), 2); // the rows before the error stay
    EXPECT_EQ(columns.ColumnCount(), 1);
    EXPECT_NE(attached.connection.LastErrorMessage().find("divide"), std::string::npos)
        << attached.connection.LastErrorMessage();
}

TEST(CFbConnection, SelectOfManyColumnsGrowsTheDescriptor)
{
    std::string create = "CREATE TABLE WIDE (";
    std::string values = "INSERT INTO WIDE VALUES (";
    for (int i = 0; i < 250; ++i)
    {
        create += (i ? ", C" : "C") + std::to_string(i) + " INTEGER";
        values += (i ? ", " : "") + std::to_string(i * 3);
    }
    CTempDatabase db(create + ");" + values + ");");
    SAttached attached(db);
    CStringGrid rows;
    CStringGrid columns;
    int failure = -1;
    attached.connection.Execute("SELECT * FROM WIDE", failure, &rows, &columns);
    ASSERT_EQ(failure, 0);
    ASSERT_EQ(rows.ColumnCount(), 250);
    EXPECT_EQ(rows.GetCell(0, 0), "0");
    EXPECT_EQ(rows.GetCell(249, 0), "747");
    EXPECT_EQ(columns.GetCell(249, 0), "C249");
}

TEST(CFbConnection, NullIsMarkedButReadsLikeAnEmptyText)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER, S VARCHAR(10));"
                     "INSERT INTO T VALUES (1, ''); INSERT INTO T VALUES (2, NULL);"
                     "INSERT INTO T VALUES (NULL, 'x');");
    SAttached attached(db);
    CStringGrid rows;
    int failure = -1;
    attached.connection.Execute("SELECT ID, S FROM T ORDER BY ID NULLS LAST", failure, &rows);
    ASSERT_EQ(failure, 0);
    EXPECT_EQ(rows.GetCell(1, 0), "");
    EXPECT_FALSE(rows.IsCellNull(1, 0));
    EXPECT_EQ(rows.GetCell(1, 1), "");
    EXPECT_TRUE(rows.IsCellNull(1, 1));
    EXPECT_EQ(rows.GetCell(0, 2), "");
    EXPECT_TRUE(rows.IsCellNull(0, 2));
}

TEST(CFbConnection, LongTextsAndWideRowsArriveWhole)
{
    // Through the UTF-8 attachment every character may need four bytes, so
    // seven columns of 8,000 characters need a row area of over 220,000 bytes.
    std::string create = "CREATE TABLE LONGROW (";
    for (int i = 0; i < 7; ++i)
        create += (i ? ", S" : "S") + std::to_string(i) + " VARCHAR(8000)";
    CTempDatabase db(create + ");", CTempDatabase::SOptions{"WIN1252", false, "long.fdb"});
    std::string insert = "INSERT INTO LONGROW VALUES (";
    for (int i = 0; i < 7; ++i)
        insert += std::string(i ? ", " : "") + "'" + std::string(7990, static_cast<char>('a' + i)) + "\xC3\xA9'";
    db.Run(insert + ");");
    SAttached attached(db);
    CStringGrid rows;
    CStringGrid columns;
    int failure = -1;
    attached.connection.Execute("SELECT * FROM LONGROW", failure, &rows, &columns);
    ASSERT_EQ(failure, 0) << attached.connection.LastErrorMessage();
    EXPECT_EQ(rows.GetCell(6, 0), std::string(7990, 'g') + "\xC3\xA9");
    EXPECT_EQ(columns.GetCell(6, 3), "VARCHAR(8000)");
    EXPECT_EQ(columns.GetCell(6, 4), "8000");
}

TEST(CFbConnection, SingleByteCharacterSetTextArrivesAsUtf8)
{
    CTempDatabase db("CREATE TABLE T (S VARCHAR(20));", CTempDatabase::SOptions{"WIN1252", false, "w.fdb"});
    db.Run("INSERT INTO T VALUES ('Gr\xC3\xBC\xC3\x9F"
           "e \xE2\x82\xAC');");
    SAttached attached(db);
    CStringGrid rows;
    CStringGrid columns;
    int failure = -1;
    attached.connection.Execute("SELECT S FROM T", failure, &rows, &columns);
    ASSERT_EQ(failure, 0);
    EXPECT_EQ(rows.GetCell(0, 0), "Gr\xC3\xBC\xC3\x9F"
                                  "e \xE2\x82\xAC");
    EXPECT_EQ(columns.GetCell(0, 3), "VARCHAR(20)");
    // The value is stored in the column's own set: one byte a character.
    EXPECT_EQ(db.Scalar("SELECT OCTET_LENGTH(S) FROM T"), "7");
}

TEST(CFbConnection, WorksThroughTheLoopbackServer)
{
    REQUIRE_TEST_SERVER();
    CTempDatabase db(TwoTablesAndAView, CTempDatabase::SOptions{"UTF8", true, "remote.fdb"});
    db.Run("INSERT INTO A VALUES (7, 'O''Brien');");
    SAttached attached(db);
    ASSERT_TRUE(attached.attached) << attached.connection.LastErrorMessage();
    CStringGrid relations;
    attached.connection.GetRelations(relations);
    EXPECT_EQ(relations.RowCount(), 2);
    CStringGrid rows;
    int failure = -1;
    attached.connection.Execute("SELECT ID, NAME FROM A", failure, &rows);
    ASSERT_EQ(failure, 0);
    EXPECT_EQ(rows.GetCell(1, 0), "O'Brien");
    EXPECT_NE(db.Scalar("SELECT MON$REMOTE_PROTOCOL FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"),
              "<null>");
}

TEST(CFbConnection, WrongPasswordThroughTheServerFailsAfterTheConfiguredAttempts)
{
    REQUIRE_TEST_SERVER();
    CTempDatabase db("CREATE TABLE A (ID INTEGER);", CTempDatabase::SOptions{"UTF8", true, "remote.fdb"});
    CFbConnection connection(2);
    EXPECT_FALSE(connection.Connect(TestUser, "not-the-password", db.Name()));
    EXPECT_EQ(connection.LastAttachAttempts(), 2);
    EXPECT_NE(connection.LastErrorMessage().find("password"), std::string::npos) << connection.LastErrorMessage();
}

TEST(CFbConnection, APlainWireAsksTheClientLibraryToLeaveEncryptionOff)
{
    const std::string plain = CFbConnection::BuildDpb("SYSDBA", "masterkey", CFbConnection::EWire::Plain);
    const std::string defaults = CFbConnection::BuildDpb("SYSDBA", "masterkey");
    // 87 (isc_dpb_config): settings in the form of firebird.conf.
    EXPECT_EQ(plain, defaults + std::string("\x57\x14WireCrypt = Disabled", 22));
    EXPECT_EQ(CFbConnection::WireFor("localhost/3057:/data/x.fdb"), CFbConnection::EWire::Plain);
    EXPECT_EQ(CFbConnection::WireFor("/data/x.fdb"), CFbConnection::EWire::Default);
    EXPECT_EQ(CFbConnection::WireFor("db.example.org:/data/x.fdb"), CFbConnection::EWire::Default);
}

// The wire's encryption as the server sees the attachment: "TRUE", "FALSE",
// or "<null>" in process, where there is no wire.
class WireOfAttachment : public ::testing::TestWithParam<bool>
{
};

TEST_P(WireOfAttachment, AttachmentsOnThisMachineTravelUnencrypted)
{
    const bool viaServer = GetParam();
    if (viaServer)
        REQUIRE_TEST_SERVER();
    CTempDatabase db("CREATE TABLE A (ID INTEGER);", CTempDatabase::SOptions{"UTF8", viaServer, "wire.fdb"});
    SAttached attached(db);
    ASSERT_TRUE(attached.attached) << attached.connection.LastErrorMessage();
    CStringGrid rows;
    int failure = -1;
    attached.connection.Execute("SELECT RDB$GET_CONTEXT('SYSTEM', 'WIRE_ENCRYPTED') FROM RDB$DATABASE", failure, &rows);
    ASSERT_EQ(failure, 0) << attached.connection.LastErrorMessage();
    ASSERT_EQ(rows.RowCount(), 1);
    if (viaServer)
        EXPECT_EQ(rows.GetCell(0, 0), "FALSE");
    else
        EXPECT_TRUE(rows.GetCellMarks(0, 0) & CStringGrid::MarkNull);
    EXPECT_EQ(attached.connection.LastAttachAttempts(), 1);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, WireOfAttachment, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Server") : std::string("Embedded");
                         });
