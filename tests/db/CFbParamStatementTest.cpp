#include "db/CFbParamStatement.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
const char* const Table = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(2000), B BLOB SUB_TYPE TEXT,"
                          " X BIGINT CHECK (X IS NULL OR X >= 0), W VARCHAR(25000) CHARACTER SET OCTETS, V VARCHAR(25000) CHARACTER SET OCTETS);";

std::string Int64Bytes(long long value)
{
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::string Utf8Text(size_t characters)
{
    std::string text;
    for (size_t i = 0; text.size() < characters * 2; ++i)
        text += (i % 3 == 0) ? "é" : (i % 3 == 1 ? "ab" : "€");
    return text;
}

struct SRow
{
    int id;
    const char* s;      // nullptr: NULL
    std::string b;      // empty: NULL
    long long x;        // negative: NULL (or a failing value when fails is set)
    size_t wideLength;  // W and V filled with this many characters; 0: NULL
    bool fails = false; // X breaks the CHECK constraint
};

class ParamStatement : public ::testing::TestWithParam<bool>
{
};
} // namespace

// The rows change their layout (NULLs first, texts that outgrow their room,
// a BLOB too long for a string, rows too wide for one message) and repeat
// it, with a refused row in between: every stored value is the bound one.
TEST_P(ParamStatement, ValuesArriveWhateverTheLayoutOfTheRowBefore)
{
    const bool viaServer = GetParam();
    if (viaServer)
        REQUIRE_TEST_SERVER();
    CTempDatabase db(Table, CTempDatabase::SOptions{"UTF8", viaServer, "p.fdb"});
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    EXPECT_EQ(connection.IsInProcess(), !viaServer);
    CFbParamStatement insert(connection);
    ASSERT_TRUE(insert.Prepare("INSERT INTO T (ID, S, B, X, W, V) VALUES (?, ?, ?, ?, ?, ?)"));

    const std::string longBlob = Utf8Text(40000);
    const std::string longText = Utf8Text(1500);
    const std::vector<SRow> rows = {
        {1, nullptr, "", -1, 0},
        {2, "a", "small blob", 5, 0},
        {3, "grows beyond its room: 0123456789", "", 6, 0},
        {4, longText.c_str(), longBlob, 7, 0},
        {5, "b", "x", 8, 0},
        {6, "c", "y", 9, 0},
        {7, "refused", "z", -5, 0, true},
        {8, "after the refused row", "z", 10, 0},
        {9, "wider than one message", "", 11, 24000},
        {10, "back to a small row", "w", 12, 0},
        {11, "and the same layout again", "v", 13, 0},
    };
    for (const SRow& row : rows)
    {
        insert.SetRaw(0, SQL_LONG, 0, 0, std::string(reinterpret_cast<const char*>(&row.id), 4));
        if (row.s)
            insert.SetBytes(1, row.s, false);
        else
            insert.SetNull(1);
        if (row.b.empty())
            insert.SetNull(2);
        else
            insert.SetBytes(2, row.b, false);
        if (row.x < 0 && !row.fails)
            insert.SetNull(3);
        else
            insert.SetRaw(3, SQL_INT64, 0, 0, Int64Bytes(row.x));
        if (row.wideLength == 0)
        {
            insert.SetNull(4);
            insert.SetNull(5);
        }
        else
        {
            insert.SetBytes(4, std::string(row.wideLength, 'w'), true);
            insert.SetBytes(5, std::string(row.wideLength, 'v'), true);
        }
        EXPECT_EQ(insert.Execute(), !row.fails) << "row " << row.id << ": " << insert.LastErrorMessage();
    }
    connection.Commit();

    const auto stored = db.Query("SELECT ID, S, B, X, CHAR_LENGTH(W), CHAR_LENGTH(V) FROM T ORDER BY ID");
    std::vector<std::vector<std::string>> expected;
    for (const SRow& row : rows)
    {
        if (row.fails)
            continue;
        const std::string wide = row.wideLength ? std::to_string(row.wideLength) : "<null>";
        expected.push_back({std::to_string(row.id), row.s ? row.s : "<null>", row.b.empty() ? "<null>" : row.b,
                            row.x < 0 ? "<null>" : std::to_string(row.x), wide, wide});
    }
    ASSERT_EQ(stored.size(), expected.size());
    for (size_t r = 0; r < expected.size(); ++r)
        EXPECT_EQ(stored[r], expected[r]) << "row " << expected[r][0];
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, ParamStatement, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
