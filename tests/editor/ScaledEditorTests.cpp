// The editor at a screen's scale: the window at the layout's size times the
// scale, every control where the layout puts it times the scale, the scale
// told by the host, chosen by a person (and kept in the session) or read
// from the desktop.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "deck/DeckState.h"
#include "tests/editor/EditorFixture.h"

namespace {

constexpr int32_t scaleCall = fourCharCode('P', 'r', 'e', 'S');
constexpr int32_t scaleCallValue = fourCharCode('A', 'e', 'C', 's');

class ScaledEditor : public EditorFixture {
protected:
    static platform::OffscreenWindow& windowOf(TrackPlayer& deck) {
        return dynamic_cast<platform::OffscreenWindow&>(editorOf(deck).windowView()->native());
    }
    // The middle of the device pixels that cover layout pixel v.
    static int32_t middle(int32_t v, float scale) { return (toDevice(v, scale) + toDevice(v + 1, scale)) / 2; }
    static Rect hostRect(TrackPlayer& deck) {
        ERect* rect = nullptr;
        EXPECT_EQ(deck.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 1);
        return rect ? Rect{rect->left, rect->top, rect->right, rect->bottom} : Rect{};
    }
    // Opens deck's window at the host's scale and shows it.
    static void openAt(TrackPlayer& deck, float scale) {
        EXPECT_EQ(deck.dispatcher(effVendorSpecific, scaleCall, scaleCallValue, nullptr, scale), 1);
        ASSERT_EQ(deck.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 1);
        const PixelSurface& pixels = editorOf(deck).windowView()->pixels();
        windowOf(deck).queuePaint(0, 0, pixels.width() - 1, pixels.height() - 1);
        editorOf(deck).idle();
    }
    // Clicks, page by page, every control that bears a host parameter, at
    // its centre's place at scale; the deck's parameters after each.
    std::vector<std::vector<float>> clickEveryControl(TrackPlayer& deck, float scale) {
        PlayerEditor& editor = editorOf(deck);
        std::vector<std::vector<float>> seen;
        for (int32_t page = 0; page < std::max(editor.controls().pageCount, 1); ++page) {
            if (compact()) editor.setPage(page);
            for (View* view : editor.controls().pages[page]) {
                auto* control = dynamic_cast<Control*>(view);
                if (!control || editor.parameterOf(control->getTag()) < 0) continue;
                const Rect& r = control->viewSize();
                const int32_t x = middle((r.left + r.right) / 2, scale), y = middle((r.top + r.bottom) / 2, scale);
                windowOf(deck).script({{platform::LeftButton, x, y}});
                windowOf(deck).queueButtonDown(x, y);
                editor.idle();
                std::vector<float> values;
                for (int32_t i = 0; i < TrackPlayer::parameterCount; ++i) values.push_back(deck.getParameter(i));
                seen.push_back(values);
            }
        }
        return seen;
    }
};

TEST_P(ScaledEditor, AtTwiceTheScaleTheWindowDoublesAndEveryControlActsAtItsDoubledPlace) {
    const int32_t width = GetParam()->editorWidth, height = GetParam()->editorHeight;
    EXPECT_EQ(hostRect(*player), (Rect{0, 0, width, height})) << "a plain screen: the layout's own size";
    openAt(*player, 2.0f);
    EXPECT_EQ(hostRect(*player), (Rect{0, 0, 2 * width, 2 * height}));
    const PixelSurface& pixels = view().windowView()->pixels();
    EXPECT_EQ(pixels.width(), 2 * width);
    EXPECT_EQ(pixels.height(), 2 * height);
    const std::vector<std::vector<float>> doubled = clickEveryControl(*player, 2.0f);

    TrackPlayer plain(TestHost::callback, profile(), TrackPlayer::makeEditor);
    openAt(plain, 1.0f);
    const std::vector<std::vector<float>> single = clickEveryControl(plain, 1.0f);
    ASSERT_GE(single.size(), 15u);
    EXPECT_EQ(doubled, single) << "each click at the doubled place acts as at scale 1";
    plain.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}

TEST_P(ScaledEditor, APersonsSizeOverridesTheHostsResizesTheWindowAndComesBackWithTheSession) {
    const int32_t width = GetParam()->editorWidth, height = GetParam()->editorHeight;
    openAt(*player, 2.0f);
    TestHost::reset();
    Control* about = view().controls().aboutButton();
    // Right clicks on the about button step through automatic, 100 %,
    // 125 % ...; so do right clicks on the title, always in view.
    const float expected[] = {1.0f, 1.25f, 1.5f};
    float before = 2.0f;
    for (float scale : expected) {
        const Rect now = scale < 1.5f ? about->viewSize() : view().controls().title->viewSize();
        const int32_t x = middle((now.left + now.right) / 2, before), y = middle((now.top + now.bottom) / 2, before);
        window().script({{platform::RightButton, x, y}});
        window().queueButtonDown(x, y);
        view().idle(); // the click
        view().idle(); // the new size, outside the window's events
        EXPECT_FLOAT_EQ(view().windowView()->scale(), scale);
        EXPECT_EQ(view().windowView()->pixels().width(), toDevice(width, scale));
        EXPECT_EQ(window().lastSize()[0], toDevice(width, scale));
        EXPECT_EQ(window().lastSize()[1], toDevice(height, scale));
        EXPECT_EQ(hostRect(*player), (Rect{0, 0, toDevice(width, scale), toDevice(height, scale)}));
        before = scale;
    }
    EXPECT_EQ(TestHost::timesAsked(audioMasterSizeWindow), 3u) << "the host is asked for each new size";
    EXPECT_FALSE(view().windowView()->getModalView()) << "a right click does not show the about page";

    // The choice is the session's: a new instance opens at 150 % whatever
    // the host says.
    void* data = nullptr;
    const auto size = player->dispatcher(effGetChunk, 0, 0, &data, 0.0f);
    ASSERT_GT(size, 0);
    std::vector<uint8_t> block(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    TrackPlayer reopened(TestHost::callback, profile(), TrackPlayer::makeEditor);
    ASSERT_EQ(reopened.dispatcher(effSetChunk, 0, static_cast<intptr_t>(block.size()), block.data(), 0.0f), 1);
    reopened.waitForOpenings();
    openAt(reopened, 2.0f);
    EXPECT_FLOAT_EQ(editorOf(reopened).windowView()->scale(), 1.5f);
    reopened.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);

    // A size this version cannot show (a later version's 400 %, a wild
    // value) reads as no choice, and the rest of the deck comes back.
    DeckState state;
    ASSERT_TRUE(state.read(block.data(), block.size()));
    EXPECT_FLOAT_EQ(state.windowScale, 1.5f);
    for (float wild : {0.5f, 4.0f, -1.0f, 1e30f, std::nanf("")}) {
        DeckState edited = state;
        edited.windowScale = wild;
        const std::vector<uint8_t> written = edited.write();
        DeckState read;
        ASSERT_TRUE(read.read(written.data(), written.size())) << wild;
        EXPECT_EQ(read.windowScale, 0.0f) << wild;
        EXPECT_EQ(read.entries.size(), state.entries.size());
    }
}

// The window moved to a monitor of another scale (Windows tells it so):
// the editor follows and asks the host for the size, unless the host told
// a scale of its own, which wins.
TEST_P(ScaledEditor, TheWindowFollowsItsScreensScaleUnlessTheHostToldOne) {
    openWindow();
    TestHost::reset();
    window().queueScale(2.0f);
    view().idle(); // the screen's news
    view().idle(); // acted on, outside the window's events
    EXPECT_FLOAT_EQ(view().windowView()->scale(), 2.0f);
    EXPECT_EQ(window().lastSize()[0], 2 * GetParam()->editorWidth);
    EXPECT_EQ(TestHost::timesAsked(audioMasterSizeWindow), 1u);
    EXPECT_EQ(player->dispatcher(effVendorSpecific, scaleCall, scaleCallValue, nullptr, 1.5f), 1);
    window().queueScale(3.0f);
    view().idle();
    view().idle();
    EXPECT_FLOAT_EQ(view().windowView()->scale(), 1.5f) << "the host's scale wins over the screen's";
    EXPECT_EQ(player->dispatcher(effVendorSpecific, scaleCall, scaleCallValue, nullptr, std::nanf("")), 0);
    EXPECT_EQ(player->dispatcher(effVendorSpecific, 0, scaleCallValue, nullptr, 2.0f), 0) << "another vendor's call";
}

TEST_P(ScaledEditor, WithoutAHostsScaleTheDesktopsIsTakenWithinOneToThree) {
#ifdef _WIN32
    GTEST_SKIP() << "the desktop's scale on Windows is the window's DPI";
#else
    const int32_t width = GetParam()->editorWidth;
    struct Case {
        const char* gdk;
        const char* qt;
        float scale;
    };
    const Case cases[] = {{"2", nullptr, 2.0f},   {nullptr, "1.5", 1.5f}, {nullptr, "1.3", 1.25f}, {"7", nullptr, 3.0f},
                          {nullptr, "0.5", 1.0f}, {"two", nullptr, 1.0f}, {nullptr, "nan", 1.0f}};
    for (const Case& c : cases) {
        TrackPlayer deck(TestHost::callback, profile(), TrackPlayer::makeEditor);
        if (c.gdk) setenv("GDK_SCALE", c.gdk, 1);
        if (c.qt) setenv("QT_SCALE_FACTOR", c.qt, 1);
        const Rect size = hostRect(deck);
        unsetenv("GDK_SCALE");
        unsetenv("QT_SCALE_FACTOR");
        EXPECT_EQ(size.right, toDevice(width, c.scale)) << (c.gdk ? c.gdk : c.qt);
    }
#endif
}

TUNEDECK_BOTH_BUILDS(ScaledEditor);

} // namespace
