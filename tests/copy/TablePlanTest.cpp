#include "copy/plan/TablePlan.h"

#include <gtest/gtest.h>
#include <ibase.h>

namespace
{
SColumnInfo Column(const std::string& name, int fieldType, bool nullable = true)
{
    SColumnInfo column;
    column.name = name;
    column.fieldType = fieldType;
    column.nullable = nullable;
    return column;
}

SSourceColumn Source(const std::string& name, int sqlType, int fieldType)
{
    return {name, sqlType, Column(name, fieldType)};
}
} // namespace

TEST(TablePlan, TypeOfANewerServerRefusesTheTableNamingColumnAndType)
{
    // A Firebird 4 server describes INT128 (field type 26) as SQL type 32752,
    // which this client cannot read.
    const std::vector<SSourceColumn> source{Source("ID", SQL_LONG, 8), Source("BIG", 32752, 26),
                                            Source("UNUSED", 32752, 26)};
    const std::vector<SColumnInfo> dest{Column("ID", 8), Column("BIG", 16)};
    const STablePlan plan = BuildTablePlan("T", source, dest, {});
    ASSERT_EQ(plan.problems.size(), 1u);
    EXPECT_EQ(plan.problems[0], "ERROR: Column BIG has a type this program cannot read (INT128, SQL type 32752)");
}

TEST(TablePlan, DeferredColumnsAreInsertedAsNullAndComputedOnesNotAtAll)
{
    SColumnInfo computed = Column("TWICE", 8);
    computed.computed = true;
    SColumnInfo identity = Column("SEQ", 8, false);
    identity.identitySequence = "RDB$1";
    const STablePlan plan = BuildTablePlan("T", {Source("ID", SQL_LONG, 8), Source("PARENT", SQL_LONG, 8)},
                                           {Column("ID", 8), Column("PARENT", 8), computed, identity}, {"PARENT"});
    EXPECT_TRUE(plan.problems.empty());
    ASSERT_EQ(plan.InsertColumns().size(), 2u);
    EXPECT_EQ(plan.InsertColumns()[1]->value, EColumnValue::Deferred);
    EXPECT_EQ(plan.columns[2].value, EColumnValue::NotWritten);
    EXPECT_EQ(plan.columns[3].value, EColumnValue::LeftOut);
}
