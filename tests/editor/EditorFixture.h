#pragma once
// A player with its own editor, opened on the off-screen window and shown
// once, as a host shows it; clicks go through the window as a pointer's do.
#include <gtest/gtest.h>

#include "gui/WindowView.h"
#include "platform/NativeWindow.h"
#include "tests/support/PlayerFixture.h"

class EditorFixture : public PlayerFixture, public ::testing::WithParamInterface<const BuildProfile*> {
protected:
    const BuildProfile& profile() const override { return *GetParam(); }
    TrackPlayer::EditorFactory editorFactory() const override { return TrackPlayer::makeEditor; }

    void SetUp() override {
        PlayerFixture::SetUp();
        now = 100000;
        platform::setTickSource([] { return now; });
    }

    bool compact() const { return GetParam()->compact; }
    PlayerEditor& view() { return editorOf(*player); }
    const EditorControls& controls() { return view().controls(); }
    Control* control(int32_t tag) { return controls().byTag[tag]; }
    platform::OffscreenWindow& window() {
        return dynamic_cast<platform::OffscreenWindow&>(view().windowView()->native());
    }

    void openWindow() {
        ASSERT_EQ(player->dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 1);
        showWindow();
    }
    // The window's first paint, after which idles draw what changed.
    void showWindow() {
        window().queuePaint(0, 0, GetParam()->editorWidth - 1, GetParam()->editorHeight - 1);
        view().idle();
    }
    // A press at (x, y) with buttons, released at once.
    void click(int32_t x, int32_t y, uint32_t buttons = platform::LeftButton) {
        window().script({{buttons, x, y}});
        window().queueButtonDown(x, y);
        view().idle();
    }
    // The compact build shows the page; the full build shows everything.
    void showPage(int32_t page) {
        if (compact()) view().setPage(page);
    }
    // Where a tag's control lies, by its rectangle's centre.
    Point centreOf(int32_t tag) {
        const Rect& r = control(tag)->viewSize();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void clickTag(int32_t tag, uint32_t buttons = platform::LeftButton) {
        Point at = centreOf(tag);
        click(at.x, at.y, buttons);
    }
    int32_t rowTag(int32_t row) const { return 26 + row; }
    int32_t loopTag(int32_t index) const { return GetParam()->loopTagBase + index; }
    uint32_t pixel(int32_t x, int32_t y) { return view().windowView()->pixels().at(x, y); }

    static inline uint32_t now = 0;
};

#define TUNEDECK_BOTH_BUILDS(suite)                                                                              \
    INSTANTIATE_TEST_SUITE_P(Builds, suite, ::testing::Values(&fullProfile, &compactProfile),                     \
                             [](const auto& info) { return std::string(info.param->compact ? "Compact" : "Full"); })
