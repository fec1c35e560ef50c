// Table and column names at the edges of what Firebird 3 takes: double
// quotes inside names, spaces, letters beyond ASCII, the longest names
// allowed, and a name longer than that.
#include "CopyFixture.h"

#include <gtest/gtest.h>

namespace
{
// 31 bytes: the longest name Firebird 3 stores.
const std::string LongestTable = "T234567890123456789012345678901";
const std::string LongestColumn = "C234567890123456789012345678901";
} // namespace

TEST(NameEdgeCase, QuotesSpacesAndNonAsciiLettersInNamesAreCopied)
{
    // The table name holds a double quote and a space; a column holds an
    // apostrophe, one a double quote, one German letters.
    const std::string ddl = R"(CREATE TABLE "Kunde ""A"" Ä" ("ID" INTEGER, "Straße Nr" VARCHAR(20), "O'Brien" INTEGER,
                                                          "say ""hi""" VARCHAR(5));)";
    SCopyFixture copy(ddl, ddl);
    ASSERT_EQ(copy.prepared, 0);
    copy.source.Run(R"(INSERT INTO "Kunde ""A"" Ä" VALUES (1, 'Hauptstraße 5', 7, 'hi');
                       INSERT INTO "Kunde ""A"" Ä" VALUES (2, NULL, NULL, NULL);)");
    EXPECT_TRUE(copy.Copy("Kunde \"A\" Ä")) << copy.RunLog() << copy.SqlLog();
    EXPECT_EQ(copy.dest.Query(R"(SELECT "ID", "Straße Nr", "O'Brien", "say ""hi""" FROM "Kunde ""A"" Ä" ORDER BY 1)"),
              (std::vector<std::vector<std::string>>{{"1", "Hauptstraße 5", "7", "hi"},
                                                     {"2", "<null>", "<null>", "<null>"}}));
    // The run log names the table as it is.
    EXPECT_NE(copy.RunLog().find("<TBL_Kunde \"A\" Ä"), std::string::npos) << copy.RunLog();
}

TEST(NameEdgeCase, LongestNamesFirebirdTakesAreCopied)
{
    const std::string ddl = "CREATE TABLE " + LongestTable + " (" + LongestColumn + " INTEGER, \"c" +
                            LongestColumn.substr(1) + "\"" + " VARCHAR(5));";
    // Thirty-one bytes is also the limit for names beyond ASCII: 15 two-byte
    // letters and one more byte.
    const std::string wide = "ÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜX";
    ASSERT_EQ(wide.size(), 31u);
    const std::string wideDdl = "CREATE TABLE \"" + wide + "\" (\"" + wide + "\" INTEGER);";
    SCopyFixture copy(ddl + wideDdl, ddl + wideDdl);
    ASSERT_EQ(copy.prepared, 0);
    copy.source.Run("INSERT INTO " + LongestTable + " VALUES (5, 'five'); INSERT INTO \"" + wide + "\" VALUES (6);");
    EXPECT_TRUE(copy.Copy(LongestTable)) << copy.RunLog() << copy.SqlLog();
    EXPECT_TRUE(copy.Copy(wide)) << copy.RunLog() << copy.SqlLog();
    EXPECT_EQ(copy.dest.Query("SELECT * FROM " + LongestTable), (std::vector<std::vector<std::string>>{{"5", "five"}}));
    EXPECT_EQ(copy.dest.Scalar("SELECT * FROM \"" + wide + "\""), "6");
}

TEST(NameEdgeCase, NameLongerThanFirebirdTakesFailsThatTableAndChangesNothing)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", "CREATE TABLE T (ID INTEGER);");
    ASSERT_EQ(copy.prepared, 0);
    const std::string tooLong = LongestTable + "2";
    EXPECT_FALSE(copy.Copy(tooLong));
    EXPECT_NE(copy.RunLog().find(
                  Entry(tooLong, "ERROR: Failed to open or table is empty", "the source has no table " + tooLong)),
              std::string::npos)
        << copy.RunLog();
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM T"), "0");
}
