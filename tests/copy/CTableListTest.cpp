#include "copy/plan/CTableList.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include <gtest/gtest.h>

namespace
{
SDatabaseLogin Login(const CTempDatabase& db)
{
    return {db.Name(), TestUser, TestPassword};
}
} // namespace

TEST(CTableList, HoldsTablesOfBothDatabasesUnderTheDestinationSpelling)
{
    CWatchedDatabase source(R"(CREATE TABLE ORDERS (ID INTEGER); CREATE TABLE ONLY_SOURCE (ID INTEGER);
                            CREATE TABLE CUSTOMER (ID INTEGER);)");
    CTempDatabase dest(R"(CREATE TABLE "Orders" (ID INTEGER); CREATE TABLE ONLY_DEST (ID INTEGER);
                          CREATE TABLE CUSTOMER (ID INTEGER); CREATE GENERATOR GEN_CUSTOMER;
                          SET GENERATOR GEN_CUSTOMER TO 17;
                          SET TERM ^ ;
                          CREATE TRIGGER CUSTOMER_BI FOR CUSTOMER BEFORE INSERT AS
                            BEGIN NEW.ID = GEN_ID(GEN_CUSTOMER, 1); END^
                          CREATE TRIGGER CUSTOMER_AU FOR CUSTOMER AFTER UPDATE AS BEGIN END^
                          SET TERM ; ^)");
    std::vector<STableListRow> rows;
    ASSERT_TRUE(BuildTableList(1, Login(source), Login(dest), rows));
    SortTableList(rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "CUSTOMER");
    EXPECT_EQ(rows[0].triggers, " CUSTOMER_BI (GEN_CUSTOMER=17) CUSTOMER_AU");
    EXPECT_EQ(rows[1].name, "Orders");
    EXPECT_EQ(rows[1].triggers, "");
}

TEST(CTableList, SystemTriggersAreNotListed)
{
    // A CHECK constraint brings triggers with system flag 3, a table of its
    // own only the ones the engine makes; neither kind is a user trigger.
    const char* ddl = "CREATE TABLE T (ID INTEGER CHECK (ID > 0));";
    CWatchedDatabase source(ddl);
    CTempDatabase dest(ddl);
    std::vector<STableListRow> rows;
    ASSERT_TRUE(BuildTableList(1, Login(source), Login(dest), rows));
    ASSERT_EQ(rows.size(), 1u);
    CStringGrid triggers;
    triggers.SetSize(4, 2);
    triggers.SetCell(0, 0, "SYSTEM_ONE");
    triggers.SetCell(1, 0, "1");
    triggers.SetCell(0, 1, "USER_ONE");
    triggers.SetCell(1, 1, "0");
    EXPECT_EQ(BuildTriggerText(triggers), " USER_ONE");
}

TEST(CTableList, UnattachableDatabaseGivesNoList)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER);");
    CTempFolder folder;
    std::vector<STableListRow> rows;
    EXPECT_FALSE(BuildTableList(1, Login(db), {folder.File("missing.fdb"), TestUser, TestPassword}, rows));
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(BuildTableList(1, {folder.File("missing.fdb"), TestUser, TestPassword}, Login(db), rows));
}

TEST(CTableList, SortsWithoutLetterCase)
{
    std::vector<STableListRow> rows{{"beta", ""}, {"ALPHA", ""}, {"Gamma", ""}, {"alpha", ""}};
    SortTableList(rows);
    EXPECT_EQ(rows[0].name, "ALPHA");
    EXPECT_EQ(rows[1].name, "alpha");
    EXPECT_EQ(rows[2].name, "beta");
    EXPECT_EQ(rows[3].name, "Gamma");
}
