// What the catalogue says about inserting a table's rows from several
// attachments side by side, the connection's own state and round trip, and
// the field-type codes' text tests.
#include "db/ConcurrentInsertQueries.h"
#include "db/CFbConnection.h"
#include "db/FieldTypes.h"
#include "db/RoundTrip.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
TEST(ConcurrentInsertQueries, ReadTheKeysGuardsAndRowsOfATable)
{
    CTempDatabase db(R"(
CREATE TABLE PLAIN (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));
CREATE TABLE TWO_KEYS (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10) UNIQUE);
CREATE TABLE CHAIN (ID INTEGER NOT NULL PRIMARY KEY, P INTEGER REFERENCES CHAIN (ID));
CREATE TABLE LOOKS (ID INTEGER NOT NULL PRIMARY KEY, P INTEGER, CHECK (P IN (SELECT ID FROM LOOKS)));
CREATE TABLE NAMED (A VARCHAR(10) CHARACTER SET UTF8 NOT NULL COLLATE UNICODE_CI, B INTEGER NOT NULL,
  PRIMARY KEY (A, B));
CREATE TABLE FILLED (ID INTEGER);
INSERT INTO FILLED VALUES (1);
)");
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name())) << connection.LastErrorMessage();
    const struct
    {
        const char* table;
        int uniqueIndexes;
        bool selfReference, selectingCheck;
        std::vector<std::string> key;
        bool hasRows;
    } cases[] = {
        {"PLAIN", 1, false, false, {"ID"}, false},     {"TWO_KEYS", 2, false, false, {"ID", "S"}, false},
        {"CHAIN", 1, true, false, {"ID"}, false},      {"LOOKS", 1, false, true, {"ID"}, false},
        {"NAMED", 1, false, false, {"A", "B"}, false}, {"FILLED", 0, false, false, {}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.table);
        SConcurrentInsertFacts facts;
        ASSERT_TRUE(ReadConcurrentInsertFacts(connection, c.table, facts)) << connection.LastErrorMessage();
        EXPECT_EQ(facts.uniqueIndexes, c.uniqueIndexes);
        EXPECT_EQ(facts.expressionIndexes, 0);
        EXPECT_EQ(facts.selfReferences > 0, c.selfReference);
        EXPECT_EQ(facts.selectingChecks > 0, c.selectingCheck); // counted once for each of its triggers
        std::vector<std::string> key;
        for (const SKeyColumn& column : facts.uniqueKey)
            key.push_back(column.name);
        // Two unique indexes list the columns of both, which keeps such a
        // table from lanes anyway.
        if (c.uniqueIndexes > 1)
            std::sort(key.begin(), key.end());
        EXPECT_EQ(key, c.key);
        EXPECT_EQ(facts.hasRows, c.hasRows);
    }
    SConcurrentInsertFacts named;
    ASSERT_TRUE(ReadConcurrentInsertFacts(connection, "NAMED", named));
    ASSERT_EQ(named.uniqueKey.size(), 2u);
    EXPECT_EQ(named.uniqueKey[0].collation, "UNICODE_CI");
    EXPECT_EQ(named.uniqueKey[0].collationAttributes & CollationCaseInsensitive, CollationCaseInsensitive);
    EXPECT_EQ(named.uniqueKey[0].collationAttributes & CollationAccentInsensitive, 0);
    EXPECT_EQ(named.uniqueKey[1].collation, ""); // a number has none
}

TEST(CFbConnection, AnswersWhileAttachedAndTakesNoRoundTripInProcess)
{
    CTempDatabase db;
    CFbConnection connection(1);
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_FALSE(connection.Answers());
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name())) << connection.LastErrorMessage();
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_TRUE(connection.Answers());
    EXPECT_EQ(RoundTripMs(connection), 0.0); // embedded: no wire
    EXPECT_FALSE(connection.InTransaction());
    ASSERT_TRUE(connection.EnsureTransaction());
    EXPECT_TRUE(connection.InTransaction());
    ASSERT_TRUE(connection.Disconnect());
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_FALSE(connection.Answers());
}

TEST(FieldTypes, TextIsCharVarcharCstringOrATextBlobAndTablesDeclareAllButCstring)
{
    const struct
    {
        int type, subType;
        bool text, declared;
    } cases[] = {
        {FieldChar, 0, true, true},        {FieldVarchar, 0, true, true},   {FieldCstring, 0, true, false},
        {FieldBlob, 1, true, true},        {FieldBlob, 0, false, false},    {FieldInteger, 0, false, false},
        {FieldTimestamp, 0, false, false}, {FieldBoolean, 0, false, false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(IsTextType(c.type, c.subType), c.text) << c.type;
        EXPECT_EQ(IsDeclaredTextType(c.type, c.subType), c.declared) << c.type;
    }
}
} // namespace
