#include "app/cli_io.h"

#include "support/stdout_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>

namespace
{

using test_support::ReadFile;
using test_support::StdoutTo;

TEST(OutputSink, WritesEverythingInOrderWhateverThePieceSizes)
{
    const std::string path = ::testing::TempDir() + "sink_out.bin";
    struct Row {
        std::size_t blockSize;
        std::size_t maxPiece; // pieces of 0..maxPiece bytes, some single bytes, some past the block
        int pieces;
    };
    const Row rows[]
        = { { 16, 40, 300 }, { 1024, 100, 2000 }, { 1024, 5000, 500 }, { 1u << 16, 300000, 100 }, { 7, 1, 200 } };
    std::mt19937 rng(7);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.blockSize);
        std::string want;
        {
            StdoutTo redirect(path.c_str());
            cli_io::OutputSink sink(row.blockSize);
            for (int i = 0; i < row.pieces; ++i) {
                std::string piece(rng() % (row.maxPiece + 1), '\0');
                for (char &c : piece)
                    c = static_cast<char>('a' + rng() % 26);
                if (rng() % 3 == 0) {
                    sink.append(static_cast<char>('0' + i % 10));
                    want += static_cast<char>('0' + i % 10);
                }
                sink.append(piece);
                want += piece;
            }
            ASSERT_TRUE(sink.flush());
            sink.append(std::string_view("tail"));
            want += "tail";
            ASSERT_TRUE(sink.flush());
        }
        EXPECT_EQ(ReadFile(path), want);
    }
    std::remove(path.c_str());
}

TEST(OutputSink, AFullDiskFailsTheFlushAndDropsTheRest)
{
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    testing::internal::CaptureStderr();
    bool flushed = true, okAfter = true;
    {
        StdoutTo redirect("/dev/full");
        cli_io::OutputSink sink(64);
        for (int i = 0; i < 100; ++i)
            sink.append(std::string(50, 'x'));
        flushed = sink.flush();
        okAfter = sink.ok();
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(flushed);
    EXPECT_FALSE(okAfter);
    // One message, not one per block.
    EXPECT_EQ(err.find("standard output"), err.rfind("standard output")) << err;
    EXPECT_NE(err.find("standard output"), std::string::npos) << err;
}

} // namespace

namespace
{

TEST(HeldOutput, ItemsComeOutInOrderAcrossBlocks)
{
    const std::string path = ::testing::TempDir() + "held_out.bin";
    for (const bool crlf : { false, true }) {
        std::string want;
        {
            StdoutTo redirect(path.c_str());
            cli_io::HeldOutput held;
            // Items around and beyond the block size, and many small ones in between.
            const std::size_t sizes[] = { 0, 5, (4u << 20) - 3, 2, (4u << 20) + 10, 1 };
            for (int round = 0; round < 3; ++round) {
                for (const std::size_t size : sizes) {
                    const std::string item(size, static_cast<char>('a' + round));
                    held.appendItem(item, crlf);
                    want += item + (crlf ? "\r\n" : "\n");
                }
            }
            ASSERT_TRUE(held.write());
        }
        EXPECT_TRUE(ReadFile(path) == want) << "crlf " << crlf;
    }
    std::remove(path.c_str());
}

} // namespace
