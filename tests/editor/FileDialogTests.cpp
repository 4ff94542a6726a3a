// The add and save dialogs run beside the host: its GUI thread keeps
// returning to it while a person browses, and the choice arrives at an idle.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/editor/EditorFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

// A dialog that stays open until the test closes it.
class HeldChoice : public platform::FileChoice {
public:
    explicit HeldChoice(HeldChoice*& handle) { handle = this; }
    State poll(std::vector<std::string>& chosen) override {
        if (state == State::Chosen) chosen = files;
        return state;
    }
    State state = State::Open;
    std::vector<std::string> files;
};

class HeldDialogs : public ScriptedDialogsBase {
public:
    std::unique_ptr<platform::FileChoice> startFileChoice(const std::string&, const std::vector<platform::FileFilter>&,
                                                          bool, uintptr_t) override {
        ++started;
        if (!available) return nullptr;
        return std::make_unique<HeldChoice>(open);
    }
    bool available = true;
    int started = 0;
    HeldChoice* open = nullptr;
};

class FileDialogs : public EditorFixture {};

TEST_P(FileDialogs, TheAddDialogLeavesTheHostFreeAndItsChoiceArrivesAtAnIdle) {
    HeldDialogs dialogs;
    openWindow();
    showPage(0);
    clickTag(1);
    ASSERT_NE(dialogs.open, nullptr) << "the dialog was started and the click returned";
    clickTag(1);
    EXPECT_EQ(dialogs.started, 1) << "one dialog at a time";
    view().idle();
    EXPECT_TRUE(player->trackList().empty());
    dialogs.open->files = {rampTrack("dialog-a.wav", 4410), rampTrack("dialog-b.wav", 4410)};
    dialogs.open->state = platform::FileChoice::State::Chosen;
    view().idle();
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().count, 2);
    EXPECT_NE(player->getCurrentSource(), nullptr) << "the first one is opened, as the add button does";
}

TEST_P(FileDialogs, WithNoDialogProgramTheWindowSaysWhatToInstall) {
    HeldDialogs dialogs;
    dialogs.available = false;
    openWindow();
    showPage(0);
    clickTag(1);
    EXPECT_EQ(controls().title->getText(), "Install zenity or kdialog to add files");
}

TUNEDECK_BOTH_BUILDS(FileDialogs);

// The system's dialogs through a stand-in zenity on the PATH: started in
// front of the host's window, read without waiting.
TEST(SystemFileDialog, RunsBesideTheHostAttachedToItsWindow) {
    const std::string folder = testdata::tempPath("fake-zenity");
    std::filesystem::create_directories(folder);
    const std::string script = folder + "/zenity", args = folder + "/args";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\necho \"$@\" > '" << args << "'\nsleep 0.3\necho /music/one.mp3\necho /music/two.wav\n";
    }
    chmod(script.c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const char* oldDisplay = std::getenv("DISPLAY");
    setenv("PATH", (folder + ":" + oldPath).c_str(), 1);
    setenv("DISPLAY", ":99", 1);
    auto choice = platform::dialogs().startFileChoice("Open files", {{"Tracks", {"*.mp3"}}}, false, 77);
    setenv("PATH", oldPath.c_str(), 1);
    if (oldDisplay) setenv("DISPLAY", oldDisplay, 1); else unsetenv("DISPLAY");
    ASSERT_NE(choice, nullptr);
    std::vector<std::string> chosen;
    EXPECT_EQ(choice->poll(chosen), platform::FileChoice::State::Open) << "the dialog is still up";
    platform::FileChoice::State state = platform::FileChoice::State::Open;
    for (int i = 0; i < 500 && state == platform::FileChoice::State::Open; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state = choice->poll(chosen);
    }
    EXPECT_EQ(state, platform::FileChoice::State::Chosen);
    EXPECT_EQ(chosen, (std::vector<std::string>{"/music/one.mp3", "/music/two.wav"}));
    std::ifstream in(args);
    const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(line.find("--attach=77"), std::string::npos) << line;
    EXPECT_NE(line.find("--multiple"), std::string::npos) << line;
}

// A message is not waited for: the call returns while it is still up.
TEST(SystemFileDialog, AMessageLeavesTheHostsThreadFree) {
    const std::string folder = testdata::tempPath("fake-zenity-message");
    std::filesystem::create_directories(folder);
    const std::string script = folder + "/zenity", closed = folder + "/closed";
    std::remove(closed.c_str());
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nsleep 1\ntouch '" << closed << "'\n";
    }
    chmod(script.c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const char* oldDisplay = std::getenv("DISPLAY");
    setenv("PATH", (folder + ":" + oldPath).c_str(), 1);
    setenv("DISPLAY", ":99", 1);
    platform::dialogs().showMessage("4 files were not added", "Track list");
    setenv("PATH", oldPath.c_str(), 1);
    if (oldDisplay) setenv("DISPLAY", oldDisplay, 1); else unsetenv("DISPLAY");
    EXPECT_FALSE(std::filesystem::exists(closed)) << "the call waited for the message to close";
}

} // namespace
