// The X11 window inside a parent window made as a host makes it, under Xvfb:
// what is drawn is what the window shows, and a real button press reaches
// the control under it.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "gui/Buttons.h"
#include "tests/gui/GuiFixture.h"

// After the test framework, whose names Xlib's macros would otherwise take.
#include "tests/support/TestDisplay.h"
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

// A pixel read back from the window, as 8-bit channels at the precision
// of the window's visual, and the same for a pixel of the buffer.
uint32_t readBack(unsigned long pixel, const Visual* visual) {
    uint32_t out = 0;
    const unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    for (int c = 0; c < 3; ++c) {
        unsigned long mask = masks[c], value = pixel & mask;
        int bits = 0;
        while (mask && !(mask & 1)) mask >>= 1, value >>= 1;
        while (mask & 1) mask >>= 1, ++bits;
        const uint32_t eight = bits >= 8 ? static_cast<uint32_t>(value >> (bits - 8)) : static_cast<uint32_t>(value << (8 - bits));
        out |= eight << (16 - 8 * c);
    }
    return out;
}
uint32_t atPrecision(uint32_t rgb, const Visual* visual) {
    uint32_t out = 0;
    const unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    for (int c = 0; c < 3; ++c) {
        int bits = 0;
        for (unsigned long mask = masks[c]; mask; mask >>= 1) bits += mask & 1;
        uint32_t eight = rgb >> (16 - 8 * c) & 0xFF;
        if (bits < 8) eight = eight >> (8 - bits) << (8 - bits);
        out |= eight << (16 - 8 * c);
    }
    return out;
}

// Hosts make their frames in the screen's visual, or in a 32-bit ARGB one.
class X11Editor : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
        display = openTestDisplay();
        ASSERT_NE(display, nullptr) << "cannot open " << std::getenv("DISPLAY");
        XVisualInfo argb{};
        if (GetParam()) {
            if (!XMatchVisualInfo(display, DefaultScreen(display), 32, TrueColor, &argb))
                GTEST_SKIP() << "this server has no 32-bit visual";
            XSetWindowAttributes attributes{};
            attributes.colormap = XCreateColormap(display, DefaultRootWindow(display), argb.visual, AllocNone);
            parent = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 32, InputOutput,
                                   argb.visual, CWColormap | CWBorderPixel | CWBackPixel, &attributes);
        } else {
            parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0);
        }
        XMapWindow(display, parent);
        XSync(display, False);
        effect = std::make_unique<PlainEffect>();
        editor = new TestEditor(*effect, Rect{0, 0, 120, 80});
        editor->open(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
        frame = editor->windowView();
    }
    void TearDown() override {
        effect.reset();
        if (display) {
            if (parent) XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }
    bool idleUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            editor->idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    ::Window child() {
        ::Window root, up, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &children, &count);
        ::Window first = count ? children[0] : 0;
        if (children) XFree(children);
        return first;
    }

    Display* display = nullptr;
    ::Window parent = 0;
    std::unique_ptr<PlainEffect> effect;
    TestEditor* editor = nullptr;
    WindowView* frame = nullptr;
    RecordingListener listener;
};

TEST_P(X11Editor, TheWindowShowsWhatWasDrawnAndARealClickReachesTheControl) {
    ASSERT_EQ(dynamic_cast<platform::OffscreenWindow*>(&frame->native()), nullptr) << "a real X11 window";
    std::vector<uint32_t> pixels(20 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 20; ++x) pixels[y * 20 + x] = y < 20 ? 0xFF0000 : 0x00FF00;
    auto* skin = new Bitmap(1, 20, 40, pixels);
    auto* toggle = new ToggleButton({10, 10, 30, 30}, &listener, 8, skin);
    skin->release();
    frame->addView(toggle);
    ASSERT_TRUE(idleUntil([&] { return !frame->firstPaintPending(); })) << "the window was painted";
    editor->idle();
    XSync(display, False);

    ::Window shown = child();
    ASSERT_NE(shown, 0u);
    XWindowAttributes shownAttributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, shown, &shownAttributes));
    XImage* image = XGetImage(display, shown, 0, 0, 120, 80, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int differences = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            differences += readBack(XGetPixel(image, x, y), shownAttributes.visual) !=
                           atPrecision(frame->pixels().at(x, y), shownAttributes.visual);
    XDestroyImage(image);
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(frame->pixels().at(20, 20), 0xFF0000u);

    XTestFakeMotionEvent(display, -1, 20, 20, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    // The button is held while the press is handled, as a hand holds it:
    // controls read the buttons held at that moment.
    bool reached = idleUntil([&] { return !listener.values.empty(); });
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(reached) << "the press reached the button";
    EXPECT_EQ(toggle->getValue(), 1.0f);
}

TEST_P(X11Editor, AHostThatDestroysItsFrameBeforeClosingTheEditorKeepsRunning) {
    ASSERT_TRUE(idleUntil([&] { return !frame->firstPaintPending(); }));
    XDestroyWindow(display, parent);
    XSync(display, False);
    parent = 0;
    // Drawing, the cursor and the pointer all meet a window that is gone.
    frame->native().present(frame->pixels().data(), 120, 80);
    frame->native().setCursor(2);
    frame->native().pointer();
    editor->idle();
    effect.reset(); // closes the editor and its window
    SUCCEED() << "no X error ended the process";
}

TEST_P(X11Editor, CallsFromAnotherThreadNeverReachTheDisplay) {
    ASSERT_TRUE(idleUntil([&] { return !frame->firstPaintPending(); }));
    const int before = platform::nativeWindowOffThreadCalls();
    std::thread other([&] {
        frame->native().pointer();
        frame->native().present(frame->pixels().data(), 120, 80);
        frame->native().setCursor(2);
    });
    other.join();
    EXPECT_EQ(platform::nativeWindowOffThreadCalls(), before + 3);
    editor->idle(); // the window still works on its own thread
}

INSTANTIATE_TEST_SUITE_P(Frames, X11Editor, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Argb32Parent" : "ScreenVisualParent"; });

} // namespace
