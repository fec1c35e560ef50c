// Values across the inline limit of a statement parameter and far beyond it:
// BLOBs that pass through the copy in pieces, their character sets, rows
// that fail with them, and how the logs show them.
#include "CopyFixture.h"

#include "copy/verify/CopyCompare.h"
#include "core/Crc32.h"

#include "db/CFbConnection.h"
#include "db/CFbParamStatement.h"
#include "support/CrossDatabaseCompare.h"

#include <cstdint>
#include <optional>

namespace
{
constexpr size_t InlineLimit = 32765;    // the longest string a statement parameter takes
constexpr size_t BeyondBudget = 3145729; // more than a batch of rows holds (3 MB and a byte)

using Value = std::optional<std::string>; // nullopt: NULL

// Bytes of every value, in an order that differs from row to row and never
// repeats within a value, so a piece out of place cannot go unnoticed.
std::string Bytes(unsigned seed, size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u ^ (seed * 2654435761u);
    for (char& c : bytes)
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

// UTF-8 text of exactly size bytes: numbered lines with letters beyond ASCII
// (wide: also beyond WIN1252), ASCII at the very end to meet the size.
std::string Text(unsigned seed, size_t size, bool wide = false)
{
    std::string text;
    for (unsigned line = 0; text.size() + 80 < size; ++line)
        text += "Line " + std::to_string(seed * 100000 + line) + (wide ? ": 日本語 " : ": Grüße € œ ") +
                std::string(line % 37, static_cast<char>('a' + line % 26)) + "\n";
    text.append(size - text.size(), 'z');
    return text;
}

std::string LengthComment(const std::string& bytes)
{
    std::string digits = std::to_string(bytes.size());
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", Crc32Update(0, bytes.data(), bytes.size()));
    return "/* " + digits + " bytes, crc32 " + crc + " */";
}

// Inserts rows through a parameterised statement: SQL literals stop at 32 KB.
// binary names the parameters whose values are bytes, not text.
void InsertRows(const CWatchedDatabase& db, const std::string& sql, const std::vector<std::vector<Value>>& rows,
                const std::vector<bool>& binary)
{
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name())) << connection.LastErrorMessage();
    CFbParamStatement insert(connection);
    ASSERT_TRUE(insert.Prepare(sql)) << insert.LastErrorMessage();
    for (const std::vector<Value>& row : rows)
    {
        for (size_t i = 0; i < row.size(); ++i)
        {
            if (row[i])
                insert.SetBytes(static_cast<int>(i), *row[i], binary[i]);
            else
                insert.SetNull(static_cast<int>(i));
        }
        ASSERT_TRUE(insert.Execute()) << insert.LastErrorMessage();
    }
    ASSERT_TRUE(connection.Commit()) << connection.LastErrorMessage();
    // The watched source takes these rows as the test's own.
    db.Run("DELETE FROM RDB$DATABASE WHERE 1 = 0");
}

// The first 64 bytes of a text, fewer when a character would be cut.
std::string Head(const std::string& text)
{
    size_t end = std::min<size_t>(64, text.size());
    while (end < text.size() && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "x'";
    for (unsigned char c : bytes)
        text += std::string{digits[c >> 4], digits[c & 15]};
    return text + "'";
}

std::vector<std::vector<std::string>> Lengths(const CTempDatabase& db, const std::string& sql)
{
    return db.Query(sql);
}

class LargeValueCopy : public EmbeddedOrServer
{
};

const char* const BlobTable = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, TXT BLOB SUB_TYPE TEXT,"
                              " BIN BLOB SUB_TYPE BINARY, NOTE VARCHAR(20));";
} // namespace

TEST_P(LargeValueCopy, BlobsAcrossTheInlineLimitAndBeyondTheBatchBudgetArriveByteForByte)
{
    auto copy = Make(BlobTable, BlobTable);
    struct SCase
    {
        int id;
        size_t size; // of both BLOBs
    };
    const std::vector<SCase> cases{
        {1, 0}, {2, 1}, {3, 256}, {4, 257}, {5, InlineLimit}, {6, InlineLimit + 1}, {7, 65536}, {8, BeyondBudget}};
    std::vector<std::vector<Value>> rows;
    for (const SCase& c : cases)
        rows.push_back({std::to_string(c.id), Text(c.id, c.size), Bytes(c.id, c.size), "row " + std::to_string(c.id)});
    rows.push_back({"9", std::nullopt, std::nullopt, std::nullopt});
    InsertRows(copy->source, "INSERT INTO T VALUES (?, ?, ?, ?)", rows, {false, false, true, false});

    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog().substr(0, 3000) << copy->SqlLog().substr(0, 3000);
    EXPECT_EQ(CountMismatchedRows(copy->source, copy->dest, "T", {"ID", "TXT", "BIN", "NOTE"}), 0);
    const char* lengths = "SELECT ID, OCTET_LENGTH(TXT), OCTET_LENGTH(BIN) FROM T ORDER BY ID";
    EXPECT_EQ(Lengths(copy->dest, lengths), Lengths(copy->source, lengths));

    // Up to 256 bytes a value is logged whole; beyond, by its head, length and checksum.
    const std::string sqlLog = copy->SqlLog();
    const std::string textLog = copy->TextLog();
    const std::string runLog = copy->RunLog();
    EXPECT_NE(sqlLog.find("VALUES (3,'" + Text(3, 256) + "',x'"), std::string::npos);
    for (const SCase& c : cases)
    {
        if (c.size <= 256)
            continue;
        const std::string text = Text(c.id, c.size);
        const std::string bytes = Bytes(c.id, c.size);
        const std::string hex = Hex(bytes.substr(0, 64));
        EXPECT_NE(sqlLog.find("VALUES (" + std::to_string(c.id) + ",'" + Head(text) + "'" + LengthComment(text) + "," +
                              hex + LengthComment(bytes) + ",'row "),
                  std::string::npos)
            << c.id;
        EXPECT_NE(textLog.find(std::to_string(c.id) + ";" + Head(text) + LengthComment(text) + ";" + hex +
                               LengthComment(bytes) + ";row " + std::to_string(c.id) + "\r\n"),
                  std::string::npos)
            << c.id;
        EXPECT_NE(runLog.find(Entry("T", "Successfully inserted", Head(text) + LengthComment(text))), std::string::npos)
            << c.id;
    }
    EXPECT_LT(sqlLog.size() + textLog.size() + runLog.size(), 64u * 1024);
    EXPECT_NE(runLog.find(Entry("T", "Verified: 9 rows identical")), std::string::npos);

    // The verification streams long BLOBs too: one byte changed deep inside
    // and one cut short are found and shown abbreviated.
    const std::string bytes = Bytes(8, BeyondBudget);
    const std::string changed = Hex(std::string(1, static_cast<char>(bytes[2000000] ^ 0x5A)));
    copy->dest.Run("UPDATE T SET BIN = OVERLAY(BIN PLACING " + changed +
                   " FROM 2000001) WHERE ID = 8;"
                   " UPDATE T SET TXT = SUBSTRING(TXT FROM 1 FOR 40000) WHERE ID = 7;");
    const SCompareReport report = CompareTables(copy->engine.Settings(), {"T"});
    ASSERT_TRUE(report.compared) << report.error;
    EXPECT_EQ(report.tables.at(0).result.differing, 2);
    const std::string text = CompareReportText(report);
    EXPECT_NE(text.find("Difference (ID=8, BIN: " + Hex(bytes.substr(0, 64)) + LengthComment(bytes) + " in the source"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Difference (ID=7, TXT: '" + Head(Text(7, 65536)) + "'" + LengthComment(Text(7, 65536))),
              std::string::npos)
        << text;
}

TEST_P(LargeValueCopy, ManyMediumBlobsArriveByteForByte)
{
    auto copy = Make(BlobTable, BlobTable);
    std::vector<std::vector<Value>> rows;
    for (unsigned id = 1; id <= 120; ++id)
    {
        const size_t size = 20000 + (id * 7919) % 100000;
        rows.push_back({std::to_string(id), id % 5 == 0 ? Value() : Text(id, size, id % 2 == 0), Bytes(id, size + id),
                        "medium " + std::to_string(id)});
    }
    InsertRows(copy->source, "INSERT INTO T VALUES (?, ?, ?, ?)", rows, {false, false, true, false});
    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog().substr(0, 3000);
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM T"), "120");
    EXPECT_EQ(CountMismatchedRows(copy->source, copy->dest, "T", {"ID", "TXT", "BIN", "NOTE"}), 0);
    const char* lengths = "SELECT ID, OCTET_LENGTH(TXT), OCTET_LENGTH(BIN) FROM T ORDER BY ID";
    EXPECT_EQ(Lengths(copy->dest, lengths), Lengths(copy->source, lengths));
    // Every row's log lines stay short; the rows keep their order.
    const std::string textLog = copy->TextLog();
    EXPECT_LT(textLog.size(), 120u * 400);
    size_t at = 0;
    for (unsigned id : {1u, 5u, 64u, 120u})
    {
        const Value& text = rows[id - 1][1];
        const std::string& bytes = *rows[id - 1][2];
        const std::string line = "\r\n" + std::to_string(id) + ";" + (text ? Head(*text) + LengthComment(*text) : "") +
                                 ";" + Hex(bytes.substr(0, 64)) + LengthComment(bytes) + ";medium " +
                                 std::to_string(id) + "\r\n";
        at = textLog.find(line, at);
        ASSERT_NE(at, std::string::npos) << id;
    }
}

TEST_P(LargeValueCopy, SingleByteTextBlobsArriveAsTheSameCharactersInUtf8)
{
    const char* ddl = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, TXT BLOB SUB_TYPE TEXT);";
    auto copy = Make(ddl, ddl, "WIN1252");
    // 30,000 characters are fewer bytes than the inline limit in WIN1252 and
    // more once read as UTF-8.
    const std::vector<size_t> sizes{300, 30000, 200000, BeyondBudget};
    std::vector<std::vector<Value>> rows;
    for (size_t i = 0; i < sizes.size(); ++i)
        rows.push_back({std::to_string(i + 1), Text(static_cast<unsigned>(i), sizes[i])});
    InsertRows(copy->source, "INSERT INTO T VALUES (?, ?)", rows, {false, false});
    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog().substr(0, 3000) << copy->SqlLog().substr(0, 3000);
    EXPECT_EQ(CountMismatchedRows(copy->source, copy->dest, "T", {"ID", "TXT"}), 0);
    for (size_t i = 0; i < sizes.size(); ++i)
    {
        const std::string id = std::to_string(i + 1);
        EXPECT_EQ(copy->dest.Scalar("SELECT OCTET_LENGTH(TXT) FROM T WHERE ID = " + id), std::to_string(sizes[i]));
        // The logs name the UTF-8 the value became.
        const std::string text = Text(static_cast<unsigned>(i), sizes[i]);
        EXPECT_NE(copy->TextLog().find("\r\n" + id + ";" + Head(text) + LengthComment(text) + "\r\n"),
                  std::string::npos)
            << id;
    }
}

TEST_P(LargeValueCopy, LongLegacyTextBlobsArriveAsTheNamedCodePage)
{
    const char* ddl = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, B BLOB SUB_TYPE TEXT);";
    auto copy = Make(ddl, ddl, "NONE");
    // Windows-1252 bytes in a database without a character set.
    std::string legacy;
    for (int line = 0; legacy.size() < 100000; ++line)
        legacy += "Gr\xFC\xDF"
                  "e \x80 " +
                  std::to_string(line) + "\n";
    std::string utf8;
    for (char c : legacy)
        utf8 += c == '\xFC' ? "ü" : c == '\xDF' ? "ß" : c == '\x80' ? "€" : std::string(1, c);
    InsertRows(copy->source, "INSERT INTO T VALUES (?, ?)", {{"1", legacy}, {"2", "short"}}, {false, true});
    copy->engine.EditSettings().sourceCharset = "WIN1252";
    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog().substr(0, 3000) << copy->SqlLog().substr(0, 3000);
    EXPECT_EQ(CountMismatchedRows(copy->source, copy->dest, "T", {"ID", "B"},
                                  {"ID", "CAST(B AS BLOB SUB_TYPE TEXT CHARACTER SET WIN1252)"}),
              0);
    EXPECT_EQ(copy->dest.Scalar("SELECT OCTET_LENGTH(B) FROM T WHERE ID = 1"), std::to_string(utf8.size()));
    EXPECT_NE(copy->TextLog().find("1;" + Head(utf8) + LengthComment(utf8) + "\r\n"), std::string::npos);
}

TEST_P(LargeValueCopy, RowsWithLongBlobsFailAloneWithTheirOwnEntries)
{
    const std::string destDdl = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, TXT BLOB SUB_TYPE TEXT CHARACTER SET "
                                "WIN1252, BIN BLOB SUB_TYPE BINARY, NOTE VARCHAR(5));";
    auto copy = Make(BlobTable, destDdl);
    const std::string wide = Text(2, 100000, true); // not WIN1252
    std::vector<std::vector<Value>> rows{{"1", Text(1, 100000), Bytes(1, 100000), "ok"},
                                         {"2", wide, Bytes(2, 100000), "ok"},
                                         {"3", Text(3, 100000), Bytes(3, 100000), "too long"},
                                         {"4", Text(4, 100000), Bytes(4, 100000), "ok"}};
    InsertRows(copy->source, "INSERT INTO T VALUES (?, ?, ?, ?)", rows, {false, false, true, false});
    EXPECT_FALSE(copy->Copy("T"));
    const char* arrived = "SELECT ID, CHAR_LENGTH(TXT), OCTET_LENGTH(BIN), NOTE FROM T WHERE ID IN (1, 4) ORDER BY ID";
    EXPECT_EQ(copy->dest.Query(arrived), copy->source.Query(arrived));
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM (SELECT ID FROM T ORDER BY ID)"), "1,4");
    EXPECT_EQ(copy->Report(), "2 T record(s) could not be copied.\r\n\r\n");
    const std::string runLog = copy->RunLog();
    EXPECT_NE(runLog.find(Entry("T", "ERROR: Failed to add", Head(wide) + LengthComment(wide))), std::string::npos)
        << runLog;
    const std::string third = Text(3, 100000);
    EXPECT_NE(runLog.find(Entry("T", "ERROR: Failed to add", Head(third) + LengthComment(third))), std::string::npos);
    EXPECT_EQ(CountOf(runLog, "Successfully inserted"), 2u);
    // Each failed row is followed by the server's reason in the SQL log.
    const std::string sqlLog = copy->SqlLog();
    const size_t second = sqlLog.find("VALUES (2,");
    const size_t fourth = sqlLog.find("VALUES (4,");
    ASSERT_NE(second, std::string::npos);
    ASSERT_NE(fourth, std::string::npos);
    EXPECT_NE(sqlLog.substr(second, fourth - second).find("transliterate"), std::string::npos)
        << sqlLog.substr(second, fourth - second);
    EXPECT_NE(sqlLog.substr(second, fourth - second).find("truncation"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, LargeValueCopy, ::testing::Values(false, true), PathName);
