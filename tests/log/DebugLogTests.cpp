#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "log/DebugLog.h"
#include "tests/support/TestFiles.h"

namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DebugLogFile : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { DebugLog::destroy(); }
};

TEST_P(DebugLogFile, TextsWithoutALineEndContinueTheLineUnderOnePrefix) {
    std::string path = testdata::tempPath(GetParam() ? "log-reopen.txt" : "log-kept.txt");
    DebugLog::create(path.c_str(), GetParam());
    writeLog("A");
    writeLog("B\n");
    writeLog("C\n");
    writeLogf("setParameter() : %d, %.2f...", 3, 0.5);
    writeLog("ok\n");
    DebugLog::destroy();
    std::regex expected(R"(\d+\.\d\d \([0-9a-f]+/[0-9a-f]+\) - AB
\d+\.\d\d \([0-9a-f]+/[0-9a-f]+\) - C
\d+\.\d\d \([0-9a-f]+/[0-9a-f]+\) - setParameter\(\) : 3, 0\.50\.\.\.ok
)");
    std::string text = contents(path);
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_P(DebugLogFile, FourThreadsWritingAtOnceKeepEveryLineWhole) {
    std::string path = testdata::tempPath(GetParam() ? "log-threads-reopen.txt" : "log-threads-kept.txt");
    DebugLog::create(path.c_str(), GetParam());
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 300; ++i) writeLogf("thread %d message %d\n", t, i);
        });
    for (auto& writer : writers) writer.join();
    DebugLog::destroy();
    std::istringstream lines(contents(path));
    std::regex line(R"(\d+\.\d\d \([0-9a-f]+/[0-9a-f]+\) - thread \d message \d+)");
    int count = 0;
    for (std::string text; std::getline(lines, text); ++count) ASSERT_TRUE(std::regex_match(text, line)) << text;
    EXPECT_EQ(count, 1200);
}

INSTANTIATE_TEST_SUITE_P(Modes, DebugLogFile, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ReopenedEachMessage" : "KeptOpen"; });

TEST(DebugLog, WithoutALogEveryCallReturnsWithoutEffect) {
    DebugLog::destroy();
    EXPECT_EQ(DebugLog::instance(), nullptr);
    writeLog("nothing\n");
    writeLogf("%d\n", 1);
}

} // namespace
