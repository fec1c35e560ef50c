#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using namespace std::string_literals;

namespace
{
void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

mode_t Permissions(const std::string& path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return static_cast<mode_t>(-1);
    return info.st_mode & 07777;
}

// Bytes that are not a repetition of one short pattern, so a misplaced
// chunk cannot go unnoticed.
std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

std::u16string Wide(const std::string& path)
{
    return Utf8ToWide(path);
}
} // namespace

TEST(FileExists, TrueOnlyForFiles)
{
    CTempFolder folder;
    WriteBytes(folder.File("a.fdb"), "x");
    EXPECT_TRUE(FileExists(folder.File("a.fdb")));
    EXPECT_TRUE(FileExists(Wide(folder.File("a.fdb"))));
    EXPECT_FALSE(FileExists(folder.Path()));
    EXPECT_FALSE(FileExists(Wide(folder.Path())));
    EXPECT_FALSE(FileExists(folder.File("missing.fdb")));
    EXPECT_FALSE(FileExists(u""));
}

TEST(DirectoryExists, TrueOnlyForDirectories)
{
    CTempFolder folder;
    WriteBytes(folder.File("a.fdb"), "x");
    EXPECT_TRUE(DirectoryExists(folder.Path()));
    EXPECT_TRUE(DirectoryExists(Wide(folder.Path())));
    EXPECT_FALSE(DirectoryExists(folder.File("a.fdb")));
    EXPECT_FALSE(DirectoryExists(folder.File("missing")));
    EXPECT_FALSE(DirectoryExists(Wide(folder.File("missing"))));
}

TEST(FileHelpers, WidePathsReachFilesWithNonAsciiNames)
{
    CTempFolder folder;
    const std::string narrow = folder.File("d\xC3\xA9j\xC3\xA0.txt");
    const std::u16string wide = Utf8ToWide(folder.Path()) + u"d\u00E9j\u00E0.txt";
    ASSERT_TRUE(AppendTextToFile(wide, "abc"));
    EXPECT_EQ(ReadBytes(narrow), "abc");
    EXPECT_TRUE(FileExists(wide));
    EXPECT_EQ(ReadWholeFile(wide), "abc");
}

TEST(RemoveFile, RemovesAnExistingFileOnly)
{
    CTempFolder folder;
    WriteBytes(folder.File("a.txt"), "x");
    EXPECT_TRUE(RemoveFile(Wide(folder.File("a.txt"))));
    EXPECT_FALSE(FileExists(folder.File("a.txt")));
    EXPECT_FALSE(RemoveFile(Wide(folder.File("a.txt"))));
    EXPECT_FALSE(RemoveFile(folder.File("missing.txt")));
}

TEST(CreateFolder, CreatesOnceAndRefusesAnExistingOne)
{
    CTempFolder folder;
    EXPECT_TRUE(CreateFolder(Wide(folder.File("run"))));
    EXPECT_TRUE(DirectoryExists(folder.File("run")));
    EXPECT_FALSE(CreateFolder(folder.File("run")));
    EXPECT_FALSE(CreateFolder(folder.File("missing/run")));
}

TEST(MakeFileWritable, GivesTheOwnerWritePermissionOnAReadOnlyFile)
{
    CTempFolder folder;
    const std::string path = folder.File("backup.fdb");
    WriteBytes(path, "data");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(MakeFileWritable(Wide(path)), 0);
    const mode_t mode = Permissions(path);
    EXPECT_NE(mode & S_IWUSR, 0u);
    // Nobody else gains write permission, and read permissions stay.
    EXPECT_EQ(mode & (S_IWGRP | S_IWOTH), 0u);
    EXPECT_EQ(mode & 0444, 0444u);
    EXPECT_EQ(ReadBytes(path), "data");
}

TEST(MakeFileWritable, WritableFileIsLeftAsItIs)
{
    CTempFolder folder;
    const std::string path = folder.File("a.fdb");
    WriteBytes(path, "data");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(MakeFileWritable(path), 0);
    EXPECT_EQ(Permissions(path), 0640u);
}

TEST(MakeFileWritable, MissingFileFails)
{
    CTempFolder folder;
    EXPECT_EQ(MakeFileWritable(Wide(folder.File("missing.fdb"))), -1);
    EXPECT_FALSE(FileExists(folder.File("missing.fdb")));
}

TEST(AppendTextToFile, CreatesTheFileAndAppendsExactBytes)
{
    CTempFolder folder;
    const std::u16string path = Wide(folder.File("log.txt"));
    EXPECT_TRUE(AppendTextToFile(path, "one\n"));
    EXPECT_TRUE(AppendTextToFile(path, ""));
    EXPECT_TRUE(AppendTextToFile(path, "t\xC3\xA9\0x"s));
    EXPECT_EQ(ReadBytes(folder.File("log.txt")), "one\nt\xC3\xA9\0x"s);
}

TEST(AppendTextToFile, FolderThatDoesNotExistFails)
{
    CTempFolder folder;
    EXPECT_FALSE(AppendTextToFile(Wide(folder.File("missing/log.txt")), "x"));
    EXPECT_FALSE(AppendTextToFile(u"", "x"));
}

TEST(AppendLineToFile, EachLineEndsWithCrLfAndNoByteOrderMark)
{
    CTempFolder folder;
    const std::u16string path = Wide(folder.File("log.txt"));
    EXPECT_TRUE(AppendLineToFile(path, "<TBL_CUST> copied"));
    EXPECT_TRUE(AppendLineToFile(path, ""));
    EXPECT_TRUE(AppendLineToFile(path, "caf\xC3\xA9"));
    EXPECT_EQ(ReadBytes(folder.File("log.txt")), "<TBL_CUST> copied\r\n\r\ncaf\xC3\xA9\r\n");
    EXPECT_FALSE(AppendLineToFile(Wide(folder.File("missing/log.txt")), "x"));
}

TEST(ReadWholeFile, ReturnsAllBytesOfALargeFile)
{
    CTempFolder folder;
    std::string bytes = Pattern(200000);
    for (char& c : bytes)
    {
        if (c == '\0')
            c = '\x01';
    }
    bytes += "\r\nend";
    WriteBytes(folder.File("big.sql"), bytes);
    EXPECT_EQ(ReadWholeFile(Wide(folder.File("big.sql"))), bytes);
}

TEST(ReadWholeFile, StopsAtTheFirstZeroByte)
{
    CTempFolder folder;
    WriteBytes(folder.File("a.sql"), "SELECT 1\r\n\0FROM x"s);
    EXPECT_EQ(ReadWholeFile(Wide(folder.File("a.sql"))), "SELECT 1\r\n");
    WriteBytes(folder.File("b.sql"), "\0abc"s);
    EXPECT_EQ(ReadWholeFile(folder.File("b.sql")), "");
}

TEST(ReadWholeFile, MissingOrEmptyFileGivesEmptyText)
{
    CTempFolder folder;
    EXPECT_EQ(ReadWholeFile(Wide(folder.File("missing.sql"))), "");
    WriteBytes(folder.File("empty.sql"), "");
    EXPECT_EQ(ReadWholeFile(folder.File("empty.sql")), "");
}

TEST(CopyFileInChunks, CopiesEveryByteAcrossChunkBoundaries)
{
    CTempFolder folder;
    const std::string bytes = Pattern(3 * 20480 + 123);
    WriteBytes(folder.File("src.fdb"), bytes);
    EXPECT_TRUE(CopyFileInChunks(Wide(folder.File("src.fdb")), Wide(folder.File("dst.fdb")), 20480));
    EXPECT_EQ(ReadBytes(folder.File("dst.fdb")), bytes);
    EXPECT_EQ(ReadBytes(folder.File("src.fdb")), bytes);
}

TEST(CopyFileInChunks, SizeThatIsAMultipleOfTheChunk)
{
    CTempFolder folder;
    const std::string bytes = Pattern(2 * 4096);
    WriteBytes(folder.File("src.fdb"), bytes);
    EXPECT_TRUE(CopyFileInChunks(folder.File("src.fdb"), folder.File("dst.fdb"), 4096));
    EXPECT_EQ(ReadBytes(folder.File("dst.fdb")), bytes);
}

TEST(CopyFileInChunks, ReplacesALongerExistingDestination)
{
    CTempFolder folder;
    WriteBytes(folder.File("src.fdb"), "new content");
    WriteBytes(folder.File("dst.fdb"), std::string(50000, 'o'));
    EXPECT_TRUE(CopyFileInChunks(Wide(folder.File("src.fdb")), Wide(folder.File("dst.fdb")), 20480));
    EXPECT_EQ(ReadBytes(folder.File("dst.fdb")), "new content");
}

TEST(CopyFileInChunks, ReplacesAReadOnlyDestination)
{
    CTempFolder folder;
    WriteBytes(folder.File("src.fdb"), "new content");
    WriteBytes(folder.File("dst.fdb"), "old content, longer");
    ASSERT_EQ(::chmod(folder.File("dst.fdb").c_str(), 0444), 0);
    EXPECT_TRUE(CopyFileInChunks(folder.File("src.fdb"), folder.File("dst.fdb"), 20480));
    EXPECT_EQ(ReadBytes(folder.File("dst.fdb")), "new content");
}

TEST(CopyFileInChunks, EmptySourceGivesAnEmptyDestination)
{
    CTempFolder folder;
    WriteBytes(folder.File("src.fdb"), "");
    WriteBytes(folder.File("old.fdb"), "old");
    EXPECT_TRUE(CopyFileInChunks(Wide(folder.File("src.fdb")), Wide(folder.File("dst.fdb")), 20480));
    EXPECT_TRUE(FileExists(folder.File("dst.fdb")));
    EXPECT_EQ(ReadBytes(folder.File("dst.fdb")), "");
    EXPECT_TRUE(CopyFileInChunks(folder.File("src.fdb"), folder.File("old.fdb"), 20480));
    EXPECT_EQ(ReadBytes(folder.File("old.fdb")), "");
}

TEST(CopyFileInChunks, ACopyCutShortByAFullDiskIsRemoved)
{
    // A file size limit stands in for a full disk: writes past it fail.
    CTempFolder folder;
    WriteBytes(folder.File("src.fdb"), Pattern(5 * 20480));
    WriteBytes(folder.File("dst.fdb"), "an earlier copy");
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 3 * 20480 + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool copied = CopyFileInChunks(folder.File("src.fdb"), folder.File("dst.fdb"), 20480);
    const bool wideCopied = CopyFileInChunks(Wide(folder.File("src.fdb")), Wide(folder.File("wide.fdb")), 4096);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(copied);
    EXPECT_FALSE(wideCopied);
    EXPECT_FALSE(FileExists(folder.File("dst.fdb")));
    EXPECT_FALSE(FileExists(folder.File("wide.fdb")));
    EXPECT_EQ(ReadBytes(folder.File("src.fdb")), Pattern(5 * 20480));
}

TEST(CopyFileInChunks, ACopyInProgressCanBeRemovedByAnInterrupt)
{
    // A pipe as the source holds the copy open for as long as the test
    // needs: the interrupt comes while the backup is half written.
    CTempFolder folder;
    const std::string pipe = folder.File("source.pipe");
    const std::string copy = folder.File("backup.fdb");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread copier([&] { CopyFileInChunks(pipe, copy, 4); });
    std::ofstream writer(pipe, std::ios::binary);
    writer << "half a database" << std::flush;
    for (int wait = 0; wait < 5000 && !FileExists(copy); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(FileExists(copy));
    RemoveCopyInProgress();
    EXPECT_FALSE(FileExists(copy));
    writer.close();
    copier.join();
    // Nothing is in progress any more: a finished copy stays.
    WriteBytes(folder.File("whole.fdb"), "whole");
    ASSERT_TRUE(CopyFileInChunks(folder.File("whole.fdb"), copy, 4));
    RemoveCopyInProgress();
    EXPECT_EQ(ReadBytes(copy), "whole");
}

TEST(CopyFileInChunks, MissingSourceFailsAndLeavesTheDestinationAlone)
{
    CTempFolder folder;
    WriteBytes(folder.File("dst.fdb"), "keep");
    EXPECT_FALSE(CopyFileInChunks(Wide(folder.File("missing.fdb")), Wide(folder.File("dst.fdb")), 20480));
    EXPECT_EQ(ReadBytes(folder.File("dst.fdb")), "keep");
}

TEST(CopyFileInChunks, DestinationThatCannotBeCreatedFails)
{
    CTempFolder folder;
    WriteBytes(folder.File("src.fdb"), "data");
    EXPECT_FALSE(CopyFileInChunks(folder.File("src.fdb"), folder.File("missing/dst.fdb"), 20480));
    EXPECT_FALSE(CopyFileInChunks(Wide(folder.File("src.fdb")), Wide(folder.Path()), 20480));
    EXPECT_EQ(ReadBytes(folder.File("src.fdb")), "data");
}
