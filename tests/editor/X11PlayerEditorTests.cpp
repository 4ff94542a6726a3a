// Each build's editor as a Linux host shows it: inside the host's window
// under Xvfb, clicked with a real pointer; and gone, window and threads,
// once the host has closed it and the plug-in.
#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <cmath>
#include <thread>

#include "gui/WindowView.h"
#include "tests/support/PlayerFixture.h"

// After the test framework, whose names Xlib's macros would otherwise take.
#include "tests/support/TestDisplay.h"
#include <X11/extensions/XTest.h>

namespace {

int threadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

class X11PlayerEditor : public ::testing::TestWithParam<const BuildProfile*> {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
        display = openTestDisplay();
        ASSERT_NE(display, nullptr) << "cannot open " << std::getenv("DISPLAY");
        TestHost::reset();
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 400, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    void TearDown() override {
        if (!display) return;
        XDestroyWindow(display, parent);
        XCloseDisplay(display);
    }
    int children() {
        ::Window root, up, *list = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &list, &count);
        if (list) XFree(list);
        return static_cast<int>(count);
    }
    intptr_t call(int32_t opcode, void* ptr = nullptr) { return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f); }
    void idleFor(int milliseconds) {
        for (int i = 0; i < milliseconds / 5; ++i) {
            call(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    Display* display = nullptr;
    ::Window parent = 0;
    AEffect* effect = nullptr;
};

TEST_P(X11PlayerEditor, ARealClickOnPlayStartsPlaybackAndClosingLeavesNothingBehind) {
    const int threadsBefore = threadCount();
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    const std::string track = PlayerFixture::rampTrack("x11-play.wav", 88200);
    player->addPaths({track}, true);
    player->waitForOpenings();
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    ASSERT_EQ(dynamic_cast<platform::OffscreenWindow*>(&editorOf(*player).windowView()->native()), nullptr)
        << "a real X11 window";
    idleFor(200);
    ASSERT_EQ(children(), 1);
    ASSERT_FALSE(player->isPlaying());

    XTestFakeMotionEvent(display, -1, 72, 52, CurrentTime); // the Play button
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    for (int i = 0; i < 200 && !player->isPlaying(); ++i) idleFor(5);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    idleFor(50);
    ASSERT_TRUE(player->isPlaying()) << "the click reached the Play button";

    float left[512] = {}, right[512] = {};
    float* outs[2] = {left, right};
    effect->processReplacing(effect, nullptr, outs, 512);
    float loudest = 0.0f;
    for (float sample : left) loudest = std::max(loudest, std::abs(sample));
    EXPECT_GT(loudest, 0.001f) << "the track is heard";

    call(effEditClose);
    XSync(display, False);
    EXPECT_EQ(children(), 0) << "the editor's window is gone";
    call(effClose);
    EXPECT_EQ(threadCount(), threadsBefore) << "no thread outlives the plug-in";
}

// A press and its release that reach the window together, before the
// host's next idle, still make a click: every one of ten counts.
TEST_P(X11PlayerEditor, QuickClicksOnPlayEachCount) {
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    player->addPaths({PlayerFixture::rampTrack("x11-quick.wav", 441000)}, true);
    player->waitForOpenings();
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    idleFor(200);
    XTestFakeMotionEvent(display, -1, 72, 52, CurrentTime); // the Play button
    int counted = 0;
    for (int click = 0; click < 10; ++click) {
        const bool before = player->isPlaying();
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        call(effEditIdle); // one idle sees both
        counted += player->isPlaying() != before;
    }
    EXPECT_EQ(counted, 10);
    call(effEditClose);
    call(effClose);
}

// Two clicks on a list row that reach the window together are timed by
// the server's own event times: a double click plays the row.
TEST_P(X11PlayerEditor, ADoubleClickOnAListRowPlaysIt) {
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    player->addPaths({PlayerFixture::rampTrack("x11-row-a.wav", 4410), PlayerFixture::rampTrack("x11-row-b.wav", 4410),
                      PlayerFixture::rampTrack("x11-row-c.wav", 4410)},
                     true);
    player->waitForOpenings();
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    if (GetParam()->compact) editorOf(*player).setPage(2);
    idleFor(200);
    const Rect row = editorOf(*player).controls().rows[2]->viewSize();
    XTestFakeMotionEvent(display, -1, row.left + 20, (row.top + row.bottom) / 2, CurrentTime);
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
    }
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    call(effEditIdle);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 2);
    call(effEditClose);
    call(effClose);
}

TEST_P(X11PlayerEditor, AHostThatClosesThePluginWithTheWindowOpenGetsACleanClose) {
    const int threadsBefore = threadCount();
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    idleFor(100);
    EXPECT_EQ(children(), 1) << "opening twice keeps one window";
    call(effClose);
    XSync(display, False);
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(threadCount(), threadsBefore);
}

INSTANTIATE_TEST_SUITE_P(Builds, X11PlayerEditor, ::testing::Values(&fullProfile, &compactProfile),
                         [](const auto& info) { return std::string(info.param->compact ? "Compact" : "Full"); });

} // namespace
