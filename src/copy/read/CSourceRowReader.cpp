#include "copy/read/CSourceRowReader.h"

#include "db/FieldTypes.h"

#include "copy/read/SourceSelect.h"
#include "core/TextEncoding.h"

#include <cstring>
#include <memory>

bool IsPlainValueType(int sqlType)
{
    switch (sqlType)
    {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_BOOLEAN: return true;
    default: return false;
    }
}

bool GoesAsCastText(int sqlType, bool intoText)
{
    return intoText && sqlType == SQL_TIMESTAMP;
}

std::string CastText(const XSQLVAR& column)
{
    ISC_TIMESTAMP stamp{};
    std::memcpy(&stamp, column.sqldata, sizeof stamp);
    return TimestampText(stamp);
}

namespace
{
// Whether a destination column holds text.
bool IsTextColumn(const SColumnInfo& column)
{
    return column.dimensions == 0 && IsTextType(column.fieldType, column.blobSubType);
}

// Source types whose fetched data is bound as it is: the server converts
// numbers, dates, times and UTF-8 text to the destination's types exactly,
// with no text form in between.
bool BindsRaw(int type)
{
    return type == SQL_VARYING || IsPlainValueType(type);
}

bool IsNull(const XSQLVAR& column)
{
    return (column.sqltype & 1) != 0 && column.sqlind && *column.sqlind < 0;
}

void Bind(const XSQLVAR& column, const SColumnValue& value, SBoundValue& bound)
{
    if (IsNull(column))
    {
        bound.kind = SBoundValue::Null;
        return;
    }
    const int type = column.sqltype & ~1;
    if (BindsRaw(type))
    {
        bound.kind = SBoundValue::Raw;
        bound.sqlType = static_cast<short>(type);
        bound.scale = column.sqlscale;
        bound.subType = column.sqlsubtype;
        size_t length = static_cast<unsigned short>(column.sqllen);
        if (type == SQL_VARYING)
        {
            unsigned short characters = 0;
            std::memcpy(&characters, column.sqldata, 2);
            length = 2 + characters;
        }
        bound.bytes.assign(column.sqldata, length);
        return;
    }
    bound.kind = SBoundValue::Bytes;
    bound.bytes = value.text;
    bound.binary = (value.marks & CStringGrid::MarkBinary) != 0;
}

// Puts U+FFFD, the replacement character, in place of every zero byte.
void ReplaceZeroBytes(std::string& text)
{
    for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at + 3))
        text.replace(at, 1, "\xEF\xBF\xBD");
}

// Whether text passing through in pieces is UTF-8: a character cut by the
// end of a piece is checked with the next one.
class CUtf8Check
{
  public:
    void Reset()
    {
        m_bValid = true;
        m_sTail.clear();
    }
    void Add(const std::string& piece)
    {
        if (!m_bValid)
            return;
        std::string text = m_sTail + piece;
        // Up to three bytes at the end may start a character the next piece ends.
        size_t cut = text.size();
        for (size_t back = 1; back <= 3 && back <= text.size(); ++back)
        {
            const auto c = static_cast<unsigned char>(text[text.size() - back]);
            if ((c & 0xC0) == 0x80)
                continue;
            const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > back)
                cut = text.size() - back;
            break;
        }
        m_sTail = text.substr(cut);
        text.resize(cut);
        m_bValid = IsValidUtf8(text);
    }
    bool Valid() const { return m_bValid && m_sTail.empty(); }

  private:
    bool m_bValid = true;
    std::string m_sTail;
};
} // namespace

CSourceRowReader::CSourceRowReader(CFbCursor& cursor, const std::vector<const SColumnPlan*>& plan,
                                   const std::string& prefix, bool logging, bool checkLegacyText)
    : m_cursor(cursor), m_plan(plan), m_sPrefix(prefix), m_bLogging(logging), m_bCheckLegacyText(checkLegacyText)
{
    const auto count = static_cast<size_t>(cursor.ColumnCount());
    // With logging every value is shown; otherwise only the values that are
    // not bound as fetched are read.
    m_needed.assign(count, logging);
    m_blobTarget.assign(count, -1);
    for (size_t i = 0; i < plan.size(); ++i)
    {
        const SColumnPlan& column = *plan[i];
        if (column.value != EColumnValue::Source)
            continue;
        const auto j = static_cast<size_t>(column.sourceIndex);
        const int type = cursor.Column(column.sourceIndex).sqltype & ~1;
        if (!BindsRaw(type))
            m_needed[j] = true;
        if (type == SQL_BLOB && m_blobTarget[j] < 0)
            m_blobTarget[j] = static_cast<int>(i);
    }
    m_values.resize(count);
    m_long.assign(count, false);
    m_digests.resize(count);
    m_validUtf8.assign(count, true);
}

void CSourceRowReader::RefuseUnmappedBytes(int column, std::map<int, SUnmapped> byColumn)
{
    m_nUnmappedColumn = column;
    m_unmapped = std::move(byColumn);
    // Read straight from the fetched data, and never shown as a value.
    m_needed[static_cast<size_t>(column)] = false;
}

void CSourceRowReader::NoteRefusal(SReadRow& read) const
{
    read.refusal.clear();
    if (m_nUnmappedColumn < 0)
        return;
    const XSQLVAR& marker = m_cursor.Column(m_nUnmappedColumn);
    ISC_LONG code = 0;
    if (IsNull(marker) || (marker.sqltype & ~1) != SQL_LONG)
        return;
    std::memcpy(&code, marker.sqldata, sizeof code);
    const auto marked = m_unmapped.find(code - 1);
    if (code > 0 && code <= m_nUnmappedColumn && marked != m_unmapped.end())
        read.refusal = UnmappedByteMessage(m_cursor.ColumnName(code - 1), marked->second.charset, marked->second.bytes);
}

SReadRow& CSourceRowReader::NextItem()
{
    if (m_nFilled == m_chunk.size())
        m_chunk.emplace_back();
    return m_chunk[m_nFilled++];
}

bool CSourceRowReader::PushWhenFull(CRowQueue<SReadRow>& queue, bool force)
{
    if (m_nFilled == 0 || (!force && m_nFilled < ChunkRows && m_nChunkBytes < ChunkBytes))
        return !m_bAbandoned;
    m_chunk.resize(m_nFilled);
    if (!queue.Push(std::move(m_chunk)))
        m_bAbandoned = true;
    m_chunk.clear();
    queue.TakeSpare(m_chunk);
    m_nFilled = 0;
    m_nChunkBytes = 0;
    return !m_bAbandoned;
}

bool CSourceRowReader::ReadBlobValue(int j)
{
    const auto index = static_cast<size_t>(j);
    SColumnValue& value = m_values[index];
    // Subtype 1 is text (delivered in the connection character set); all
    // other subtypes are bytes.
    const bool binary = m_cursor.Column(j).sqlsubtype != 1;
    value.marks = binary ? CStringGrid::MarkBinary : CStringGrid::MarkNone;
    value.text.clear();
    m_long[index] = false;
    CBlobReader& blob = m_blob;
    if (!m_cursor.OpenBlob(j, blob))
        return false;
    int read = 1;
    while (value.text.size() <= InlineBlobBytes &&
           (read = m_cursor.ReadBlobPiece(blob, value.text, InlineBlobBytes + 1 - value.text.size())) == 1)
    {
    }
    if (read < 0)
        return false;
    if (value.text.size() <= InlineBlobBytes)
        return m_cursor.CloseBlob(blob);

    // Too long to hold: what was read so far is its first piece.
    m_long[index] = true;
    CValueDigest& digest = m_digests[index];
    digest.Reset(m_bLogging);
    const int target = m_blobTarget[index];
    const bool checkUtf8 =
        m_bLogging && m_bCheckLegacyText && target >= 0 && m_plan[static_cast<size_t>(target)]->legacyText;
    CUtf8Check utf8;
    m_sPiece.swap(value.text);
    value.text.clear();
    bool first = true;
    do
    {
        digest.Add(m_sPiece.data(), m_sPiece.size());
        if (checkUtf8)
            utf8.Add(m_sPiece);
        if (target >= 0)
        {
            SReadRow& item = NextItem();
            item.piece.swap(m_sPiece);
            item.pieceColumn = target;
            item.firstPiece = first;
            item.pieceBinary = binary;
            m_nChunkBytes += item.piece.size();
            if (!PushWhenFull(*m_pQueue, false))
                return true; // nobody takes the rows any more
        }
        first = false;
        m_sPiece.clear();
        m_sPiece.reserve(PieceBytes);
    } while ((read = m_cursor.ReadBlobPiece(blob, m_sPiece, PieceBytes)) == 1);
    m_validUtf8[index] = !checkUtf8 || utf8.Valid();
    return read == 0 && m_cursor.CloseBlob(blob);
}

bool CSourceRowReader::ReadValues()
{
    for (int j = 0; j < m_cursor.ColumnCount(); ++j)
    {
        const auto index = static_cast<size_t>(j);
        m_long[index] = false;
        if (!m_needed[index])
            continue;
        const XSQLVAR& column = m_cursor.Column(j);
        const bool ok = (column.sqltype & ~1) == SQL_BLOB && !IsNull(column)
                            ? ReadBlobValue(j)
                            : m_cursor.Value(j, EValueForm::Exact, m_values[index]);
        if (!ok)
            return false;
        if (m_bAbandoned)
            return true;
    }
    return true;
}

// A long value as a log shows it; any other through AppendLogValue.
void CSourceRowReader::AppendValue(std::string& text, ELogForm form, bool isString, size_t j) const
{
    const SColumnValue& value = m_values[j];
    if (m_long[j])
        m_digests[j].AppendTo(text, form, (value.marks & CStringGrid::MarkBinary) != 0);
    else
        AppendLogValue(text, form, isString, value.text, value.marks);
}

bool CSourceRowReader::BindFixedValue(const SColumnPlan& column, SBoundValue& bound, SLogLines& lines) const
{
    switch (column.value)
    {
    case EColumnValue::Filler:
        bound.kind = SBoundValue::Bytes;
        bound.bytes = column.filler;
        bound.binary = false;
        if (m_bLogging)
            lines.insert += column.fillerLiteral;
        return true;
    case EColumnValue::Null:
    case EColumnValue::Deferred:
        // A deferred column is set once the tables it waits for are filled.
        bound.kind = SBoundValue::Null;
        if (m_bLogging)
            lines.insert += "NULL";
        return true;
    default: return false;
    }
}

bool CSourceRowReader::BindSourceValue(const SColumnPlan& column, size_t i, SBoundValue& bound)
{
    const int j = column.sourceIndex;
    const auto index = static_cast<size_t>(j);
    const XSQLVAR& source = m_cursor.Column(j);
    if (m_long[index] && m_blobTarget[index] == static_cast<int>(i))
    {
        // Its pieces went ahead; the writer puts in the BLOB they made.
        bound.kind = SBoundValue::Blob;
        bound.bytes.clear();
    }
    else if (m_long[index])
        bound.kind = SBoundValue::Null; // a second column of the same source column: none exists
    else
        Bind(source, m_values[index], bound);
    if (bound.kind == SBoundValue::Raw && GoesAsCastText(bound.sqlType, IsTextColumn(column.dest)))
    {
        bound.kind = SBoundValue::Bytes;
        bound.bytes = CastText(source);
        bound.binary = false;
    }
    if (bound.kind == SBoundValue::Bytes && (source.sqltype & ~1) == SQL_ARRAY)
    {
        // An array's elements are read from the source and written as a
        // new array of the destination column.
        auto slice = std::make_shared<SArraySlice>();
        if (!m_cursor.ReadArrayValue(j, *slice))
            return false;
        bound.kind = SBoundValue::Array;
        bound.array = std::move(slice);
    }
    return true;
}

void CSourceRowReader::LogSourceValue(const SColumnPlan& column, size_t i, SLogLines& lines) const
{
    const auto index = static_cast<size_t>(column.sourceIndex);
    AppendValue(lines.insert, ELogForm::Sql, column.isString, index);
    if (m_bCheckLegacyText && column.legacyText && lines.legacyColumn < 0 &&
        !(m_long[index] ? m_validUtf8[index] : IsValidUtf8(m_values[index].text)))
        lines.legacyColumn = static_cast<int>(i);
}

void CSourceRowReader::FinishLogLines(SReadRow& read) const
{
    SLogLines& lines = read.lines;
    lines.insert += ");";
    lines.text.clear();
    const size_t shown = m_nUnmappedColumn < 0 ? m_values.size() : static_cast<size_t>(m_nUnmappedColumn);
    for (size_t j = 0; j < shown; ++j)
    {
        if (j)
            lines.text += ';';
        AppendValue(lines.text, ELogForm::Plain, true, j);
    }
    lines.detail.clear();
    if (m_values.size() > 1)
        AppendValue(lines.detail, ELogForm::Plain, true, 1);
    if (!read.refusal.empty())
    {
        // The refused text holds U+0000 where the bytes without a
        // character were; a zero byte would cut the logs short for
        // whoever reads them.
        for (std::string* text : {&lines.insert, &lines.text, &lines.detail})
            ReplaceZeroBytes(*text);
    }
}

// Binds the current source row for the destination and, with logging on,
// prepares what the logs say of it.
bool CSourceRowReader::ReadRow(SReadRow& read)
{
    read.pieceColumn = -1;
    NoteRefusal(read);
    read.row.resize(m_plan.size());
    SLogLines& lines = read.lines;
    if (m_bLogging)
    {
        lines.insert = m_sPrefix;
        lines.legacyColumn = -1;
    }
    for (size_t i = 0; i < m_plan.size(); ++i)
    {
        const SColumnPlan& column = *m_plan[i];
        SBoundValue& bound = read.row[i];
        bound.array.reset(); // the slot may hold an earlier row's array
        if (m_bLogging && i > 0)
            lines.insert += ",";
        if (BindFixedValue(column, bound, lines))
            continue;
        if (!BindSourceValue(column, i, bound))
            return false;
        if (m_bLogging)
            LogSourceValue(column, i, lines);
    }
    if (m_bLogging)
        FinishLogLines(read);
    return true;
}

void CSourceRowReader::Run(CRowQueue<SReadRow>& queue)
{
    m_pQueue = &queue;
    queue.TakeSpare(m_chunk);
    std::string readError;
    int fetch = 1;
    while (fetch == 1 && !m_bAbandoned)
    {
        if (!ReadValues())
        {
            fetch = -1;
            break;
        }
        if (m_bAbandoned)
            break;
        SReadRow& read = NextItem();
        if (!ReadRow(read))
        {
            --m_nFilled; // the row is not passed on
            fetch = -1;
            break;
        }
        for (const SBoundValue& bound : read.row)
            m_nChunkBytes += 16 + bound.bytes.size();
        m_nChunkBytes += read.lines.insert.size() + read.lines.text.size();
        if (!PushWhenFull(queue, false))
            break;
        fetch = m_cursor.Fetch();
    }
    if (fetch < 0)
    {
        // The rows of the chunk were read whole; a row whose reading failed
        // is not among them, but pieces of its long BLOBs may be.
        readError = m_cursor.LastErrorMessage() + "\n";
    }
    PushWhenFull(queue, true);
    queue.Finish(readError);
}
