#include "db/CFbConnection.h"
#include "db/SqlText.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace
{
struct STriggerRow
{
    std::string flag;
    std::string generator;
    std::string value;
};

// The trigger grid row of a trigger, found by name; fails the test when the
// trigger is missing.
STriggerRow TriggerRow(CStringGrid& grid, const std::string& trigger)
{
    const int row = grid.FindRow(0, trigger, 0);
    EXPECT_GE(row, 0) << trigger << " is not in the trigger grid";
    if (row < 0 || row >= grid.RowCount())
        return {"<missing>", "<missing>", "<missing>"};
    return {grid.GetCell(1, row), grid.GetCell(2, row), grid.GetCell(3, row)};
}

using CKeyRow = std::tuple<std::string, std::string, std::string>;

std::set<CKeyRow> KeyRows(CStringGrid& grid)
{
    std::set<CKeyRow> rows;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows.emplace(grid.GetCell(0, r), grid.GetCell(1, r), grid.GetCell(2, r));
    return rows;
}

// The trigger the server lists first among those whose source mentions text.
std::string FirstTriggerMentioning(const CTempDatabase& db, const std::string& text)
{
    const auto rows =
        db.Query("SELECT rdb$trigger_name FROM rdb$triggers WHERE rdb$trigger_source CONTAINING '" + text + "'");
    return rows.empty() ? std::string() : rows[0][0];
}

const char* const Customers = R"(
CREATE TABLE CUST (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40));
CREATE TABLE PLAIN (ID INTEGER);
CREATE GENERATOR GEN_CUST;
SET GENERATOR GEN_CUST TO 42;
SET TERM ^ ;
CREATE TRIGGER T_BI FOR CUST ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_CUST, 1);
END^
CREATE TRIGGER T_AU FOR CUST ACTIVE BEFORE UPDATE POSITION 0 AS
BEGIN
  NEW.NAME = UPPER(NEW.NAME);
END^
SET TERM ; ^
)";
} // namespace

TEST(GetTableTriggers, EachTriggerWithTheGeneratorItUsesAndItsValue)
{
    CTempDatabase db(Customers);
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("CUST", triggers));
    ASSERT_EQ(triggers.RowCount(), 2);
    EXPECT_EQ(triggers.ColumnCount(), 4);
    const STriggerRow bi = TriggerRow(triggers, "T_BI");
    EXPECT_EQ(bi.flag, "0");
    EXPECT_EQ(bi.generator, "GEN_CUST");
    EXPECT_EQ(bi.value, "42");
    const STriggerRow au = TriggerRow(triggers, "T_AU");
    EXPECT_EQ(au.flag, "0");
    EXPECT_EQ(au.generator, "");
    EXPECT_EQ(au.value, "");
}

TEST(GetTableTriggers, TableWithoutTriggersGivesAnEmptyGrid)
{
    CTempDatabase db(Customers);
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("PLAIN", triggers));
    EXPECT_EQ(triggers.RowCount(), 0);
    ASSERT_TRUE(connection.GetTableTriggers("NO_SUCH_TABLE", triggers));
    EXPECT_EQ(triggers.RowCount(), 0);
}

TEST(GetTableTriggers, ValueIsReadAtTheTimeOfTheCall)
{
    CTempDatabase db(Customers);
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    int failure = 0;
    connection.Execute("INSERT INTO CUST (NAME) VALUES ('a')", failure);
    ASSERT_EQ(failure, 0);
    connection.Execute("INSERT INTO CUST (NAME) VALUES ('b')", failure);
    ASSERT_EQ(failure, 0);
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("CUST", triggers));
    EXPECT_EQ(TriggerRow(triggers, "T_BI").value, "44");
}

TEST(GetTableTriggers, GeneratorNameMatchesTheTriggerSourceInAnyCase)
{
    CTempDatabase db(R"(
CREATE TABLE ITEM (ID BIGINT);
CREATE SEQUENCE SEQ_ITEM;
ALTER SEQUENCE SEQ_ITEM RESTART WITH 9000000000;
SET TERM ^ ;
CREATE TRIGGER ITEM_BI FOR ITEM BEFORE INSERT AS
BEGIN
  new.id = next value for seq_item;
END^
SET TERM ; ^
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("ITEM", triggers));
    const STriggerRow row = TriggerRow(triggers, "ITEM_BI");
    EXPECT_EQ(row.generator, "SEQ_ITEM");
    EXPECT_EQ(row.value, "9000000000");
}

// Only the first trigger of the whole database that mentions a generator is
// linked to it; a second table using the same generator gets none.
TEST(GetTableTriggers, GeneratorSharedByTwoTablesLinksOnlyTheFirstListedTrigger)
{
    CTempDatabase db(R"(
CREATE TABLE FIRST_T (ID INTEGER);
CREATE TABLE SECOND_T (ID INTEGER);
CREATE GENERATOR GEN_SHARED;
SET GENERATOR GEN_SHARED TO 7;
SET TERM ^ ;
CREATE TRIGGER FIRST_BI FOR FIRST_T BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_SHARED, 1); END^
CREATE TRIGGER SECOND_BI FOR SECOND_T BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_SHARED, 1); END^
SET TERM ; ^
)");
    const std::string first = FirstTriggerMentioning(db, "GEN_SHARED");
    ASSERT_TRUE(first == "FIRST_BI" || first == "SECOND_BI") << first;
    const std::string firstTable = first == "FIRST_BI" ? "FIRST_T" : "SECOND_T";
    const std::string otherTable = first == "FIRST_BI" ? "SECOND_T" : "FIRST_T";
    const std::string other = first == "FIRST_BI" ? "SECOND_BI" : "FIRST_BI";

    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers(firstTable, triggers));
    EXPECT_EQ(TriggerRow(triggers, first).generator, "GEN_SHARED");
    EXPECT_EQ(TriggerRow(triggers, first).value, "7");
    ASSERT_TRUE(connection.GetTableTriggers(otherTable, triggers));
    ASSERT_EQ(triggers.RowCount(), 1);
    EXPECT_EQ(TriggerRow(triggers, other).generator, "");
    EXPECT_EQ(TriggerRow(triggers, other).value, "");
}

// GEN_A is contained in GEN_AB, so a trigger using only GEN_AB also mentions
// GEN_A; of several generators the one handled last (catalogue order) stays.
TEST(GetTableTriggers, GeneratorWhoseNameStartsAnotherOnesIsNotTakenForIt)
{
    // GEN_ORDER is part of GEN_ORDER_ITEM's name; a trigger that uses the
    // longer one gets it, whichever generator was made first and whether the
    // trigger names it in its code or only in dynamic SQL.
    struct SCase
    {
        const char* generators;
        const char* body;
    };
    const SCase cases[] = {
        {"CREATE GENERATOR GEN_ORDER_ITEM; CREATE GENERATOR GEN_ORDER;", "NEW.ID = GEN_ID(GEN_ORDER_ITEM, 1);"},
        {"CREATE GENERATOR GEN_ORDER; CREATE GENERATOR GEN_ORDER_ITEM;", "NEW.ID = GEN_ID(gen_order_item, 1);"},
        {"CREATE GENERATOR GEN_ORDER; CREATE GENERATOR GEN_ORDER_ITEM;",
         "EXECUTE STATEMENT 'SELECT GEN_ID(GEN_ORDER_ITEM, 1) FROM RDB$DATABASE' INTO NEW.ID;"},
    };
    for (const SCase& c : cases)
    {
        CTempDatabase db(std::string(c.generators) + "SET GENERATOR GEN_ORDER TO 10; SET GENERATOR GEN_ORDER_ITEM TO 20;"
                         "CREATE TABLE T (ID INTEGER); SET TERM ^ ; CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN "
                         + c.body + " END^ SET TERM ; ^");
        CFbConnection connection(1);
        ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
        CStringGrid triggers;
        ASSERT_TRUE(connection.GetTableTriggers("T", triggers));
        EXPECT_EQ(TriggerRow(triggers, "T_BI").generator, "GEN_ORDER_ITEM") << c.body;
        EXPECT_EQ(TriggerRow(triggers, "T_BI").value, "20") << c.body;
    }
}

TEST(GetTableTriggers, NamesWithApostropheOrMixedCase)
{
    CTempDatabase db(R"(
CREATE TABLE "O'Brien" (ID INTEGER);
CREATE TABLE "MixedCase" (ID INTEGER);
CREATE SEQUENCE "Gen'Quote";
ALTER SEQUENCE "Gen'Quote" RESTART WITH 5;
CREATE SEQUENCE "genLower";
ALTER SEQUENCE "genLower" RESTART WITH 6;
SET TERM ^ ;
CREATE TRIGGER "O'Brien_BI" FOR "O'Brien" BEFORE INSERT AS BEGIN NEW.ID = GEN_ID("Gen'Quote", 1); END^
CREATE TRIGGER "Mixed_BI" FOR "MixedCase" BEFORE INSERT AS BEGIN NEW.ID = GEN_ID("genLower", 1); END^
SET TERM ; ^
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("O'Brien", triggers));
    ASSERT_EQ(triggers.RowCount(), 1);
    EXPECT_EQ(TriggerRow(triggers, "O'Brien_BI").generator, "Gen'Quote");
    EXPECT_EQ(TriggerRow(triggers, "O'Brien_BI").value, "5");
    ASSERT_TRUE(connection.GetTableTriggers("MixedCase", triggers));
    ASSERT_EQ(triggers.RowCount(), 1);
    EXPECT_EQ(TriggerRow(triggers, "Mixed_BI").generator, "genLower");
    EXPECT_EQ(TriggerRow(triggers, "Mixed_BI").value, "6");
}

// A generator whose name is a reserved word can only be read quoted; one such
// generator anywhere in the database must not break the query for every table.
TEST(GetTableTriggers, GeneratorNamedLikeAReservedWord)
{
    CTempDatabase db(R"(
CREATE TABLE T (ID INTEGER);
CREATE SEQUENCE "LOCALTIME";
ALTER SEQUENCE "LOCALTIME" RESTART WITH 3;
CREATE SEQUENCE "VALUE";
ALTER SEQUENCE "VALUE" RESTART WITH 4;
SET TERM ^ ;
CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN NEW.ID = GEN_ID("LOCALTIME", 1); END^
SET TERM ; ^
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("T", triggers));
    EXPECT_EQ(TriggerRow(triggers, "T_BI").generator, "LOCALTIME");
    EXPECT_EQ(TriggerRow(triggers, "T_BI").value, "3");
}

TEST(GetTableTriggers, ThroughTheLoopbackServer)
{
    REQUIRE_TEST_SERVER();
    CTempDatabase db(Customers, CTempDatabase::SOptions{"UTF8", true, "server.fdb"});
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid triggers;
    ASSERT_TRUE(connection.GetTableTriggers("CUST", triggers));
    ASSERT_EQ(triggers.RowCount(), 2);
    EXPECT_EQ(TriggerRow(triggers, "T_BI").generator, "GEN_CUST");
    EXPECT_EQ(TriggerRow(triggers, "T_BI").value, "42");
    EXPECT_EQ(TriggerRow(triggers, "T_AU").generator, "");
    CStringGrid keys;
    ASSERT_TRUE(connection.GetKeyFields("CUST", keys));
    EXPECT_EQ(KeyRows(keys), (std::set<CKeyRow>{{"ID", "PRIMARY KEY", "CUST"}}));
}

TEST(GetTableTriggers, FailsWhenNotAttached)
{
    CFbConnection connection(1);
    CStringGrid triggers;
    EXPECT_FALSE(connection.GetTableTriggers("CUST", triggers));
}

TEST(GetKeyFields, PrimaryAndForeignKeyFields)
{
    CTempDatabase db(R"(
CREATE TABLE CUST (ID INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE ORDERS (ID INTEGER NOT NULL PRIMARY KEY, CUST_ID INTEGER REFERENCES CUST (ID), NOTE VARCHAR(20));
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid keys;
    ASSERT_TRUE(connection.GetKeyFields("ORDERS", keys));
    EXPECT_EQ(keys.RowCount(), 2);
    EXPECT_EQ(KeyRows(keys),
              (std::set<CKeyRow>{{"ID", "PRIMARY KEY", "ORDERS"}, {"CUST_ID", "FOREIGN KEY", "ORDERS"}}));
}

TEST(GetKeyFields, EverySegmentOfACompositeKey)
{
    CTempDatabase db(R"(
CREATE TABLE LINES (ORDER_ID INTEGER NOT NULL, LINE_NO INTEGER NOT NULL, CONSTRAINT PK_LINES PRIMARY KEY (ORDER_ID, LINE_NO));
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid keys;
    ASSERT_TRUE(connection.GetKeyFields("LINES", keys));
    EXPECT_EQ(KeyRows(keys),
              (std::set<CKeyRow>{{"ORDER_ID", "PRIMARY KEY", "LINES"}, {"LINE_NO", "PRIMARY KEY", "LINES"}}));
}

TEST(GetKeyFields, TableWithoutKeyConstraintsGivesAnEmptyGrid)
{
    CTempDatabase db(R"(
CREATE TABLE LOOSE (A INTEGER NOT NULL, B INTEGER UNIQUE, C INTEGER CHECK (C > 0));
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid keys;
    ASSERT_TRUE(connection.GetKeyFields("LOOSE", keys));
    EXPECT_EQ(keys.RowCount(), 0);
}

TEST(GetKeyFields, TableNameWithApostropheOrMixedCase)
{
    CTempDatabase db(R"(
CREATE TABLE "O'Brien" ("Id" INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE "MixedCase" (ID INTEGER NOT NULL PRIMARY KEY);
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CStringGrid keys;
    ASSERT_TRUE(connection.GetKeyFields("O'Brien", keys));
    EXPECT_EQ(KeyRows(keys), (std::set<CKeyRow>{{"Id", "PRIMARY KEY", "O'Brien"}}));
    ASSERT_TRUE(connection.GetKeyFields("MixedCase", keys));
    EXPECT_EQ(KeyRows(keys), (std::set<CKeyRow>{{"ID", "PRIMARY KEY", "MixedCase"}}));
}

TEST(GetKeyFields, FailsWhenNotAttached)
{
    CFbConnection connection(1);
    CStringGrid keys;
    EXPECT_FALSE(connection.GetKeyFields("ORDERS", keys));
}

TEST(SqlText, IdentifierIsQuotedWhenItIsNotAPlainNameOrIsReserved)
{
    EXPECT_EQ(SqlIdentifier("GEN_CUST"), "GEN_CUST");
    EXPECT_EQ(SqlIdentifier("RDB$SECURITY_CLASS"), "RDB$SECURITY_CLASS");
    EXPECT_EQ(SqlIdentifier("genLower"), "\"genLower\"");
    EXPECT_EQ(SqlIdentifier("1ST"), "\"1ST\"");
    EXPECT_EQ(SqlIdentifier("A\"B"), "\"A\"\"B\"");
    for (const char* word : {"VALUE", "USER", "LOCALTIME", "LOCALTIMESTAMP", "ROW_COUNT", "CHAR_LENGTH"})
        EXPECT_EQ(SqlIdentifier(word), "\"" + std::string(word) + "\"") << word;
}

TEST(SqlText, ApostrophesAreDoubled)
{
    EXPECT_EQ(EscapeSqlString("O'Brien"), "O''Brien");
    EXPECT_EQ(EscapeSqlString("''"), "''''");
    EXPECT_EQ(EscapeSqlString("plain"), "plain");
}
