#include "core/CReplacingFile.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "support/CTempDatabase.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
bool IsFifo(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}
} // namespace

TEST(ReplacingFile, ARegularFileIsReplacedWhole)
{
    CTempFolder folder;
    const std::string path = folder.File("report.json");
    AppendTextToFile(path, "an older and longer report");
    EXPECT_TRUE(ReplaceFileContents(Utf8ToWide(path), "{}"));
    EXPECT_EQ(ReadWholeFile(path), "{}");
}

TEST(ReplacingFile, APipeIsWrittenIntoAndStaysAPipe)
{
    // Putting a file in the place of a pipe or a device (/dev/null) would
    // destroy it; the bytes go into it instead.
    CTempFolder folder;
    const std::string path = folder.File("pipe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::string error;
    // Without a reader the write fails at once rather than waiting for one.
    EXPECT_FALSE(ReplaceFileContents(Utf8ToWide(path), "{}", &error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(IsFifo(path));

    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    // Held open until the report is written, so that the reader waits for
    // the report's bytes instead of taking the empty pipe for its end.
    const int keeper = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(keeper, 0);
    const std::string report(100000, 'r'); // more than the pipe holds at once
    std::string received;
    std::thread drain([&] {
        ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(reader, buffer, sizeof buffer)) > 0)
            received.append(buffer, static_cast<size_t>(got));
    });
    const bool written = ReplaceFileContents(Utf8ToWide(path), report, &error);
    ::close(keeper);
    drain.join();
    ::close(reader);
    EXPECT_TRUE(written) << error;
    EXPECT_EQ(received, report);
    EXPECT_TRUE(IsFifo(path));
}
