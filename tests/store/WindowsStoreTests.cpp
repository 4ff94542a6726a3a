// The track store on Windows: in the user's roaming application data
// folder, never beside the plug-in, and there for the next host session.
// This program runs itself a second time as that session.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/PlayerFixture.h"

namespace {

// A deck in a session of its own: opens path and waits until the store
// has answered. With tempo > 0 it is told that tempo; its exit code is the
// tempo it found, rounded.
int runSession(const std::string& path, float tempo) {
    TestHost::reset();
    TrackPlayer player(TestHost::callback, fullProfile, RecordingEditor::make);
    player.open();
    if (const int failed = openAndAwaitStore(player, path)) return failed;
    if (tempo > 0) player.setTempo(tempo);
    player.storeKeeper()->settle();
    return static_cast<int>(player.getTempo() + 0.5f);
}

// This program again, as the next session; its exit code.
DWORD nextSession(const std::string& path) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --session \"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return 1000;
    CloseHandle(started.hThread);
    DWORD code = 2000;
    if (WaitForSingleObject(started.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    return code;
}

TEST(WindowsStore, TheNextSessionFindsTheTempoInTheUsersApplicationData) {
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 8;
    recipe.sample = [](int frame, int channel) { return (frame * (channel ? 13 : 7) + GetCurrentProcessId()) % 16000 - 8000; };
    const std::string track = testdata::writeWav("windows-store.wav", recipe);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    // A first store's file beside the program (an older build's) is read, never written.
    const auto besides = std::filesystem::path(self).parent_path() / "trakvox.dat";
    std::error_code error;
    const auto before = std::filesystem::exists(besides) ? std::filesystem::last_write_time(besides, error)
                                                         : std::filesystem::file_time_type{};
    EXPECT_EQ(runSession(track, 133.0f), 133);
    EXPECT_EQ(nextSession(track), 133u) << "1: no track, 2: not identified, 1000: no session";
    const char* appData = std::getenv("APPDATA");
    ASSERT_TRUE(appData);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(appData) / "tunedeck" / "tracks.db"));
    const auto after = std::filesystem::exists(besides) ? std::filesystem::last_write_time(besides, error)
                                                        : std::filesystem::file_time_type{};
    EXPECT_EQ(before, after) << "nothing is written beside the program";
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--session") == 0) return runSession(argv[2], 0.0f);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
