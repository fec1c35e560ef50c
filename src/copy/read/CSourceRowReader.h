#pragma once

#include "copy/logs/LogValues.h"
#include "copy/plan/TablePlan.h"
#include "copy/read/CRowQueue.h"
#include "copy/write/CBatchInserter.h"
#include "db/CFbCursor.h"

#include <map>
#include <string>
#include <vector>

// Numbers, dates, times and booleans: source values the server converts to
// any destination type itself when they are bound as they were fetched.
bool IsPlainValueType(int sqlType);
// Whether a value of sqlType goes into a text parameter as the text CAST
// writes: the server turns a TIMESTAMP parameter into text in the old
// "01-JAN-2020 10:00:00.0000" form, where CAST and INSERT ... SELECT write
// "2020-01-01 10:00:00.0000".
bool GoesAsCastText(int sqlType, bool intoText);
// That text of a fetched TIMESTAMP.
std::string CastText(const XSQLVAR& column);

// What the logs say of one row.
struct SLogLines
{
    std::string insert;
    std::string detail;
    std::string text;
    // The first inserted column holding NONE text that is not UTF-8, or -1.
    int legacyColumn = -1;

    void Swap(SLogLines& other) noexcept
    {
        insert.swap(other.insert);
        detail.swap(other.detail);
        text.swap(other.text);
        std::swap(legacyColumn, other.legacyColumn);
    }
};

// A source row ready for the destination, or a piece of a long BLOB of the
// row that follows. Items are refilled in place, so their buffers circulate
// between the reader and the writer instead of being allocated on one
// thread and freed on the other for every row.
struct SReadRow
{
    BoundRow row;
    SLogLines lines;
    // A piece: bytes of a long BLOB for the inserted column pieceColumn. The
    // pieces of a row's long BLOBs come in order ahead of the row, each
    // BLOB's first piece marked; the row then holds them as kind Blob.
    std::string piece;
    int pieceColumn = -1;
    bool firstPiece = false;
    bool pieceBinary = false; // bytes that are not text (no character set filter)
    // Why the row is not inserted at all, though it was read; empty for a
    // row to insert.
    std::string refusal;

    bool IsPiece() const { return pieceColumn >= 0; }
};

// Reads the source rows of a table copy through its cursor (on the reading
// thread) and hands them on in chunks that are bounded in rows and in bytes.
// A BLOB of up to InlineBlobBytes is held whole and travels inside its row;
// a longer one passes through in pieces and is never held whole, so the
// memory a copy needs does not grow with the size of its values.
class CSourceRowReader
{
  public:
    static constexpr size_t InlineBlobBytes = 32765; // the longest string a statement parameter takes
    static constexpr size_t PieceBytes = 256 * 1024;
    static constexpr size_t ChunkRows = 256;
    static constexpr size_t ChunkBytes = 1024 * 1024;

    // plan: the inserted columns in parameter order; prefix: the SQL log's
    // "INSERT INTO T (A,B) VALUES (". With checkLegacyText, NONE text that is
    // not UTF-8 is noted for the logs' explanation of a failed row.
    CSourceRowReader(CFbCursor& cursor, const std::vector<const SColumnPlan*>& plan, const std::string& prefix,
                     bool logging, bool checkLegacyText);

    // Reads the rows, the cursor's current row first, into the queue and
    // finishes it, with the reason when the source could not be read whole.
    // Stops early once the queue is abandoned.
    void Run(CRowQueue<SReadRow>& queue);
    // The cursor's column `column` is the select's UnmappedByteColumn: it is
    // no value of the row, and a row it marks is refused. The code page and
    // its bytes without a character, by the marked column (from 0).
    struct SUnmapped
    {
        std::string charset;
        std::string bytes;
    };
    void RefuseUnmappedBytes(int column, std::map<int, SUnmapped> byColumn);

  private:
    // Holds the next item of the chunk being filled.
    SReadRow& NextItem();
    // Hands the chunk on once it is full; false when nobody takes it any more.
    bool PushWhenFull(CRowQueue<SReadRow>& queue, bool force);
    bool ReadValues();
    // Reads a BLOB of the current row: whole when it is short, otherwise as
    // pieces for its inserted column (or only for its digest).
    bool ReadBlobValue(int j);
    bool ReadRow(SReadRow& read);
    // The steps of ReadRow for one inserted column i: a filler or NULL
    // (false for a column of the source), the source's value, its log text.
    bool BindFixedValue(const SColumnPlan& column, SBoundValue& bound, SLogLines& lines) const;
    bool BindSourceValue(const SColumnPlan& column, size_t i, SBoundValue& bound);
    void LogSourceValue(const SColumnPlan& column, size_t i, SLogLines& lines) const;
    // Ends the row's INSERT and writes its text and detail lines.
    void FinishLogLines(SReadRow& read) const;
    void AppendValue(std::string& text, ELogForm form, bool isString, size_t j) const;
    // Why the current row is refused, or nothing.
    void NoteRefusal(SReadRow& read) const;

    CFbCursor& m_cursor;
    const std::vector<const SColumnPlan*> m_plan;
    const std::string m_sPrefix;
    const bool m_bLogging;
    const bool m_bCheckLegacyText;
    CRowQueue<SReadRow>* m_pQueue = nullptr;
    std::vector<bool> m_needed;         // source columns read for each row
    std::vector<int> m_blobTarget;      // the inserted column a source BLOB goes to, or -1
    std::vector<SColumnValue> m_values; // the current row's values, short ones whole
    std::vector<bool> m_long;           // the current row's long BLOBs, passed on in pieces
    std::vector<CValueDigest> m_digests;
    std::vector<bool> m_validUtf8; // of the long BLOBs, for the legacy text check
    std::vector<SReadRow> m_chunk;
    size_t m_nFilled = 0;
    size_t m_nChunkBytes = 0;
    CBlobReader m_blob;
    std::string m_sPiece;
    bool m_bAbandoned = false;
    int m_nUnmappedColumn = -1;
    std::map<int, SUnmapped> m_unmapped;
};
