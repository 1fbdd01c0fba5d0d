#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "LineRecord.h"

namespace meshscope {
namespace {

// A full disk or a removed file stops the recording with one message; the
// bytes read after it are dropped quietly instead of failing every poll.
TEST(LineRecordFailures, FirstWriteErrorIsReportedOnceAndStopsTheRecording)
{
    LineRecord full;
    ASSERT_FALSE(full.open("/dev/full"));
    const auto problem = full.append("<1,1,1;2,2,2>");
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->find('\n'), std::string::npos);
    EXPECT_NE(problem->find("/dev/full: No space left on device"), std::string::npos) << *problem;
    EXPECT_FALSE(full.active());
    EXPECT_FALSE(full.append("more"));

    const auto path = std::filesystem::temp_directory_path() / ("meshscope-record-" + std::to_string(::getpid()));
    LineRecord removed;
    ASSERT_FALSE(removed.open(path.string()));
    EXPECT_FALSE(removed.append("<1,1,1;"));
    std::filesystem::remove(path);
    const auto gone = removed.append("2,2,2>");
    ASSERT_TRUE(gone);
    EXPECT_NE(gone->find("removed"), std::string::npos) << *gone;
    EXPECT_FALSE(removed.append("x"));

    // A pipe nobody reads is refused at once rather than holding up the start.
    const auto fifo = path.string() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto unread = LineRecord().open(fifo);
    std::filesystem::remove(fifo);
    ASSERT_TRUE(unread);
    EXPECT_NE(unread->find("No such device or address"), std::string::npos) << *unread;

    const auto directory = LineRecord().open(std::filesystem::temp_directory_path().string());
    ASSERT_TRUE(directory);
    EXPECT_NE(directory->find("Is a directory"), std::string::npos) << *directory;
}

} // namespace
} // namespace meshscope
