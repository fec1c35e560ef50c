#include "CopyFixture.h"

namespace
{
const char* const EveryType = R"(
CREATE TABLE EVERYTYPE (
  ID INTEGER NOT NULL PRIMARY KEY,
  SI SMALLINT, I INTEGER, BI BIGINT,
  N184 NUMERIC(18,4), D93 DECIMAL(9,3), N42 NUMERIC(4,2),
  FL FLOAT, DP DOUBLE PRECISION,
  DT DATE, TM TIME, TS TIMESTAMP,
  C10 CHAR(10), V100 VARCHAR(100), VLONG VARCHAR(8000),
  BO BOOLEAN,
  TB BLOB SUB_TYPE TEXT, BB BLOB SUB_TYPE BINARY,
  OC CHAR(4) CHARACTER SET OCTETS, VO VARCHAR(10) CHARACTER SET OCTETS
);
)";

const char* const EdgeRows = R"(
INSERT INTO EVERYTYPE VALUES (1, 32767, 2147483647, 9223372036854775807, 99999999999999.9999, 999999.999, 99.99,
  3.4028234e38, 1.7976931348623157e308, '9999-12-31', '23:59:59.9999', '9999-12-31 23:59:59.9999',
  'abc', 'O''Brien "quoted" ; semicolon', 'x', TRUE, 'Gr' || _UTF8 'üße € 日本語 😀', x'00010200FF00',
  x'00000000', x'00FF');
INSERT INTO EVERYTYPE VALUES (2, -32768, -2147483648, -9223372036854775807 - 1, -99999999999999.9999, -999999.999, -99.99,
  1.2e-38, -2.5e-300, '0001-01-01', '00:00:00.0001', '0001-01-01 00:00:00.0000',
  '  lead', '  both  ', '', FALSE, '', x'',
  x'20202020', x'');
INSERT INTO EVERYTYPE (ID) VALUES (3);
INSERT INTO EVERYTYPE (ID, FL, DP, V100, C10, TB) VALUES (4, 0.1, 0.1, 'line' || ASCII_CHAR(13) || ASCII_CHAR(10) || 'tab' || ASCII_CHAR(9), '   ', '  ');
INSERT INTO EVERYTYPE (ID, FL, DP, N42) VALUES (5, -0.333333343, 0.30000000000000004, -0.07);
)";

std::vector<std::vector<std::string>> AllRows(const CTempDatabase& db)
{
    return db.Query("SELECT * FROM EVERYTYPE ORDER BY ID");
}

void ExpectIdentical(const CTempDatabase& source, const CTempDatabase& dest)
{
    const auto expected = AllRows(source);
    const auto actual = AllRows(dest);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t r = 0; r < expected.size(); ++r)
    {
        ASSERT_EQ(actual[r].size(), expected[r].size());
        for (size_t c = 0; c < expected[r].size(); ++c)
            EXPECT_TRUE(actual[r][c] == expected[r][c]) << "row " << r << " column " << c << ": "
                                                        << actual[r][c].substr(0, 80) << " instead of "
                                                        << expected[r][c].substr(0, 80);
    }
}

void FillLongValues(const CTempDatabase& db)
{
    // Literals are limited to 32 KB: long values grow in place.
    db.Run("UPDATE EVERYTYPE SET VLONG = LPAD('', 7999, 'v') || 'é' WHERE ID = 1;"
           "UPDATE EVERYTYPE SET TB = TB || LPAD('', 8000, 't') WHERE ID = 1;"
           "UPDATE EVERYTYPE SET TB = TB || TB WHERE ID = 1; UPDATE EVERYTYPE SET TB = TB || TB WHERE ID = 1;"
           "UPDATE EVERYTYPE SET TB = TB || TB WHERE ID = 1; UPDATE EVERYTYPE SET TB = TB || TB WHERE ID = 1;"
           "UPDATE EVERYTYPE SET BB = BB || BB WHERE ID = 1;");
}

class CopyFidelity : public ::testing::TestWithParam<bool>
{
};
} // namespace

TEST_P(CopyFidelity, EveryTypeArrivesByteForByte)
{
    const bool viaServer = GetParam();
    if (viaServer)
        REQUIRE_TEST_SERVER();
    SCopyFixture copy(EveryType, EveryType, CTempDatabase::SOptions{"UTF8", viaServer, "source.fdb"},
                      CTempDatabase::SOptions{"UTF8", viaServer, "dest.fdb"});
    ASSERT_EQ(copy.prepared, 0);
    copy.source.Run(EdgeRows);
    FillLongValues(copy.source);
    EXPECT_GT(std::stoi(copy.source.Scalar("SELECT OCTET_LENGTH(TB) FROM EVERYTYPE WHERE ID = 1")), 65536);
    ASSERT_TRUE(copy.Copy("EVERYTYPE")) << copy.RunLog().substr(0, 2000) << copy.SqlLog().substr(0, 4000);
    ExpectIdentical(copy.source, copy.dest);
    // Spot checks that do not go through the program's own value reading.
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM EVERYTYPE WHERE DP = 0.1 AND ID = 4"), "1");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM EVERYTYPE WHERE BB = x'00010200FF00'"), "0");
    EXPECT_EQ(copy.dest.Scalar("SELECT OCTET_LENGTH(BB) FROM EVERYTYPE WHERE ID = 1"), "12");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM EVERYTYPE WHERE V100 IS NULL"), "2");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM EVERYTYPE WHERE V100 = ''"), "0");
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, CopyFidelity, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });

TEST(CopyFidelity, SingleByteCharacterSetDatabasesKeepTheirText)
{
    const char* ddl = "CREATE TABLE T (ID INTEGER, S VARCHAR(20), B BLOB SUB_TYPE TEXT);";
    const CTempDatabase::SOptions win1252{"WIN1252", false, "w.fdb"};
    SCopyFixture copy(ddl, ddl, win1252, win1252);
    copy.source.Run("INSERT INTO T VALUES (1, 'Grüße € œ', 'Blob: Grüße € œ');");
    ASSERT_TRUE(copy.Copy("T")) << copy.SqlLog();
    EXPECT_EQ(copy.dest.Query("SELECT S, B, OCTET_LENGTH(S), OCTET_LENGTH(B) FROM T"),
              (std::vector<std::vector<std::string>>{{"Grüße € œ", "Blob: Grüße € œ", "9", "15"}}));

    // From a single-byte database into a UTF-8 one.
    SCopyFixture widening(ddl, ddl, win1252, CTempDatabase::SOptions{"UTF8", false, "u.fdb"});
    widening.source.Run("INSERT INTO T VALUES (1, 'Grüße € œ', 'Blob: Grüße € œ');");
    ASSERT_TRUE(widening.Copy("T")) << widening.SqlLog();
    EXPECT_EQ(widening.dest.Query("SELECT S, B FROM T"),
              (std::vector<std::vector<std::string>>{{"Grüße € œ", "Blob: Grüße € œ"}}));
}

TEST(CopyFidelity, TextThatTheDestinationSetCannotHoldFailsThatRowOnly)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER, S VARCHAR(10));", "CREATE TABLE T (ID INTEGER, S VARCHAR(10));",
                      CTempDatabase::SOptions{"UTF8", false, "u.fdb"}, CTempDatabase::SOptions{"WIN1252", false, "w.fdb"});
    copy.source.Run("INSERT INTO T VALUES (1, 'fine é'); INSERT INTO T VALUES (2, '日本語');");
    EXPECT_FALSE(copy.Copy("T"));
    EXPECT_EQ(copy.dest.Query("SELECT ID, S FROM T"), (std::vector<std::vector<std::string>>{{"1", "fine é"}}));
    EXPECT_EQ(copy.Report(), "1 T record(s) could not be copied.\r\n\r\n");
}

TEST(CopyFidelity, SmallBlobsTravelInTheRowsThroughTheServer)
{
    REQUIRE_TEST_SERVER();
    const char* ddl = "CREATE TABLE B (ID INTEGER NOT NULL, TXT BLOB SUB_TYPE TEXT, BIN BLOB SUB_TYPE BINARY,"
                      " BIG BLOB SUB_TYPE TEXT);";
    SCopyFixture copy(ddl, ddl, CTempDatabase::SOptions{"UTF8", true, "s.fdb"},
                      CTempDatabase::SOptions{"UTF8", true, "d.fdb"});
    copy.source.Run(R"(INSERT INTO B VALUES (1, 'Grüße 日本 😀', x'00FF0001', 'short');
                       INSERT INTO B VALUES (2, '', x'', NULL);
                       INSERT INTO B VALUES (3, NULL, NULL, LPAD('', 8000, 'x'));
                       UPDATE B SET BIG = BIG || BIG WHERE ID = 3;)");
    ASSERT_TRUE(copy.Copy("B")) << copy.SqlLog().substr(0, 3000);
    // The small ones came inline; BIG (16,000 characters) as a BLOB.
    EXPECT_NE(copy.SqlLog().find("CAST(TXT AS VARCHAR(10) CHARACTER SET UTF8) AS TXT"), std::string::npos)
        << copy.SqlLog().substr(0, 600);
    EXPECT_NE(copy.SqlLog().find(", BIG FROM B ORDER BY ID"), std::string::npos);
    const char* all = "SELECT ID, TXT, BIN, BIG FROM B ORDER BY ID";
    EXPECT_EQ(copy.dest.Query(all), copy.source.Query(all));
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM B WHERE BIN = x'00FF0001'"), "1");
}
