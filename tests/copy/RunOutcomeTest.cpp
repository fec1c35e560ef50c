// What a run tells of each of its tables (status, rows, verification, time,
// first failure) and the tables it records as failed for a retry.
#include "copy/plan/CTableList.h"
#include "copy/safety/CFailedTables.h"

#include "CopyFixture.h"

#include <vector>

namespace
{
bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const char* const SourceDdl = R"(
CREATE TABLE GOOD (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10), B BLOB SUB_TYPE TEXT);
CREATE TABLE BAD (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));
CREATE TABLE NONE_LEFT (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));
CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE CHILD (ID INTEGER NOT NULL PRIMARY KEY, PARENT_ID INTEGER REFERENCES PARENT (ID));
INSERT INTO GOOD VALUES (1, 'a', CAST(LPAD('', 8000, 'x') AS BLOB SUB_TYPE TEXT) || LPAD('', 8000, 'y') ||
    LPAD('', 8000, 'x') || LPAD('', 8000, 'y') || LPAD('', 8000, 'z'));
INSERT INTO GOOD VALUES (2, 'b', NULL);
INSERT INTO BAD VALUES (1, 'fits');
INSERT INTO BAD VALUES (2, 'too long');
INSERT INTO BAD VALUES (3, 'ok');
INSERT INTO PARENT VALUES (1);
INSERT INTO CHILD VALUES (1, 1);
)";

// BAD is narrower; CHILD gained a NOT NULL column that nothing can fill, so
// it and PARENT, which foreign keys join to it, cannot be refilled.
const char* const DestDdl = R"(
CREATE TABLE GOOD (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10), B BLOB SUB_TYPE TEXT);
CREATE TABLE BAD (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(4));
CREATE TABLE NONE_LEFT (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));
CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE CHILD (ID INTEGER NOT NULL PRIMARY KEY, PARENT_ID INTEGER REFERENCES PARENT (ID),
  REQUIRED DATE NOT NULL);
INSERT INTO NONE_LEFT VALUES (9, 'kept');
INSERT INTO PARENT VALUES (7);
)";

struct SExpected
{
    const char* table;
    ETableStatus status;
    long long read;
    long long written;
    long long failed;
    bool verified;
    long long identical;
    const char* errorPart; // empty: no error
};
} // namespace

using RunOutcome = EmbeddedOrServer;

TEST_P(RunOutcome, EveryTableOfTheRunHasItsStatusFiguresAndFirstFailure)
{
    auto copy = Make(SourceDdl, DestDdl);
    copy->engine.FailedTables().SetPath(copy->program.File("FailedTables.txt"));
    const std::vector<std::string> tables{"BAD", "CHILD", "GOOD", "NONE_LEFT", "PARENT"};
    const SRunRecord run = RunTables(*copy, tables);
    const SExpected expected[] = {
        {"BAD", ETableStatus::Failed, 3, 2, 1, true, 2, "string right truncation"},
        // CHILD fails for its own reason; PARENT, joined to it, is not attempted.
        {"CHILD", ETableStatus::Failed, 0, 0, 0, false, 0,
         "Column REQUIRED (DATE NOT NULL) has no source column and needs a DEFAULT"},
        // A BLOB too long to travel in its row passes in pieces, which are no rows.
        {"GOOD", ETableStatus::Copied, 2, 2, 0, true, 2, ""},
        {"NONE_LEFT", ETableStatus::EmptySource, 0, 0, 0, false, 0, ""},
        {"PARENT", ETableStatus::Skipped, 0, 0, 0, false, 0, "copied together with CHILD, which cannot be refilled"},
    };
    ASSERT_EQ(run.result.tables.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
    {
        const SExpected& e = expected[i];
        const STableOutcome& got = run.result.tables[i];
        SCOPED_TRACE(e.table);
        EXPECT_EQ(got.table, e.table);
        EXPECT_STREQ(TableStatusName(got.status), TableStatusName(e.status)) << got.error;
        EXPECT_EQ(got.rowsRead, e.read);
        EXPECT_EQ(got.rowsWritten, e.written);
        EXPECT_EQ(got.rowsFailed, e.failed);
        EXPECT_EQ(got.verified, e.verified);
        if (e.verified)
        {
            EXPECT_EQ(got.verification.identical, e.identical);
        }
        EXPECT_GE(got.seconds, 0.0);
        if (*e.errorPart == 0)
            EXPECT_EQ(got.error, "");
        else
            EXPECT_TRUE(Contains(got.error, e.errorPart)) << got.error;
    }
    // What the destination holds, read by its own attachment.
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM (SELECT ID FROM BAD ORDER BY ID)"), "1,3");
    EXPECT_EQ(copy->dest.Scalar("SELECT S FROM NONE_LEFT"), "kept");
    EXPECT_EQ(copy->dest.Scalar("SELECT ID FROM PARENT"), "7");

    // The failed and the skipped tables are recorded for the destination.
    std::vector<std::string> recorded;
    ASSERT_TRUE(copy->engine.FailedTables().Find(copy->engine.DestinationKey(), recorded));
    EXPECT_EQ(recorded, (std::vector<std::string>{"BAD", "CHILD", "PARENT"}));

    // The next run replaces the record: a run without failures leaves none.
    const SRunRecord again = RunTables(*copy, {"GOOD"});
    EXPECT_TRUE(again.result.allCopied);
    EXPECT_FALSE(copy->engine.FailedTables().Find(copy->engine.DestinationKey(), recorded));
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, RunOutcome, ::testing::Values(false, true), PathName);

TEST(FailedTables, EachDestinationKeepsItsOwnRecordByIdentityOrName)
{
    CTempFolder folder;
    CFailedTables record;
    record.SetPath(folder.File("FailedTables.txt"));
    // Names with what the file separates its fields and lines by.
    const std::vector<std::string> odd{"A\tB", "C\\D", "E\nF"};
    ASSERT_TRUE(record.Store({"db1.fdb", "id-1"}, {"T1", "T2"}));
    ASSERT_TRUE(record.Store({"db2.fdb", "id-2"}, odd));
    ASSERT_TRUE(record.Store({"db3.fdb", ""}, {"T3"}));
    std::vector<std::string> tables;
    ASSERT_TRUE(record.Find({"other/name.fdb", "id-1"}, tables)); // the identity decides, not the name
    EXPECT_EQ(tables, (std::vector<std::string>{"T1", "T2"}));
    ASSERT_TRUE(record.Find({"db2.fdb", "id-2"}, tables));
    EXPECT_EQ(tables, odd);
    EXPECT_TRUE(record.Find({"db3.fdb", ""}, tables));
    EXPECT_FALSE(record.Find({"db1.fdb", "id-9"}, tables));
    // A run without failures removes its destination's entry only.
    ASSERT_TRUE(record.Store({"db1.fdb", "id-1"}, {}));
    EXPECT_FALSE(record.Find({"db1.fdb", "id-1"}, tables));
    EXPECT_TRUE(record.Find({"db2.fdb", "id-2"}, tables));
    record.SetPath(folder.File("missing/FailedTables.txt"));
    EXPECT_FALSE(record.Store({"db1.fdb", "id-1"}, {"T"}));
}

TEST(TableChoice, NamesAreFoundAsTheTableListComparesThem)
{
    const std::vector<STableListRow> rows{
        {"Customer", ""}, {"CUSTOMER", ""}, {"ORDERS", ""}, {"order lines", ""}, {"Stock", ""}};
    struct SCase
    {
        bool all;
        std::vector<std::string> include;
        std::vector<std::string> exclude;
        STableChoice::EError error;
        std::string name;
        std::vector<std::string> tables;
    };
    using E = STableChoice::EError;
    const SCase cases[] = {
        {true, {}, {}, E::None, "", {"Customer", "CUSTOMER", "ORDERS", "order lines", "Stock"}},
        // Letter case aside where one table fits; in list order whatever the order given.
        {false, {"stock", "orders"}, {}, E::None, "", {"ORDERS", "Stock"}},
        {false, {"Order Lines"}, {}, E::None, "", {"order lines"}},
        // The exact spelling decides between two tables that differ in case only.
        {false, {"Customer"}, {}, E::None, "", {"Customer"}},
        {false, {"customer"}, {}, E::Ambiguous, "customer", {}},
        {false, {"ORDERS", "NOPE"}, {}, E::Unknown, "NOPE", {}},
        {true, {}, {"orders", "stock"}, E::None, "", {"Customer", "CUSTOMER", "order lines"}},
        {true, {}, {"NOPE"}, E::Unknown, "NOPE", {}},
        {false, {"ORDERS", "Stock"}, {"stock"}, E::None, "", {"ORDERS"}},
        {false, {"ORDERS", "ORDERS"}, {}, E::None, "", {"ORDERS"}},
        {true, {}, {"Customer", "CUSTOMER", "ORDERS", "order lines", "Stock"}, E::None, "", {}},
    };
    for (const SCase& c : cases)
    {
        const STableChoice choice = ChooseTables(rows, c.all, c.include, c.exclude);
        std::string what = c.all ? "all" : "";
        for (const std::string& name : c.include)
            what += " " + name;
        for (const std::string& name : c.exclude)
            what += " -" + name;
        EXPECT_EQ(choice.error, c.error) << what;
        EXPECT_EQ(choice.name, c.name) << what;
        EXPECT_EQ(choice.tables, c.tables) << what;
        if (c.error == E::Ambiguous)
        {
            EXPECT_EQ(choice.candidates, (std::vector<std::string>{"Customer", "CUSTOMER"}));
        }
    }
}
