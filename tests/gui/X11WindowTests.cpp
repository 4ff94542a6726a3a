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

class X11Editor : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
        display = openTestDisplay();
        ASSERT_NE(display, nullptr) << "cannot open " << std::getenv("DISPLAY");
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0);
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
            XDestroyWindow(display, parent);
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

TEST_F(X11Editor, TheWindowShowsWhatWasDrawnAndARealClickReachesTheControl) {
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
    XImage* image = XGetImage(display, shown, 0, 0, 120, 80, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int differences = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            differences += (XGetPixel(image, x, y) & 0xFFFFFF) != frame->pixels().at(x, y);
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

TEST_F(X11Editor, CallsFromAnotherThreadNeverReachTheDisplay) {
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

} // namespace
