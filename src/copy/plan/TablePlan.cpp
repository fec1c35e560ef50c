#include "copy/plan/TablePlan.h"

#include "db/FieldTypes.h"

#include <algorithm>
#include <ibase.h>

namespace
{
enum class EKind
{
    Text,
    Number,
    Boolean,
    Other,
};

EKind KindOf(const SColumnInfo& column)
{
    if (column.dimensions > 0)
        return EKind::Other; // an array, whatever its elements
    switch (column.fieldType)
    {
    case FieldChar:
    case FieldVarchar:
    case FieldCstring: return EKind::Text;
    case FieldBlob: return column.blobSubType == BlobSubTypeText ? EKind::Text : EKind::Other;
    case FieldSmallint:
    case FieldInteger:
    case FieldBigint:
    case FieldFloat:
    case FieldDFloat:
    case FieldDouble: return EKind::Number;
    case FieldBoolean: return EKind::Boolean;
    default: return EKind::Other;
    }
}

// Numbers and BOOLEANs stand in a statement without apostrophes.
bool IsStringClass(const SColumnInfo& column)
{
    const EKind kind = KindOf(column);
    return !(kind == EKind::Number || kind == EKind::Boolean) || column.fieldType == FieldDFloat;
}

bool IsRealCharacterSet(int id)
{
    return id > 1; // 0 NONE and 1 OCTETS carry bytes, -1 is no text at all
}

const SSourceColumn* FindSource(const std::vector<SSourceColumn>& source, const std::string& name, int& index)
{
    const SSourceColumn* found = FindColumnNamed(source, name);
    index = found ? static_cast<int>(found - source.data()) : -1;
    return found;
}

void PlanMissingColumn(const SColumnInfo& column, SColumnPlan& plan, std::vector<std::string>& problems)
{
    if (column.hasDefault || !column.identitySequence.empty())
    {
        plan.value = EColumnValue::LeftOut;
        return;
    }
    // A 0 or '' in a key column would have to be a key of the parent table,
    // and every row would fail; NULL refers to nothing.
    const bool nullKey = column.inForeignKey && column.nullable;
    switch (nullKey ? EKind::Other : KindOf(column))
    {
    case EKind::Text:
        plan.value = EColumnValue::Filler;
        plan.fillerLiteral = "''";
        return;
    case EKind::Number:
        plan.value = EColumnValue::Filler;
        plan.filler = plan.fillerLiteral = "0";
        return;
    case EKind::Boolean:
        plan.value = EColumnValue::Filler;
        plan.filler = plan.fillerLiteral = "FALSE";
        return;
    case EKind::Other: break;
    }
    plan.value = EColumnValue::Null;
    plan.fillerLiteral = "NULL";
    if (!column.nullable)
        problems.push_back("ERROR: Column " + column.name + " (" + FieldTypeName(column) +
                           " NOT NULL) has no source column and needs a DEFAULT in the destination");
}
} // namespace

bool IsKnownSqlType(int sqlType)
{
    switch (sqlType)
    {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TIMESTAMP:
    case SQL_BLOB:
    case SQL_ARRAY:
    case SQL_QUAD:
    case SQL_TYPE_TIME:
    case SQL_TYPE_DATE:
    case SQL_INT64:
    case SQL_BOOLEAN:
    case SQL_NULL: return true;
    default: return false;
    }
}

std::string FieldTypeName(const SColumnInfo& column)
{
    const bool scaled = column.scale < 0;
    switch (column.fieldType)
    {
    case FieldSmallint: return scaled ? "NUMERIC" : "SMALLINT";
    case FieldInteger: return scaled ? "NUMERIC" : "INTEGER";
    case FieldBigint: return scaled ? "NUMERIC" : "BIGINT";
    case FieldQuad: return "QUAD";
    case FieldFloat: return "FLOAT";
    case FieldDFloat: return "D_FLOAT";
    case FieldDouble: return "DOUBLE PRECISION";
    case FieldDate: return "DATE";
    case FieldTime: return "TIME";
    case FieldTimestamp: return "TIMESTAMP";
    case FieldChar: return "CHAR";
    case FieldVarchar: return "VARCHAR";
    case FieldCstring: return "CSTRING";
    case FieldBoolean: return "BOOLEAN";
    case FieldBlob: return "BLOB SUB_TYPE " + std::to_string(column.blobSubType);
    // Types of newer servers, named for the messages that refuse them.
    case FieldDecfloat16: return "DECFLOAT(16)";
    case FieldDecfloat34: return "DECFLOAT(34)";
    case FieldInt128: return "INT128";
    case FieldTimeTz: return "TIME WITH TIME ZONE";
    case FieldTimestampTz: return "TIMESTAMP WITH TIME ZONE";
    default: return "type " + std::to_string(column.fieldType);
    }
}

std::vector<SSourceColumn> MatchSourceColumns(const std::vector<SResultColumn>& described,
                                              const std::vector<SColumnInfo>& info)
{
    std::vector<SSourceColumn> columns;
    for (const SResultColumn& result : described)
    {
        SSourceColumn column;
        column.name = result.name;
        column.sqlType = result.sqlType;
        for (const SColumnInfo& known : info)
        {
            if (known.name == column.name)
                column.info = known;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

std::vector<const SColumnPlan*> STablePlan::InsertColumns() const
{
    std::vector<const SColumnPlan*> inserted;
    for (const SColumnPlan& column : columns)
    {
        if (column.value != EColumnValue::LeftOut && column.value != EColumnValue::NotWritten)
            inserted.push_back(&column);
    }
    return inserted;
}

STablePlan BuildTablePlan(const std::string& table, const std::vector<SSourceColumn>& source,
                          const std::vector<SColumnInfo>& dest, const std::set<std::string>& deferred)
{
    STablePlan plan;
    plan.table = table;
    plan.source = source;
    for (const SColumnInfo& column : dest)
    {
        SColumnPlan planned;
        planned.name = column.name;
        planned.isString = IsStringClass(column);
        planned.dest = column;
        int index = -1;
        const SSourceColumn* from = FindSource(source, column.name, index);
        if (column.computed)
            planned.value = EColumnValue::NotWritten;
        else if (!from)
            PlanMissingColumn(column, planned, plan.problems);
        else
        {
            planned.sourceIndex = index;
            planned.value = deferred.count(column.name) ? EColumnValue::Deferred : EColumnValue::Source;
            planned.legacyText = from->info.characterSetId == 0 && IsRealCharacterSet(column.characterSetId);
            // Bytes of a type this client cannot read would arrive as
            // something else: the table is refused before it is touched.
            if (!IsKnownSqlType(from->sqlType))
                plan.problems.push_back("ERROR: Column " + column.name + " has a type this program cannot read (" +
                                        FieldTypeName(from->info) + ", SQL type " + std::to_string(from->sqlType) +
                                        ")");
        }
        plan.columns.push_back(std::move(planned));
    }
    // Rows made of defaults alone would carry nothing of the source's rows:
    // such a table is another table under the same name.
    plan.carriesNothing = std::none_of(plan.columns.begin(), plan.columns.end(), [](const SColumnPlan& column) {
        return column.value == EColumnValue::Source || column.value == EColumnValue::Deferred;
    });
    if (plan.carriesNothing)
        plan.problems.push_back("ERROR: The destination table has no column of the source table");
    return plan;
}
