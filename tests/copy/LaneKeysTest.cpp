// The keys by which rows go to writer lanes: values the destination's
// collation holds equal must give one key, or they could meet across lanes.
#include "BoundValues.h"
#include "CopyFixture.h"

#include "copy/write/LaneKeys.h"
#include "db/CFbConnection.h"
#include "db/ConcurrentInsertQueries.h"

#include <ibase.h>

namespace
{
class LaneKeys : public EmbeddedOrServer
{
};

// A VARCHAR as the source delivers it unconverted: a length, then the bytes.
SBoundValue Varying(const std::string& text)
{
    SBoundValue value;
    value.kind = SBoundValue::Raw;
    value.sqlType = SQL_VARYING;
    value.subType = 4; // UTF8
    const auto length = static_cast<unsigned short>(text.size());
    value.bytes.assign(reinterpret_cast<const char*>(&length), 2);
    value.bytes += text;
    return value;
}

TEST_P(LaneKeys, ValuesTheKeysCollationHoldsEqualGiveOneKey)
{
    const char* const collations[] = {"UNICODE_CI_AI", "UNICODE_CI", "UNICODE", "UTF8"};
    std::string ddl;
    for (int i = 0; i < 4; ++i)
        ddl += "CREATE TABLE K" + std::to_string(i) +
               " (ID VARCHAR(30) CHARACTER SET UTF8 NOT NULL PRIMARY KEY COLLATE " + collations[i] + ");";
    CTempDatabase db(ddl, OnPath(GetParam(), "keys.fdb"));
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name())) << connection.LastErrorMessage();
    const std::pair<const char*, const char*> pairs[] = {
        {"Ärger", "ARGER"},  {"Ärger", "ärger"}, {"ARGER", "ärger"},       {"Ärger", "äRGER"},
        {"Ärger", "Ärger "}, {"café", "CAFE"},   {"Ångström", "angstrom"}, {"Øre", "øre"},
        {"ÇA", "ça"},        {"ARGER", "ARGEX"}, {"Ärger", "Arger"},       {"abc", "abc"},
    };
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(collations[i]);
        SConcurrentInsertFacts facts;
        ASSERT_TRUE(ReadConcurrentInsertFacts(connection, "K" + std::to_string(i), facts))
            << connection.LastErrorMessage();
        ASSERT_EQ(facts.uniqueKey.size(), 1u);
        EXPECT_EQ(facts.uniqueKey[0].collation, collations[i]);
        CLaneKeys keys(facts.uniqueKey, {0});
        for (const auto& [a, b] : pairs)
        {
            SCOPED_TRACE(std::string(a) + " / " + b);
            const std::string equal = db.Scalar(
                std::string("SELECT IIF(CAST('") + a + "' AS VARCHAR(30) CHARACTER SET UTF8) COLLATE " + collations[i] +
                " = CAST('" + b + "' AS VARCHAR(30) CHARACTER SET UTF8), 1, 0) FROM RDB$DATABASE");
            const std::string keyA = keys.KeyOf({TextValue(a)});
            // Delivered converted or as it is, a value gives the same key.
            EXPECT_EQ(keyA, keys.KeyOf({Varying(a)}));
            if (equal == "1")
            {
                EXPECT_EQ(keyA, keys.KeyOf({TextValue(b)}));
            }
            else if (std::string(b) == "ARGEX")
            {
                EXPECT_NE(keyA, keys.KeyOf({TextValue(b)})); // keys still tell different values apart
            }
        }
    }
    // The three spellings of one word under UNICODE_CI_AI, as a lane sees them.
    SConcurrentInsertFacts facts;
    ASSERT_TRUE(ReadConcurrentInsertFacts(connection, "K0", facts));
    EXPECT_EQ(facts.uniqueKey[0].collationAttributes & (CollationCaseInsensitive | CollationAccentInsensitive),
              CollationCaseInsensitive | CollationAccentInsensitive);
    CLaneKeys keys(facts.uniqueKey, {0});
    EXPECT_EQ(keys.KeyOf({TextValue("Ärger")}), keys.KeyOf({TextValue("ARGER")}));
    EXPECT_EQ(keys.KeyOf({TextValue("Ärger")}), keys.KeyOf({TextValue("ärger")}));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, LaneKeys, ::testing::Values(false, true), PathName);
