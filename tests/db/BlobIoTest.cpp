#include "db/BlobIo.h"
#include "db/CFbCursor.h"
#include "db/CFbParamStatement.h"
#include "db/FbHandles.h"
#include "support/CTempDatabase.h"

#include <cstring>
#include <gtest/gtest.h>
#include <utility>

namespace
{
// Bytes that differ at every position of a value.
std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// The number of segments of a stored BLOB and the length of its longest.
std::pair<long, long> Segments(CFbConnection& connection, const XSQLVAR& column)
{
    ISC_QUAD id{};
    std::memcpy(&id, column.sqldata, sizeof id);
    CFbStatus status;
    isc_blob_handle handle = 0;
    if (!connection.EnsureTransaction() ||
        isc_open_blob2(status, CFbHandles::Database(connection), CFbHandles::Transaction(connection), &handle, &id, 0,
                       nullptr))
        return {-1, -1};
    const char items[] = {isc_info_blob_num_segments, isc_info_blob_max_segment};
    char reply[64] = {};
    const bool asked = isc_blob_info(status, &handle, sizeof items, items, sizeof reply, reply) == 0;
    isc_close_blob(status, &handle);
    std::pair<long, long> segments{-1, -1};
    for (const char* at = reply; asked && at < reply + sizeof reply - 3 && *at != isc_info_end;)
    {
        const short length = static_cast<short>(isc_vax_integer(at + 1, 2));
        const long value = isc_vax_integer(at + 3, length);
        (*at == isc_info_blob_num_segments ? segments.first : segments.second) = value;
        at += 3 + length;
    }
    return segments;
}

class BlobIo : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
};
} // namespace

// BLOBs written piece by piece are stored whole; read piece by piece from a
// cursor, no piece is longer than asked and together they are the value.
TEST_P(BlobIo, ValuesPassInPiecesOfTheSizeAsked)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER, B BLOB SUB_TYPE BINARY, C VARCHAR(8) CHARACTER SET OCTETS);",
                     CTempDatabase::SOptions{"UTF8", GetParam(), "b.fdb"});
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CFbParamStatement insert(connection);
    ASSERT_TRUE(insert.Prepare("INSERT INTO T (ID, B, C) VALUES (?, ?, ?)"));
    const struct
    {
        size_t size;
        size_t writePiece;
        size_t readPiece;
    } cases[] = {{0, 1, 1}, {1, 1, 1}, {65535, 65535, 65535}, {65536, 1000, 65536}, {300001, 70000, 100000}};
    int id = 0;
    for (const auto& c : cases)
    {
        const std::string value = Pattern(c.size);
        CFbStatus status;
        CBlobWriter blob;
        ASSERT_TRUE(blob.Create(status, CFbHandles::Database(connection), CFbHandles::Transaction(connection)));
        for (size_t at = 0; at < value.size(); at += c.writePiece)
            ASSERT_TRUE(blob.Write(status, value.data() + at, std::min(c.writePiece, value.size() - at)));
        ISC_QUAD blobId{};
        ASSERT_TRUE(blob.Close(status, blobId)) << status.Message();
        insert.SetBytes(0, std::to_string(++id), false);
        insert.SetBlob(1, blobId);
        insert.SetBytes(2, value.substr(0, 8), true);
        ASSERT_TRUE(insert.Execute()) << insert.LastErrorMessage();
    }
    ASSERT_TRUE(connection.Commit());
    // The engine's own view: each value has its length and begins as written.
    id = 0;
    for (const auto& c : cases)
    {
        EXPECT_EQ(db.Query("SELECT OCTET_LENGTH(B), IIF(SUBSTRING(B FROM 1 FOR 8) = C, 1, 0) FROM T WHERE ID = " +
                           std::to_string(++id)),
                  (std::vector<std::vector<std::string>>{{std::to_string(c.size), "1"}}));
    }

    CFbCursor cursor(connection);
    ASSERT_TRUE(cursor.Open("SELECT B FROM T ORDER BY ID"));
    for (const auto& c : cases)
    {
        ASSERT_EQ(cursor.Fetch(), 1);
        CBlobReader blob;
        ASSERT_TRUE(cursor.OpenBlob(0, blob)) << cursor.LastErrorMessage();
        std::string whole;
        std::string piece;
        int read = 0;
        while ((read = cursor.ReadBlobPiece(blob, piece, c.readPiece)) == 1)
        {
            EXPECT_LE(piece.size(), c.readPiece);
            whole += piece;
            piece.clear();
        }
        EXPECT_EQ(read, 0) << cursor.LastErrorMessage();
        EXPECT_TRUE(cursor.CloseBlob(blob));
        EXPECT_TRUE(whole == Pattern(c.size)) << c.size;
        // Whole segments whatever the pieces written: only the last is short.
        const long full = 65535;
        const auto size = static_cast<long>(c.size);
        EXPECT_EQ(Segments(connection, cursor.Column(0)),
                  std::make_pair((size + full - 1) / full, std::min(size, full)))
            << c.size << " in pieces of " << c.writePiece;
    }
}

// A BLOB written for a text BLOB parameter is filtered from UTF-8 into the
// column's character set; bytes, and other columns, are stored as they are.
TEST_P(BlobIo, TextBlobsAreFilteredIntoTheColumnsCharacterSet)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER, W BLOB SUB_TYPE TEXT CHARACTER SET WIN1252, B BLOB SUB_TYPE BINARY);",
                     CTempDatabase::SOptions{"UTF8", GetParam(), "f.fdb"});
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CFbParamStatement insert(connection);
    ASSERT_TRUE(insert.Prepare("INSERT INTO T (ID, W, B) VALUES (?, ?, ?)"));
    EXPECT_NE(insert.BlobBpb(1, false), "");
    EXPECT_EQ(insert.BlobBpb(1, true), "");
    EXPECT_EQ(insert.BlobBpb(2, false), "");
    EXPECT_EQ(insert.BlobBpb(0, false), "");
    const std::string text = "Grüße €";
    ISC_QUAD ids[2]{};
    for (int i = 0; i < 2; ++i)
    {
        CFbStatus status;
        CBlobWriter blob;
        ASSERT_TRUE(blob.Create(status, CFbHandles::Database(connection), CFbHandles::Transaction(connection),
                                insert.BlobBpb(i + 1, false)));
        ASSERT_TRUE(blob.Write(status, text.data(), text.size()));
        ASSERT_TRUE(blob.Close(status, ids[i])) << status.Message();
    }
    insert.SetBytes(0, "1", false);
    insert.SetBlob(1, ids[0]);
    insert.SetBlob(2, ids[1]);
    ASSERT_TRUE(insert.Execute()) << insert.LastErrorMessage();
    ASSERT_TRUE(connection.Commit());
    EXPECT_EQ(db.Query("SELECT W, OCTET_LENGTH(W), OCTET_LENGTH(B) FROM T"),
              (std::vector<std::vector<std::string>>{{text, "7", std::to_string(text.size())}}));
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, BlobIo, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
