#include <atomic>
#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/FileBytes.h"
#include "platform/Thread.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(Thread, AWaitTimesOutWhileTheBodyRunsAndSucceedsOnceItEnds) {
    std::atomic<bool> release{false};
    platform::Thread thread;
    ASSERT_TRUE(thread.start([&] { while (!release) platform::sleepMs(1); }, platform::Thread::Priority::Lowest));
    EXPECT_FALSE(thread.waitFor(20));
    release = true;
    EXPECT_TRUE(thread.waitFor(2000));
    thread.join();
    EXPECT_TRUE(platform::Thread().waitFor(0)) << "nothing started: nothing to wait for";
}

uint32_t fixedTick() { return 0xFFFFFFF0u; }

TEST(Clock, TestsCanSubstituteTheTick) {
    platform::setTickSource(fixedTick);
    EXPECT_EQ(platform::tickCount(), 0xFFFFFFF0u);
    platform::setTickSource(nullptr);
    uint32_t a = platform::tickCount();
    platform::sleepMs(5);
    EXPECT_GE(static_cast<uint32_t>(platform::tickCount() - a), 4u);
}

TEST(FileBytes, ReadsWholeFilesAndRefusesWhatCannotBeRead) {
    auto path = testdata::tempPath("mapping.bin");
    testdata::writeFile(path, {1, 2, 3});
    auto mapping = platform::FileBytes::open(path.c_str());
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(mapping->size(), 3u);
    EXPECT_EQ(mapping->data()[2], 3);
    auto empty = testdata::tempPath("mapping-empty.bin");
    testdata::writeFile(empty, {});
    EXPECT_EQ(platform::FileBytes::open(empty.c_str()), nullptr);
    EXPECT_EQ(platform::FileBytes::open("/no/such/file"), nullptr);
    auto huge = testdata::tempPath("huge.bin");
    testdata::writeFile(huge, {1});
    std::filesystem::resize_file(huge, platform::FileBytes::largest + 1); // sparse: no disk is used
    EXPECT_EQ(platform::FileBytes::open(huge.c_str()), nullptr) << "too large to hold in memory";
    std::filesystem::remove(huge);
    EXPECT_EQ(platform::FileBytes::open(testdata::tempPath("").c_str()), nullptr) << "a folder";
    EXPECT_EQ(platform::FileBytes::open(nullptr), nullptr);
}

} // namespace
