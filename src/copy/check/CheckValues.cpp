// Counts of the source's values that the server refuses or changes on their
// way into the destination's types, tried by the source's own server.
#include "copy/check/CTableChecker.h"

#include "db/CFbCursor.h"
#include "db/FieldTypes.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

using namespace Checking;

namespace
{
// The variables V0, V1 ... of the given types, and the moves that pass a
// value from each to the next.
void ValueSteps(const std::vector<std::string>& steps, std::string& declared, std::string& moves)
{
    for (size_t i = 0; i < steps.size(); ++i)
    {
        const std::string variable = "V" + std::to_string(i);
        declared += "DECLARE " + variable + " " + steps[i] + "; ";
        if (i > 0)
            moves += variable + " = V" + std::to_string(i - 1) + "; ";
    }
}
} // namespace

long long CTableChecker::CountRefusedValues(const std::string& sourceTable, const std::string& column,
                                            const std::vector<std::string>& steps, const std::string& where)
{
    // The source's own server passes each value through variables of the
    // given types in turn, as the copy's values travel, and counts those it
    // refuses on the way. -1 when it cannot say.
    std::string declared;
    std::string moves;
    ValueSteps(steps, declared, moves);
    const std::string name = SqlIdentifier(column);
    CStringGrid bad;
    int failure = 0;
    // A dialect-1 database knows no BIGINT.
    const std::string count = m_source.SqlDialect() < 3 ? "INTEGER" : "BIGINT";
    m_source.Execute("EXECUTE BLOCK RETURNS (BAD " + count + ") AS " + declared + "BEGIN BAD = 0; FOR SELECT " + name +
                         " FROM " + SqlIdentifier(sourceTable) + " WHERE " + where + " INTO :V0 DO BEGIN BEGIN " +
                         moves + "WHEN ANY DO BAD = BAD + 1; END END SUSPEND; END",
                     failure, &bad);
    return failure == 0 && bad.RowCount() == 1 ? bad.GetCellInt(0, 0) : -1;
}

long long CTableChecker::CountChangedValues(const std::string& sourceTable, const std::string& column,
                                            const std::vector<std::string>& steps, size_t comparedWith,
                                            const std::string& where)
{
    // As CountRefusedValues, but counts the values that arrive in the last
    // variable other than they were in V<comparedWith>; a value refused on
    // the way is counted by the finding of its own.
    std::string declared;
    std::string moves;
    ValueSteps(steps, declared, moves);
    const std::string last = "V" + std::to_string(steps.size() - 1);
    CStringGrid changed;
    int failure = 0;
    m_source.Execute("EXECUTE BLOCK RETURNS (CHANGED INTEGER) AS " + declared + "BEGIN CHANGED = 0; FOR SELECT " +
                         SqlIdentifier(column) + " FROM " + SqlIdentifier(sourceTable) + " WHERE " + where +
                         " INTO :V0 DO BEGIN BEGIN " + moves + "IF (" + last + " <> V" + std::to_string(comparedWith) +
                         ") THEN CHANGED = CHANGED + 1; WHEN ANY DO CHANGED = CHANGED + 0; END END SUSPEND; END",
                     failure, &changed);
    return failure == 0 && changed.RowCount() == 1 ? changed.GetCellInt(0, 0) : -1;
}

void CTableChecker::CheckApproximateNumbers(STableCheck& check, const std::string& sourceTable,
                                            const SColumnInfo& source, const SColumnInfo& dest)
{
    // A FLOAT keeps about seven digits, and a double written as text keeps
    // the sixteen the server writes: such values arrive as other numbers.
    if (source.dimensions > 0 || dest.dimensions > 0)
        return;
    const std::string own = "TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(source.name);
    const std::string present = SqlIdentifier(source.name) + " IS NOT NULL";
    long long rows = 0;
    EKind kind = EKind::BeyondPrecision;
    if (source.fieldType == FieldDouble && dest.fieldType == FieldFloat)
        rows = CountChangedValues(sourceTable, source.name, {own, "FLOAT"}, 0, present);
    else if (IsFloat(source) && IsText(dest) && dest.fieldType != FieldBlob)
    {
        kind = EKind::Rounded;
        const char* back = source.fieldType == FieldFloat ? "FLOAT" : "DOUBLE PRECISION";
        rows = CountChangedValues(sourceTable, source.name, {own, TextType(dest), back}, 0, present);
    }
    else if (IsText(source) && source.fieldType != FieldBlob && IsFloat(dest))
    {
        const std::string number = "TRIM(" + SqlIdentifier(source.name) + ") SIMILAR TO " + NumberPattern;
        // Beyond a double's range (1e-400 as well as 1e400) the server
        // refuses the text.
        const long long refused = CountRefusedValues(sourceTable, source.name, {own, "DOUBLE PRECISION"}, number);
        if (refused != 0)
            Add(check, EKind::OutOfRange, ECheckSeverity::Fails, dest.name, refused, TypeText(dest));
        if (dest.fieldType == FieldFloat)
            rows = CountChangedValues(sourceTable, source.name, {own, "DOUBLE PRECISION", "FLOAT"}, 1, number);
    }
    if (rows != 0)
        Add(check, kind, ECheckSeverity::Warning, dest.name, rows, TypeText(dest));
}

std::string CTableChecker::DestCharacterSet(int id)
{
    return CharacterSetName(m_dest, id);
}

long long CTableChecker::CountRefusedInDestSet(const std::string& sourceTable, const SColumnInfo& source,
                                               const SColumnInfo& dest, std::vector<std::string> steps)
{
    const std::string charset = DestCharacterSet(dest.characterSetId);
    if (charset.empty())
        return -1;
    steps.push_back(TextType(source) + " CHARACTER SET " + charset);
    return CountRefusedValues(sourceTable, source.name, steps, SqlIdentifier(source.name) + NotAscii);
}

long long CTableChecker::CountLegacyText(const std::string& sourceTable, const SColumnInfo& source,
                                         const SColumnInfo& dest)
{
    // Without a code page the copy hands NONE bytes on as UTF-8 text, which
    // the server then puts into the destination's character set.
    return CountRefusedInDestSet(sourceTable, source, dest,
                                 {TextType(source) + " CHARACTER SET NONE", TextType(source) + " CHARACTER SET UTF8"});
}

long long CTableChecker::CountUnstorableText(const std::string& sourceTable, const SColumnInfo& source,
                                             const SColumnInfo& dest)
{
    return CountRefusedInDestSet(sourceTable, source, dest,
                                 {"TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(source.name)});
}

long long CTableChecker::CountUnmappedBytes(const std::string& sourceTable, const SColumnInfo& source)
{
    // The copy refuses these rows rather than let the server store U+0000
    // for the bytes. -1 when the source cannot say.
    if (!m_unmappedBytes)
        m_unmappedBytes = UnmappedBytes(m_source, m_settings.sourceCharset);
    if (m_unmappedBytes->empty())
        return 0;
    CStringGrid count;
    int failure = 0;
    m_source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(sourceTable) + " WHERE " +
                         HoldsAnyByte(SqlIdentifier(source.name), *m_unmappedBytes),
                     failure, &count);
    return failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : -1;
}

long long CTableChecker::CountFailedConversions(const std::string& sourceTable, const SColumnInfo& source,
                                                const SColumnInfo& dest)
{
    // Each value as the copy's insert would have it converted.
    const std::string target = ValueKind(dest) == EValueKind::Number ? "DOUBLE PRECISION" : FieldTypeName(dest);
    return CountRefusedValues(
        sourceTable, source.name,
        {"TYPE OF COLUMN " + SqlIdentifier(sourceTable) + "." + SqlIdentifier(source.name), target},
        SqlIdentifier(source.name) + " IS NOT NULL");
}
