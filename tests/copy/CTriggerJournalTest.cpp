#include "copy/safety/CTriggerJournal.h"
#include "copy/safety/CFailedTables.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

TEST(CTriggerJournal, EntriesAreRecordedAndRemovedPerTable)
{
    CTempFolder folder;
    CTriggerJournal journal;
    journal.SetPath(folder.File("journal.txt"));
    EXPECT_TRUE(journal.Entries().empty());
    ASSERT_TRUE(journal.Record({"/db/a.fdb", ""}, "CUSTOMER", {"CUST_BI", "CUST\tODD\\NAME"}));
    ASSERT_TRUE(journal.Record({"host:/db/b.fdb", ""}, "ORDERS", {"ORD_BI"}));
    auto entries = journal.Entries({"/db/a.fdb", ""});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].table, "CUSTOMER");
    EXPECT_EQ(entries[0].triggers, (std::vector<std::string>{"CUST_BI", "CUST\tODD\\NAME"}));
    EXPECT_EQ(journal.Entries().size(), 2u);
    ASSERT_TRUE(journal.Remove({"/db/a.fdb", ""}, "CUSTOMER"));
    EXPECT_EQ(journal.Entries().size(), 1u);
    ASSERT_TRUE(journal.Remove({"host:/db/b.fdb", ""}, "ORDERS"));
    EXPECT_FALSE(FileExists(folder.File("journal.txt")));
    // A table without triggers needs no entry.
    ASSERT_TRUE(journal.Record({"/db/a.fdb", ""}, "PLAIN", {}));
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

TEST(CTriggerJournal, RecordFilesEditedByHandOrDamagedKeepTheirGoodLines)
{
    // Both record files read their lines alike: a byte order mark, Windows
    // line ends and a damaged line with a zero byte lose no good entry.
    struct SCase
    {
        const char* what;
        std::string content;
    };
    const std::string journalLine = "\tgone:1@h\tid-1\t/db/a.fdb\tT\tT_BI";
    const std::string failedLine = "id-1\t/db/a.fdb\tT\tU";
    for (const SCase& c :
         {SCase{"plain", "@\n"}, SCase{"byte order mark", "\xEF\xBB\xBF@\n"}, SCase{"Windows line ends", "@\r\n"},
          SCase{"damaged line before", std::string("x\0y\n@\n", 6)}})
    {
        SCOPED_TRACE(c.what);
        CTempFolder folder;
        std::string journalText = c.content;
        std::string failedText = c.content;
        journalText.replace(journalText.find('@'), 1, journalLine);
        failedText.replace(failedText.find('@'), 1, failedLine);
        AppendTextToFile(folder.File("journal.txt"), journalText);
        AppendTextToFile(folder.File("failed.txt"), failedText);
        CTriggerJournal journal;
        journal.SetPath(folder.File("journal.txt"));
        const auto entries = journal.Entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].identity, "id-1");
        EXPECT_EQ(entries[0].table, "T");
        EXPECT_EQ(entries[0].triggers, (std::vector<std::string>{"T_BI"}));
        CFailedTables failed;
        failed.SetPath(folder.File("failed.txt"));
        std::vector<std::string> tables;
        ASSERT_TRUE(failed.Find({"/db/a.fdb", "id-1"}, tables));
        EXPECT_EQ(tables, (std::vector<std::string>{"T", "U"}));
    }
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
    journal.Record({db.Name(), ""}, "T", {"T_BI"});
    journal.Record({"/elsewhere.fdb", ""}, "U", {"U_BI"});
    const auto restored = RestoreJournalTriggers(journal, db.Name(), TestUser, TestPassword, 1);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(db.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'T_BI'"), "0");
    // Only that database's entry is gone.
    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_EQ(journal.Entries()[0].table, "U");
}

TEST(CTriggerJournal, EntriesOfOlderVersionsAndOtherNamesOfTheSameDatabaseAreFound)
{
    CTempFolder folder;
    // A line as an older version wrote it: no owner, no identity.
    AppendTextToFile(folder.File("journal.txt"), "/db/a.fdb\tOLD\tOLD_BI\n");
    CTriggerJournal journal;
    journal.SetPath(folder.File("journal.txt"));
    ASSERT_TRUE(journal.Record({"localhost:/db/../db/a.fdb", "/db/a.fdb|2024-01-01"}, "NEW", {"NEW_BI"}));
    ASSERT_EQ(journal.Entries({"/db/a.fdb", ""}).size(), 1u); // the older line, by its name
    // The identity decides wherever both sides know it.
    const auto entries = journal.Entries({"/srv/link.fdb", "/db/a.fdb|2024-01-01"});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].table, "NEW");
    EXPECT_EQ(entries[0].owner, CTriggerJournal::ThisProcess());
    EXPECT_TRUE(journal.Entries({"/db/b.fdb", "/db/b.fdb|2024-01-01"}).empty());
}

TEST(CTriggerJournal, ADestinationHeldByALiveCopyIsRefusedAndADeadOnesHoldIsDropped)
{
    CTempFolder folder;
    const std::string path = folder.File("journal.txt");
    const CTriggerJournal::SDatabase dest{"/db/d.fdb", "/db/d.fdb|2024"};
    // A copy in a child process takes the destination and dies holding it.
    const pid_t dead = fork();
    if (dead == 0)
    {
        CTriggerJournal journal;
        journal.SetPath(path);
        std::string holder;
        _exit(journal.Claim(dest, holder) ? 0 : 1);
    }
    int status = 0;
    waitpid(dead, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_NE(ReadWholeFile(path).find("/db/d.fdb|2024"), std::string::npos);

    // Its hold means nothing any more.
    CTriggerJournal journal;
    journal.SetPath(path);
    std::string holder;
    ASSERT_TRUE(journal.Claim(dest, holder)) << holder;
    const std::string self = CTriggerJournal::ThisProcess();
    EXPECT_TRUE(CTriggerJournal::IsAlive(self));
    EXPECT_FALSE(CTriggerJournal::IsAlive(std::to_string(dead) + self.substr(self.find(':'))));

    // A second copy while this one runs is refused and told who holds it.
    const pid_t second = fork();
    if (second == 0)
    {
        CTriggerJournal other;
        other.SetPath(path);
        std::string held;
        _exit(!other.Claim(dest, held) && held == self ? 0 : 1);
    }
    waitpid(second, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a second copy was let into a held destination";
    journal.Release(dest);
    EXPECT_FALSE(FileExists(path));
}
