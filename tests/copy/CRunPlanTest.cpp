#include "copy/plan/CRunPlan.h"

#include <gtest/gtest.h>

namespace
{
SForeignKey Key(const std::string& name, const std::string& child, const std::string& column, const std::string& parent)
{
    return {name, child, {column}, parent, {"ID"}, "NO ACTION"};
}

const NullableColumns AllNullable = [](const std::string&, const std::vector<std::string>&) { return true; };
const NullableColumns NoneNullable = [](const std::string&, const std::vector<std::string>&) { return false; };

SRunPlan Plan(const std::vector<std::string>& tables, const std::vector<SForeignKey>& keys,
              const NullableColumns& nullable, const std::vector<SCheckRead>& checks = {})
{
    SRunSchema schema{keys, checks, nullable, [](const std::string&) { return std::vector<std::string>{"ID"}; }};
    return PlanRun(tables, schema);
}
} // namespace

TEST(CRunPlan, TablesWithoutJoiningKeysKeepTheListOrder)
{
    // A key to a table that is not chosen does not reorder anything.
    const SRunPlan plan = Plan({"C", "A", "B"}, {Key("FK", "C", "X_ID", "X")}, AllNullable);
    EXPECT_FALSE(plan.reordered);
    EXPECT_EQ(plan.fillOrder, (std::vector<std::string>{"C", "A", "B"}));
}

TEST(CRunPlan, ParentsAreFilledFirstAndEmptiedLast)
{
    const SRunPlan plan =
        Plan({"ITEM", "ZEBRA", "ORDERS", "CUSTOMER"},
             {Key("FK1", "ITEM", "ORDER_ID", "ORDERS"), Key("FK2", "ORDERS", "CUSTOMER_ID", "CUSTOMER")}, AllNullable);
    EXPECT_TRUE(plan.reordered);
    EXPECT_EQ(plan.fillOrder, (std::vector<std::string>{"ZEBRA", "CUSTOMER", "ORDERS", "ITEM"}));
    // ZEBRA is no part of the group: its own copy empties it.
    ASSERT_EQ(plan.groups.size(), 1u);
    EXPECT_EQ(plan.groups[0].emptyOrder, (std::vector<std::string>{"ITEM", "ORDERS", "CUSTOMER"}));
    EXPECT_TRUE(plan.deferred.empty());
}

TEST(CRunPlan, SelfReferencesAndCyclesAreBrokenByNullableKeys)
{
    const std::vector<SForeignKey> keys{Key("FK_HEAD", "DEPT", "HEAD_ID", "DEPT"),
                                        Key("FK_MANAGER", "DEPT", "MANAGER_ID", "EMP"),
                                        Key("FK_DEPT", "EMP", "DEPT_ID", "DEPT")};
    // EMP.DEPT_ID may not be NULL; DEPT's keys may.
    const NullableColumns nullable = [](const std::string& table, const std::vector<std::string>&) {
        return table == "DEPT";
    };
    const SRunPlan plan = Plan({"EMP", "DEPT"}, keys, nullable);
    EXPECT_EQ(plan.fillOrder, (std::vector<std::string>{"DEPT", "EMP"}));
    ASSERT_EQ(plan.deferred.size(), 2u);
    EXPECT_EQ(plan.deferred[0].constraint, "FK_HEAD");
    EXPECT_EQ(plan.deferred[1].constraint, "FK_MANAGER");
    EXPECT_TRUE(plan.unbreakable.empty());
}

TEST(CRunPlan, CycleOfMandatoryKeysIsReported)
{
    const SRunPlan plan =
        Plan({"A", "B", "C"}, {Key("AB", "A", "B_ID", "B"), Key("BA", "B", "A_ID", "A")}, NoneNullable);
    EXPECT_EQ(plan.unbreakable, (std::vector<std::string>{"A", "B"}));
    // Every table is still copied: the ones outside the cycle first.
    EXPECT_EQ(plan.fillOrder, (std::vector<std::string>{"C", "A", "B"}));
}
