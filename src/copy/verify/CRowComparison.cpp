#include "copy/verify/CRowComparison.h"

#include "copy/logs/LogValues.h"
#include "db/ArrayIo.h"
#include "db/BlobIo.h"
#include "db/CFbConnection.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
// The same elements in the same bounds; varying text compared by its
// length and characters, not by the unused rest of its slot.
bool SameSlices(const SArraySlice& a, const SArraySlice& b)
{
    const ISC_ARRAY_DESC& x = a.desc;
    const ISC_ARRAY_DESC& y = b.desc;
    if (x.array_desc_dtype != y.array_desc_dtype || x.array_desc_scale != y.array_desc_scale ||
        x.array_desc_length != y.array_desc_length || x.array_desc_dimensions != y.array_desc_dimensions ||
        a.data.size() != b.data.size())
        return false;
    for (int d = 0; d < x.array_desc_dimensions && d < 16; ++d)
    {
        if (x.array_desc_bounds[d].array_bound_lower != y.array_desc_bounds[d].array_bound_lower ||
            x.array_desc_bounds[d].array_bound_upper != y.array_desc_bounds[d].array_bound_upper)
            return false;
    }
    if (x.array_desc_dtype != blr_varying && x.array_desc_dtype != blr_varying2)
        return a.data == b.data;
    const size_t slot = x.array_desc_length + 2u;
    for (size_t at = 0; at + 2 <= a.data.size(); at += slot)
    {
        std::uint16_t length = 0;
        std::memcpy(&length, a.data.data() + at, 2);
        const size_t used = 2 + std::min<size_t>(length, slot - 2);
        if (a.data.compare(at, used, b.data, at, used) != 0)
            return false;
    }
    return true;
}

// The source value as an expression of exactly its value for the
// destination's server: a scaled integer in its digits, a double as its
// mantissa times a power of two, each factor exact (no decimal text, whose
// reading back could round). Empty for other types.
std::string ExactNumberExpression(const XSQLVAR& var, const std::string& text)
{
    const int type = var.sqltype & ~1;
    if (type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64)
        return text;
    if (type != SQL_DOUBLE && type != SQL_FLOAT)
        return {};
    double value = 0;
    if (type == SQL_FLOAT)
    {
        float single = 0;
        std::memcpy(&single, var.sqldata, sizeof single);
        value = single;
    }
    else
        std::memcpy(&value, var.sqldata, sizeof value);
    if (!std::isfinite(value))
        return {};
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    const auto mantissa = static_cast<long long>(std::ldexp(fraction, 53));
    exponent -= 53;
    std::string expression = "CAST(" + std::to_string(mantissa) + " AS DOUBLE PRECISION)";
    while (exponent != 0)
    {
        const int step = std::min(std::abs(exponent), 62);
        expression += std::string(exponent > 0 ? " * " : " / ") + std::to_string(1LL << step) + "E0";
        exponent += exponent > 0 ? -step : step;
    }
    return type == SQL_FLOAT ? "CAST(" + expression + " AS FLOAT)" : expression;
}

// Whether the double is the nearest one to the scaled integer and so close
// to it that any rounding to the scale gives that integer back.
bool DoubleHoldsScaled(const XSQLVAR& var, std::int64_t scaled, int scale)
{
    if ((var.sqltype & ~1) != SQL_DOUBLE || scale > 0 || scale < -18 || std::llabs(scaled) >= (1LL << 53))
        return false;
    double value = 0;
    std::memcpy(&value, var.sqldata, sizeof value);
    const double unit = std::pow(10.0, -scale);
    const double gap = std::nextafter(std::fabs(value), HUGE_VAL) - std::fabs(value);
    return static_cast<double>(scaled) / unit == value && gap * unit < 0.25;
}

std::int64_t IntegerOf(const XSQLVAR& var)
{
    switch (var.sqltype & ~1)
    {
    case SQL_SHORT: {
        std::int16_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    case SQL_LONG: {
        std::int32_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    default: {
        std::int64_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    }
}

bool IsNull(const XSQLVAR& var)
{
    return (var.sqltype & 1) != 0 && var.sqlind != nullptr && *var.sqlind < 0;
}

// The value's bytes as fetched: a varying text without its length word.
std::string_view Bytes(const XSQLVAR& var)
{
    if ((var.sqltype & ~1) == SQL_VARYING)
    {
        std::uint16_t length = 0;
        std::memcpy(&length, var.sqldata, 2);
        return {var.sqldata + 2, length};
    }
    return {var.sqldata, static_cast<std::uint16_t>(var.sqllen)};
}

// Ascending, NULL first, as the engine orders; texts as OCTETS, shorter
// ones padded with zero bytes.
int CompareKey(const XSQLVAR& a, const XSQLVAR& b, bool integer)
{
    const bool nullA = IsNull(a);
    const bool nullB = IsNull(b);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    if (integer)
    {
        const std::int64_t x = IntegerOf(a);
        const std::int64_t y = IntegerOf(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const std::string_view x = Bytes(a);
    const std::string_view y = Bytes(b);
    const size_t length = std::max(x.size(), y.size());
    for (size_t i = 0; i < length; ++i)
    {
        const auto cx = static_cast<unsigned char>(i < x.size() ? x[i] : 0);
        const auto cy = static_cast<unsigned char>(i < y.size() ? y[i] : 0);
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return 0;
}

constexpr size_t kBlobPieceBytes = 256 * 1024;

} // namespace

std::string CComparison::Literal(CFbCursor& cursor, int i)
{
    const XSQLVAR& var = cursor.Column(i);
    const int type = var.sqltype & ~1;
    std::string text;
    if (type == SQL_ARRAY && !IsNull(var))
    {
        // The elements' bytes as the client library hands them over.
        SArraySlice slice;
        if (!cursor.ReadArrayValue(i, slice))
            return "?";
        AppendLogValue(text, ELogForm::Sql, true, slice.data, CStringGrid::MarkBinary);
        return text;
    }
    if (type == SQL_BLOB && !IsNull(var))
    {
        // A BLOB passes through in pieces: the log shows it as the run's
        // logs do, abbreviated when long, without ever holding it whole.
        CValueDigest digest;
        digest.Reset(true);
        CBlobReader blob;
        if (!cursor.OpenBlob(i, blob))
            return "?";
        std::string piece;
        int read = 1;
        while ((read = cursor.ReadBlobPiece(blob, piece, kBlobPieceBytes)) > 0)
        {
            digest.Add(piece.data(), piece.size());
            piece.clear();
        }
        if (read < 0 || !cursor.CloseBlob(blob))
            return "?";
        const bool binary = var.sqlsubtype != 1;
        if (digest.Length() > LogWholeBytes)
            digest.AppendTo(text, ELogForm::Sql, binary);
        else
        {
            // Short enough to be shown whole: the head holds all of it.
            SColumnValue value;
            if (!cursor.Value(i, EValueForm::Exact, value))
                return "?";
            AppendLogValue(text, ELogForm::Sql, true, value.text, value.marks);
        }
        return text;
    }
    SColumnValue value;
    if (!cursor.Value(i, EValueForm::Exact, value))
        return "?";
    const bool isString = !(type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64 || type == SQL_FLOAT ||
                            type == SQL_DOUBLE || type == SQL_BOOLEAN);
    AppendLogValue(text, ELogForm::Sql, isString, value.text, value.marks);
    return text;
}

bool CComparison::SameBlob(int i)
{
    CBlobReader a;
    CBlobReader b;
    if (!m_sourceRows.OpenBlob(i, a) || !m_destRows.OpenBlob(i, b))
        return false;
    // Both BLOBs are read piece by piece and compared as far as both have
    // arrived; segment boundaries need not agree.
    std::string x;
    std::string y;
    int readA = 1;
    int readB = 1;
    bool same = true;
    while (same)
    {
        if (readA > 0 && x.size() < kBlobPieceBytes)
            readA = m_sourceRows.ReadBlobPiece(a, x, kBlobPieceBytes - x.size());
        if (readB > 0 && y.size() < kBlobPieceBytes)
            readB = m_destRows.ReadBlobPiece(b, y, kBlobPieceBytes - y.size());
        if (readA < 0 || readB < 0)
            return false;
        const size_t common = std::min(x.size(), y.size());
        same = std::memcmp(x.data(), y.data(), common) == 0;
        x.erase(0, common);
        y.erase(0, common);
        if (readA == 0 && readB == 0)
        {
            same = same && x.empty() && y.empty();
            break;
        }
        if ((readA == 0 && x.empty() && !y.empty()) || (readB == 0 && y.empty() && !x.empty()))
            same = false;
    }
    const bool closedA = m_sourceRows.CloseBlob(a);
    const bool closedB = m_destRows.CloseBlob(b);
    return same && closedA && closedB;
}

std::string CComparison::KeyText(CFbCursor& cursor)
{
    std::string text;
    for (const SOrderKey& key : m_keys)
    {
        if (key.shown)
            text += (text.empty() ? "" : ", ") + key.name + "=" +
                    Literal(cursor, m_nValueOffset + static_cast<int>(key.valueColumn));
    }
    return text;
}

int CComparison::CompareKeys()
{
    for (size_t k = 0; k < m_keys.size(); ++k)
    {
        const int order =
            CompareKey(m_sourceRows.Column(m_keys[k].column), m_destRows.Column(m_keys[k].column), m_keys[k].integer);
        if (order != 0)
            return order;
    }
    return 0;
}

bool CComparison::SameValue(size_t column, std::string& sourceText, std::string& destText)
{
    const int i = m_nValueOffset + static_cast<int>(column);
    const XSQLVAR& a = m_sourceRows.Column(i);
    const XSQLVAR& b = m_destRows.Column(i);
    if (IsNull(a) || IsNull(b))
        return IsNull(a) == IsNull(b);
    if ((a.sqltype & ~1) == SQL_BLOB && (b.sqltype & ~1) == SQL_BLOB)
    {
        return SameBlob(i);
    }
    if ((a.sqltype & ~1) == SQL_ARRAY && (b.sqltype & ~1) == SQL_ARRAY)
    {
        SArraySlice x;
        SArraySlice y;
        return m_sourceRows.ReadArrayValue(i, x) && m_destRows.ReadArrayValue(i, y) && SameSlices(x, y);
    }
    if ((a.sqltype & ~1) == (b.sqltype & ~1) && a.sqlscale == b.sqlscale)
        return Bytes(a) == Bytes(b);
    // Types the cast did not make alike are compared in their exact text.
    SColumnValue x;
    SColumnValue y;
    m_sourceRows.Value(i, EValueForm::Exact, x);
    m_destRows.Value(i, EValueForm::Exact, y);
    sourceText = x.text;
    destText = y.text;
    if (x.text == y.text && x.marks == y.marks)
        return true;
    return !m_throughDest[column].empty() && ConvertsAlike(column, a, b, x.text, y.text);
}

bool CComparison::ConvertsAlike(size_t column, const XSQLVAR& source, const XSQLVAR& dest,
                                const std::string& sourceText, const std::string& destText)
{
    if (DoubleHoldsScaled(source, IntegerOf(dest), dest.sqlscale))
        return true;
    // Rare (more decimals than the destination keeps, or beyond a double's
    // integers): the destination's server converts the value itself.
    const std::string value = ExactNumberExpression(source, sourceText);
    if (value.empty())
        return false;
    CStringGrid converted;
    int failure = 0;
    m_dest.Execute("SELECT CAST(" + value + " AS " + m_throughDest[column] + ") FROM RDB$DATABASE", failure, &converted,
                   nullptr, EValueForm::Exact);
    return failure == 0 && converted.RowCount() == 1 && converted.GetCell(0, 0) == destText;
}

void CComparison::CompareValues(STableVerification& result)
{
    bool differs = false;
    for (size_t c = 0; c < m_columns.size(); ++c)
    {
        std::string ignoredSource;
        std::string ignoredDest;
        if (SameValue(c, ignoredSource, ignoredDest))
            continue;
        if (!differs && result.differences.size() < kShownDifferences)
        {
            const int i = m_nValueOffset + static_cast<int>(c);
            result.differences.push_back(
                {KeyText(m_destRows), m_columns[c].dest.name, Literal(m_sourceRows, i), Literal(m_destRows, i)});
        }
        differs = true;
    }
    if (differs)
        ++result.differing;
    else
        ++result.identical;
}

void CComparison::Run(const std::string& sourceSql, const std::string& destSql, STableVerification& result)
{
    if (!m_sourceRows.Open(sourceSql))
    {
        result.error = m_sourceRows.LastErrorMessage();
        return;
    }
    if (!m_destRows.Open(destSql))
    {
        result.error = m_destRows.LastErrorMessage();
        return;
    }
    int a = m_sourceRows.Fetch();
    int b = m_destRows.Fetch();
    // A side that fails to deliver ends the comparison: its rows not yet
    // read are neither missing nor extra.
    while ((a == 1 || b == 1) && a >= 0 && b >= 0)
    {
        const int order = a != 1 ? 1 : b != 1 ? -1 : CompareKeys();
        if (order == 0)
        {
            CompareValues(result);
            a = m_sourceRows.Fetch();
            b = m_destRows.Fetch();
        }
        else if (order < 0)
        {
            if (++result.missing <= static_cast<long long>(kShownDifferences))
                result.missingKeys.push_back(KeyText(m_sourceRows));
            a = m_sourceRows.Fetch();
        }
        else
        {
            if (++result.extra <= static_cast<long long>(kShownDifferences))
                result.extraKeys.push_back(KeyText(m_destRows));
            b = m_destRows.Fetch();
        }
    }
    // A fetch error is never the end of the rows.
    if (a < 0 || b < 0)
    {
        result.error = a < 0 ? m_sourceRows.LastErrorMessage() : m_destRows.LastErrorMessage();
        return;
    }
    result.ran = true;
}
