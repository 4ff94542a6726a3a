// The window view through the off-screen window: which view a click reaches,
// the first-paint rule, key routing and the idle pump.
#include <gtest/gtest.h>

#include "gui/Slider.h"
#include "tests/gui/GuiFixture.h"

namespace {

class Probe : public View {
public:
    Probe(const Rect& r, int& clicks, uint32_t colour) : View(r), clicks(clicks), colour(colour) {}
    void mouse(Canvas&, Point where) override {
        ++clicks;
        last = where;
    }
    void draw(Canvas& canvas) override {
        canvas.setFillColour(Colour::fromPixel(colour));
        canvas.fillRect(size.offset(-1, -1));
        ++draws;
        setDirty(false);
    }
    int32_t onKeyDown(const KeyInput& key) override { return key.character == handles ? 1 : -1; }
    int& clicks;
    uint32_t colour;
    Point last{};
    int draws = 0;
    int32_t handles = -100;
};

class Window : public GuiFixture {
protected:
    void TearDown() override { platform::setTickSource(nullptr); }
};

TEST_F(Window, TheLaterOfTwoOverlappingViewsGetsTheClickAndEdgesHit) {
    int firstClicks = 0, secondClicks = 0;
    auto* first = new Probe({10, 10, 50, 40}, firstClicks, 0xFF0000);
    auto* second = new Probe({30, 20, 70, 50}, secondClicks, 0x00FF00);
    frame->addView(first);
    frame->addView(second);
    window->queueButtonDown(40, 30);
    window->queueButtonDown(50, 40); // inside both: the later one
    window->queueButtonDown(10, 10); // first's top-left corner
    window->queueButtonDown(70, 50); // second's bottom-right corner
    window->queueButtonDown(71, 50); // outside both
    editor->idle();
    EXPECT_EQ(secondClicks, 3);
    EXPECT_EQ(firstClicks, 1);
    second->setMouseEnabled(false);
    window->queueButtonDown(40, 30);
    editor->idle();
    EXPECT_EQ(firstClicks, 2) << "a view that takes no mouse is passed over";
}

TEST_F(Window, AModalViewTakesEveryClick) {
    int underClicks = 0, modalClicks = 0;
    frame->addView(new Probe({0, 0, 100, 60}, underClicks, 0xFF0000));
    auto* overlay = new Probe({20, 20, 40, 40}, modalClicks, 0x0000FF);
    ASSERT_TRUE(frame->setModalView(overlay));
    EXPECT_FALSE(frame->setModalView(overlay)) << "one modal view at a time";
    window->queueButtonDown(30, 30);
    window->queueButtonDown(5, 5);
    editor->idle();
    EXPECT_EQ(modalClicks, 1);
    EXPECT_EQ(underClicks, 0) << "outside the modal view nothing is clicked";
    frame->setModalView(nullptr);
    overlay->release();
}

TEST_F(Window, NothingIsDrawnBeforeTheFirstPaintThenDirtyViewsRedrawAtIdle) {
    int clicks = 0;
    auto* probe = new Probe({10, 10, 20, 20}, clicks, 0x00FF00);
    frame->addView(probe);
    probe->setDirty(true);
    editor->idle();
    EXPECT_EQ(probe->draws, 0) << "no paint yet";
    window->queuePaint(0, 0, 99, 59);
    editor->idle();
    EXPECT_EQ(probe->draws, 1);
    EXPECT_EQ(frame->pixels().at(15, 15), 0x00FF00u);
    EXPECT_GT(window->presentCount(), 0);
    probe->setDirty(true);
    editor->idle();
    EXPECT_EQ(probe->draws, 2);
    editor->idle();
    EXPECT_EQ(probe->draws, 2) << "clean views are not drawn again";
}

// Keys a host forwards are the window's only while it has the keyboard
// focus; then the focus view and the views from the last added take them.
TEST_F(Window, KeysAreTheWindowsOnlyWhileItHasTheFocus) {
    int clicks = 0;
    auto* a = new Probe({0, 0, 10, 10}, clicks, 0);
    auto* b = new Probe({0, 0, 10, 10}, clicks, 0);
    frame->addView(a);
    frame->addView(b);
    a->handles = 'a';
    b->handles = 'b';
    EXPECT_EQ(editor->onKeyDown(KeyInput{'a', 0, 0}), -1) << "without the focus the key stays the host's";
    EXPECT_EQ(effect->dispatcher(effEditKeyDown, 'b', 0, nullptr, 0.0f), 0);
    window->queueFocus(true);
    editor->idle();
    EXPECT_EQ(editor->onKeyDown(KeyInput{'a', 0, 0}), 1);
    EXPECT_EQ(editor->onKeyDown(KeyInput{'z', 0, 0}), -1);
    EXPECT_EQ(effect->dispatcher(effEditKeyDown, 'b', 0, nullptr, 0.0f), 1) << "the host's key reaches the views";
    window->queueFocus(false);
    editor->idle();
    EXPECT_EQ(editor->onKeyDown(KeyInput{'a', 0, 0}), -1);
}

// A drag is a state of the control, not a loop: each idle handles the
// events queued and returns, and the screen shows the handle where the
// pointer is while the button is still held.
TEST_F(Window, AHeldDragLetsEveryIdleReturnAndShowsTheHandleMoving) {
    Bitmap* handle = new Bitmap(0, 10, 10, std::vector<uint32_t>(100, 0x00FF0000));
    auto* slider = new Slider({0, 0, 100, 10}, &listener, 10, 0, 90, handle, nullptr, {0, 0},
                              Slider::Horizontal | Slider::GrowsRight);
    handle->release();
    frame->addView(slider);
    window->queuePaint(0, 0, 199, 99);
    editor->idle();
    window->queuePress({platform::LeftButton, 5, 5});
    editor->idle();
    const int32_t presents = window->presentCount();
    for (int32_t x = 10; x <= 90; x += 20) {
        window->queueMotion({platform::LeftButton, x, 5});
        editor->idle(); // returns with the button still held
        EXPECT_NEAR(slider->getValue(), (x - 4) / 90.0f, 1e-5f);
        EXPECT_EQ(frame->pixels().at(x, 5), 0x00FF0000u) << "the handle is shown under the pointer at " << x;
        const int32_t* area = window->lastArea();
        EXPECT_TRUE(area[0] >= 0 && area[1] >= 0 && area[2] <= 101 && area[3] <= 11)
            << "only the slider's pixels are sent: " << area[0] << "," << area[1] << " " << area[2] << "," << area[3];
    }
    const int32_t sent = window->presentCount();
    editor->idle();
    EXPECT_EQ(window->presentCount(), sent) << "nothing changed, nothing sent";
    EXPECT_GE(window->presentCount(), presents + 5) << "each motion reached the screen";
    EXPECT_EQ(CountingHost::edits.size(), 1u) << "begun, not yet ended";
    window->queueRelease({0, 90, 5});
    editor->idle();
    EXPECT_EQ(CountingHost::edits.size(), 2u);
    EXPECT_EQ(CountingHost::idles, 0) << "the host's idle is never called from inside ours";
}

} // namespace
