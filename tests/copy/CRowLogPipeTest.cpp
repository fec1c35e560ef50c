#include "copy/logs/CRowLogPipe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(CRowLogPipe, EachFileGetsItsLinesInOrderAndCloseWritesTheRest)
{
    std::array<std::string, CRowLogPipe::FileCount> written;
    std::thread::id writerThread;
    {
        CRowLogPipe pipe([&](CRowLogPipe::EFile file, const std::string& text) {
            writerThread = std::this_thread::get_id();
            // A slow disk: blocks are gathered while the last one is written.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            written[file] += text;
        });
        for (int i = 0; i < 500; ++i)
        {
            pipe.Gathered(CRowLogPipe::RunLog) += "run " + std::to_string(i) + "\r\n";
            if (i % 3 == 0)
                pipe.Gathered(CRowLogPipe::TextLog) += "text " + std::to_string(i) + "\r\n";
            if (i % 7 == 0)
                pipe.Send();
        }
        pipe.Gathered(CRowLogPipe::SqlLog) += "last\r\n";
    } // closed by its destructor

    std::string run;
    std::string text;
    for (int i = 0; i < 500; ++i)
    {
        run += "run " + std::to_string(i) + "\r\n";
        if (i % 3 == 0)
            text += "text " + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(written[CRowLogPipe::RunLog], run);
    EXPECT_EQ(written[CRowLogPipe::TextLog], text);
    EXPECT_EQ(written[CRowLogPipe::SqlLog], "last\r\n");
    EXPECT_NE(writerThread, std::this_thread::get_id());
}
