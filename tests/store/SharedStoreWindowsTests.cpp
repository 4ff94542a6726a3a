// The track information store on Windows lives in named sections of the
// paging file: every instance in every host process of the user's session
// sees one store, and a fact one host learns is known to another at once,
// before any file is written. This program runs itself a second time as the
// other host process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "store/TrackInfoStore.h"
#include "tests/support/TestFiles.h"

namespace {

const int32_t learnedFirst[4] = {101, 102, 103, 104};
const int32_t learnedSecond[4] = {201, 202, 203, 204};
const int32_t learnedLast[4] = {301, 302, 303, 304};

std::string emptyStoreFile(const std::string& name) {
    const std::string path = testdata::tempPath(name);
    testdata::writeFile(path, {});
    return path;
}

// The other host: it must find what the first one learned and learn a fact
// of its own; once told the first has seen it, it learns one more and quits
// at once, before any other process can have mapped that one. Exit codes
// tell the test what went wrong.
int runOtherHost(const std::string& storePath, const std::string& seenEvent) {
    HANDLE seen = OpenEventA(SYNCHRONIZE, FALSE, seenEvent.c_str());
    if (!seen) return 9;
    TrackInfoStore store(storePath);
    if (!store.usable()) return 10;
    if (store.userCount() != 2) return 11;
    if (store.getRecord(learnedFirst, nullptr, false).length != 4410) return 12;
    store.putRecord(learnedSecond, "C:\\music\\second.mp3", 128.0f, 8820, nullptr, true, true, false);
    if (WaitForSingleObject(seen, 30000) != WAIT_OBJECT_0) return 13;
    CloseHandle(seen);
    store.putRecord(learnedLast, "C:\\music\\last.mp3", 140.0f, 2205, nullptr, true, true, false);
    return 0;
}

// This program again, as the other host.
class OtherHost {
public:
    OtherHost(const std::string& storePath, const std::string& seenEvent) {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string command =
            std::string("\"") + self + "\" --other-host \"" + storePath + "\" " + seenEvent;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &started)) {
            CloseHandle(started.hThread);
            process = started.hProcess;
        }
    }
    ~OtherHost() {
        if (process) CloseHandle(process);
    }
    bool started() const { return process != nullptr; }
    DWORD exitCode() {
        DWORD code = 2000;
        if (process && WaitForSingleObject(process, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
        return code;
    }

private:
    HANDLE process = nullptr;
};

TEST(SharedStore, TwoInstancesInOneHostShareEveryFactAtOnce) {
    const std::string path = emptyStoreFile("one-host.dat");
    TrackInfoStore first(path);
    TrackInfoStore second(path);
    ASSERT_TRUE(first.usable() && second.usable());
    EXPECT_EQ(first.userCount(), 2);
    first.putRecord(learnedFirst, "C:\\music\\first.mp3", 100.0f, 4410, nullptr, true, true, false);
    EXPECT_EQ(second.getRecord(learnedFirst, nullptr, false).length, 4410);
    EXPECT_EQ(second.getRecord(learnedFirst, nullptr, false).tempo, 100.0f);
}

TEST(SharedStore, TwoHostProcessesShareEveryFactAndNoneIsLostWhenOneQuits) {
    const std::string path = emptyStoreFile("two-hosts.dat");
    const std::string seenEvent = "tunedeckStoreTestSeen." + std::to_string(GetCurrentProcessId());
    HANDLE seen = CreateEventA(nullptr, TRUE, FALSE, seenEvent.c_str());
    ASSERT_NE(seen, nullptr);
    {
        TrackInfoStore host(path);
        ASSERT_TRUE(host.usable());
        host.putRecord(learnedFirst, "C:\\music\\first.mp3", 100.0f, 4410, nullptr, true, true, false);
        // Nothing is in the file yet: what either process finds of the
        // other's, it found in the shared sections.
        OtherHost other(path, seenEvent);
        ASSERT_TRUE(other.started());
        TrackInfoRecord learned{};
        for (int wait = 0; wait < 1000 && learned.length != 8820; ++wait) {
            learned = host.getRecord(learnedSecond, nullptr, false);
            if (learned.length != 8820) Sleep(10);
        }
        SetEvent(seen);
        EXPECT_EQ(other.exitCode(), 0u);
        EXPECT_EQ(learned.length, 8820) << "the other host's fact, while it is known only in memory";
        EXPECT_EQ(learned.tempo, 128.0f);
        EXPECT_EQ(host.userCount(), 1) << "the other host left the store";
    }
    CloseHandle(seen);
    // The fact the other host learned just before it quit is in the file.
    TrackInfoStore reader(path);
    EXPECT_EQ(reader.recordCount(), 3);
    EXPECT_EQ(reader.getRecord(learnedLast, nullptr, false).length, 2205);
    EXPECT_EQ(reader.getRecord(learnedSecond, nullptr, false).length, 8820);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--other-host") == 0) return runOtherHost(argv[2], argv[3]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
