#include "copy/CTriggerJournal.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

TEST(CTriggerJournal, EntriesAreRecordedAndRemovedPerTable)
{
    CTempFolder folder;
    CTriggerJournal journal;
    journal.SetPath(folder.File("journal.txt"));
    EXPECT_TRUE(journal.Entries().empty());
    ASSERT_TRUE(journal.Record("/db/a.fdb", "CUSTOMER", {"CUST_BI", "CUST\tODD\\NAME"}));
    ASSERT_TRUE(journal.Record("host:/db/b.fdb", "ORDERS", {"ORD_BI"}));
    auto entries = journal.Entries("/db/a.fdb");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].table, "CUSTOMER");
    EXPECT_EQ(entries[0].triggers, (std::vector<std::string>{"CUST_BI", "CUST\tODD\\NAME"}));
    EXPECT_EQ(journal.Entries().size(), 2u);
    ASSERT_TRUE(journal.Remove("/db/a.fdb", "CUSTOMER"));
    EXPECT_EQ(journal.Entries().size(), 1u);
    ASSERT_TRUE(journal.Remove("host:/db/b.fdb", "ORDERS"));
    EXPECT_FALSE(FileExists(folder.File("journal.txt")));
    // A table without triggers needs no entry.
    ASSERT_TRUE(journal.Record("/db/a.fdb", "PLAIN", {}));
    EXPECT_FALSE(FileExists(folder.File("journal.txt")));
}

TEST(CTriggerJournal, LineCutShortByACrashIsIgnored)
{
    CTempFolder folder;
    AppendTextToFile(folder.File("journal.txt"), "/db/a.fdb\tT\tT_BI\n/db/a.fdb\tHALF");
    CTriggerJournal journal;
    journal.SetPath(folder.File("journal.txt"));
    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_EQ(journal.Entries()[0].triggers, (std::vector<std::string>{"T_BI"}));
}

TEST(CTriggerJournal, LeftoverTriggersAreSwitchedOnAgain)
{
    CTempDatabase db(R"(CREATE TABLE T (ID INTEGER);
                        SET TERM ^ ;
                        CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN END^
                        SET TERM ; ^
                        ALTER TRIGGER T_BI INACTIVE;)");
    CTempFolder folder;
    CTriggerJournal journal;
    journal.SetPath(folder.File("journal.txt"));
    journal.Record(db.Name(), "T", {"T_BI"});
    journal.Record("/elsewhere.fdb", "U", {"U_BI"});
    const auto restored = RestoreJournalTriggers(journal, db.Name(), TestUser, TestPassword, 1);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(db.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'T_BI'"), "0");
    // Only that database's entry is gone.
    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_EQ(journal.Entries()[0].table, "U");
}
