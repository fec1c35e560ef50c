// Log entries that cannot be written are noticed, whether the file cannot
// be opened or the disk is full, and a run reports the first such log.
#include "copy/logs/CLogWriter.h"
#include "CopyFixture.h"
#include "copy/run/CCopyRun.h"

#include <gtest/gtest.h>

TEST(CLogWriter, FileThatCannotBeOpenedIsLost)
{
    CTempFolder folder;
    CLogWriter writer;
    writer.SetPath(folder.File("missing/run_log.txt"));
    EXPECT_FALSE(writer.AppendLine("entry"));
    EXPECT_TRUE(writer.Lost());
    EXPECT_FALSE(writer.AppendLine("next"));
    EXPECT_TRUE(writer.Lost());
    // Another file starts afresh.
    writer.SetPath(folder.File("run_log.txt"));
    EXPECT_FALSE(writer.Lost());
    EXPECT_TRUE(writer.AppendLine("entry"));
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(writer.Lost());
    EXPECT_EQ(ReadWholeFile(folder.File("run_log.txt")), "entry\r\n");
}

TEST(CLogWriter, FullDiskIsNoticedWhenTheBufferReachesIt)
{
    // /dev/full takes the open and the buffered writes and refuses the flush,
    // as a disk that has filled up does.
    CLogWriter writer;
    writer.SetPath("/dev/full");
    writer.AppendLine("entry");
    EXPECT_FALSE(writer.Close());
    EXPECT_TRUE(writer.Lost());
    writer.ResetLost();
    EXPECT_FALSE(writer.Lost());
}

TEST(CLogWriter, RunReportsTheFirstLostLogAndStillCopies)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", "CREATE TABLE T (ID INTEGER);");
    ASSERT_EQ(copy.prepared, 0);
    SRunSettings settings = copy.engine.Settings();
    settings.files.runLog = copy.program.File("gone/run_log.txt");
    copy.engine.Configure(settings);
    CStringGrid tables;
    tables.SetSize(1, 1);
    tables.SetCell(0, 0, "T");
    std::atomic<bool> stop{false};
    SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, true, {}}, stop, {});
    EXPECT_TRUE(result.allCopied);
    EXPECT_EQ(result.lostLogFile, copy.program.File("gone/run_log.txt"));
    EXPECT_EQ(copy.dest.Scalar("SELECT ID FROM T"), "1");

    // Without logs nothing can be lost, and a new run starts clean.
    result = RunCopyJob({&tables, &copy.engine, ELogging::Off, true, {}}, stop, {});
    EXPECT_TRUE(result.allCopied);
    EXPECT_EQ(result.lostLogFile, "");
}
