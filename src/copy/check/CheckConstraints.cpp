// The destination's CHECKs of a table and its columns' domains, tried on the
// source's rows as the copy would insert them.
#include "copy/check/CTableChecker.h"

#include "db/CFbCursor.h"
#include "db/SqlText.h"
#include "db/ValueFormat.h"

#include <cctype>

using namespace Checking;

namespace
{
// The condition of a CHECK as its source text gives it, without the word
// CHECK; empty when the condition reads other tables (the plan's business)
// or the text is not of that form.
std::string CheckCondition(const std::string& source)
{
    std::string upper = source;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t start = upper.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || upper.compare(start, 5, "CHECK") != 0 ||
        upper.find("SELECT") != std::string::npos)
        return {};
    return source.substr(start + 5);
}

// The condition with the word VALUE (a domain's name for its value) as the
// column; names and literals that merely hold the word stay.
std::string WithColumnForValue(const std::string& condition, const std::string& column)
{
    std::string result;
    bool quoted = false;
    char quote = 0;
    for (size_t i = 0; i < condition.size();)
    {
        const char c = condition[i];
        const auto word = [&](size_t at) {
            return at < condition.size() && (std::isalnum(static_cast<unsigned char>(condition[at])) ||
                                             condition[at] == '_' || condition[at] == '$');
        };
        if (quoted)
        {
            result += c;
            quoted = c != quote;
            ++i;
            continue;
        }
        if (c == '\'' || c == '"')
        {
            quoted = true;
            quote = c;
            result += c;
            ++i;
            continue;
        }
        if ((i == 0 || !word(i - 1)) && condition.size() - i >= 5 && !word(i + 5))
        {
            std::string five = condition.substr(i, 5);
            for (char& letter : five)
                letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
            if (five == "VALUE")
            {
                result += SqlIdentifier(column);
                i += 5;
                continue;
            }
        }
        result += c;
        ++i;
    }
    return result;
}
} // namespace

namespace
{
struct SCondition
{
    std::string name;   // the constraint's, or the column's for its domain
    std::string column; // a domain's column
    std::string condition;
};

// The destination's CHECKs of this table alone, and its columns' domain
// CHECKs with the column for VALUE.
std::vector<SCondition> DestConditions(CFbConnection& dest, const std::string& destTable)
{
    CStringGrid checks;
    int failure = 0;
    const std::string table = EscapeSqlString(destTable);
    dest.Execute("SELECT cc.rdb$constraint_name, t.rdb$trigger_source FROM rdb$relation_constraints rc"
                 " JOIN rdb$check_constraints cc ON cc.rdb$constraint_name = rc.rdb$constraint_name"
                 " JOIN rdb$triggers t ON t.rdb$trigger_name = cc.rdb$trigger_name"
                 " WHERE rc.rdb$relation_name = '" +
                     table + "' AND rc.rdb$constraint_type = 'CHECK' AND t.rdb$trigger_type = 1",
                 failure, &checks, nullptr, EValueForm::Exact);
    std::vector<SCondition> conditions;
    for (int r = 0; failure == 0 && r < checks.RowCount(); ++r)
    {
        const std::string condition = CheckCondition(checks.GetCell(1, r));
        if (!condition.empty())
            conditions.push_back({TrimSpaces(checks.GetCell(0, r)), "", condition});
    }
    CStringGrid domains;
    dest.Execute("SELECT rf.rdb$field_name, f.rdb$validation_source FROM rdb$relation_fields rf"
                 " JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source WHERE rf.rdb$relation_name = '" +
                     table + "' AND f.rdb$validation_source IS NOT NULL",
                 failure, &domains, nullptr, EValueForm::Exact);
    for (int r = 0; failure == 0 && r < domains.RowCount(); ++r)
    {
        const std::string column = TrimSpaces(domains.GetCell(0, r));
        const std::string condition = CheckCondition(domains.GetCell(1, r));
        if (!condition.empty())
            conditions.push_back({column, column, WithColumnForValue(condition, column)});
    }
    return conditions;
}

// The rows as inserted: the source's values in the destination's types,
// the fillers, and NULL where nothing is known (a DEFAULT, an identity).
std::string InsertedValues(const STablePlan& plan)
{
    std::string list;
    for (const SColumnPlan& column : plan.columns)
    {
        std::string value = "NULL";
        if (column.value == EColumnValue::Source)
        {
            const SSourceColumn& from = plan.source[static_cast<size_t>(column.sourceIndex)];
            value = SqlIdentifier(from.name);
            if (from.info.fieldType != column.dest.fieldType || from.info.scale != column.dest.scale)
                value = "CAST(" + value + " AS " + TypeText(column.dest) + ")";
        }
        else if (column.value == EColumnValue::Filler)
            value = column.fillerLiteral;
        list += (list.empty() ? "" : ", ") + value + " AS " + SqlIdentifier(column.name);
    }
    return list;
}
} // namespace

void CTableChecker::CheckConstraints(STableCheck& check, const std::string& sourceTable, const STablePlan& plan)
{
    // The destination's CHECKs tried on the rows as the copy would insert them.
    const std::vector<SCondition> conditions = DestConditions(m_dest, check.table);
    if (conditions.empty())
        return;
    const std::string list = InsertedValues(plan);
    for (const SCondition& checked : conditions)
    {
        // A CHECK fails only on FALSE; one the source cannot evaluate (a
        // DEFAULT it would need, a value that does not convert) says nothing.
        CStringGrid count;
        int failure = 0;
        m_source.Execute("SELECT COUNT(*) FROM (SELECT " + list + " FROM " + SqlIdentifier(sourceTable) + ") " +
                             SqlIdentifier(check.table) + " WHERE NOT (" + checked.condition + ")",
                         failure, &count);
        const long long refused = failure == 0 && count.RowCount() == 1 ? count.GetCellInt(0, 0) : 0;
        if (refused > 0)
            Add(check, EKind::CheckRefuses, ECheckSeverity::Fails, checked.column, refused, checked.name);
    }
}
