// Controls under a scripted pointer: what a user feels when clicking and
// dragging them.
#include <algorithm>
#include <cmath>

#include "gui/Buttons.h"
#include "gui/Knobs.h"
#include "gui/Slider.h"
#include "tests/gui/GuiFixture.h"

namespace {

using platform::PointerState;

Bitmap* plainBitmap(int32_t w, int32_t h, uint32_t colour = 0x808080) {
    return new Bitmap(1, w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, colour));
}

class Controls : public GuiFixture {
protected:
    // A 100-pixel slider whose 10-pixel handle travels 90 pixels.
    Slider* addSlider() {
        Bitmap* handle = plainBitmap(10, 10);
        auto* slider = new Slider({0, 0, 100, 10}, &listener, 10, 0, 90, handle, nullptr, {0, 0},
                                  Slider::Horizontal | Slider::GrowsRight);
        handle->release();
        frame->addView(slider);
        return slider;
    }
};

TEST_F(Controls, ASliderClickedAnywhereCentresItsHandleUnderThePointer) {
    Slider* slider = addSlider();
    press({50, 5}, {{1, 50, 5}, {1, 50, 5}});
    EXPECT_FLOAT_EQ(slider->getValue(), (50 - 4) / 90.0f);
    ASSERT_FALSE(listener.values.empty());
    EXPECT_EQ(CountingHost::edits, (std::vector<std::pair<int32_t, int32_t>>{{audioMasterBeginEdit, 10},
                                                                      {audioMasterEndEdit, 10}}));
    EXPECT_EQ(frame->getFocusView(), slider);
}

TEST_F(Controls, ShiftDragsTenTimesSlowerAndNormalSpeedContinuesFromThere) {
    Slider* slider = addSlider();
    press({4, 5}, {{1, 4, 5}, {1, 49, 5}, {1 | 8, 49, 5}, {1 | 8, 94, 5}, {1, 94, 5}, {1, 99, 5}});
    // 0.5 at x 49; shift from there: 45 pixels give 0.05; without shift
    // again, 5 more pixels give 5 / 90 more.
    EXPECT_NE(std::find(listener.values.begin(), listener.values.end(), 0.5f), listener.values.end());
    EXPECT_NE(std::find_if(listener.values.begin(), listener.values.end(),
                           [](float v) { return std::fabs(v - 0.55f) < 1e-5f; }),
              listener.values.end());
    EXPECT_NEAR(slider->getValue(), 0.55f + 5.0f / 90.0f, 0.012f);
}

TEST_F(Controls, ControlClickResetsToTheDefaultAndReportsOnlyAChange) {
    Slider* slider = addSlider();
    slider->setValue(0.2f);
    slider->setDirty(false);
    press({80, 5}, {{1 | 16, 80, 5}});
    EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);
    EXPECT_EQ(listener.values.size(), 1u);
    slider->setDirty(false);
    press({80, 5}, {{1 | 16, 80, 5}});
    EXPECT_EQ(listener.values.size(), 1u) << "already at the default: nothing to report";
    EXPECT_TRUE(CountingHost::edits.empty()) << "no drag follows";
}

// A transport button acts once, on its release inside; sliding off before
// releasing cancels, and sliding back in restores the press.
TEST_F(Controls, AMomentaryButtonActsOnceOnReleaseInsideAndSlidingOffCancels) {
    auto* momentary = new MomentaryButton({10, 10, 30, 30}, &listener, 4, nullptr, 20, {0, 0});
    frame->addView(momentary);
    press({20, 20}, {{1, 20, 20}, {1, 22, 22}, {0, 22, 22}});
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f}));
    listener.values.clear();
    press({20, 20}, {{1, 20, 20}, {1, 100, 80}, {0, 100, 80}});
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f})) << "released outside: no release to act on";
    EXPECT_EQ(momentary->getValue(), 0.0f);
    listener.values.clear();
    press({20, 20}, {{1, 20, 20}, {1, 100, 80}, {1, 15, 15}, {0, 15, 15}});
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f})) << "back inside: acts once";
    // A press and its release that arrive together (a touchpad tap) still click.
    listener.values.clear();
    window->queuePress({1, 20, 20});
    window->queueRelease({0, 20, 20});
    editor->idle();
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f}));

    listener.values.clear();
    auto* pressButton = new PressButton({50, 10, 70, 30}, &listener, 8, nullptr, 20, {0, 0});
    frame->addView(pressButton);
    press({60, 20}, {{4, 60, 20}, {4, 60, 20}});
    EXPECT_EQ(listener.values, (std::vector<float>{0.5f, 0.0f})) << "a right press gives half";
}

TEST_F(Controls, AThreeStateSwitchCyclesThroughItsStates) {
    auto* step = new StepSwitch({0, 0, 20, 20}, &listener, 9, nullptr, 3);
    frame->addView(step);
    for (int i = 0; i < 4; ++i) press({5, 5}, {{1, 5, 5}});
    EXPECT_EQ(listener.values, (std::vector<float>{0.5f, 1.0f, 0.0f, 0.5f}));
}

TEST_F(Controls, ARotaryKnobStopsAtItsEndWhileAJogKnobWraps) {
    // A 40 × 40 knob: the arc runs clockwise from the lower left (minimum)
    // over the top to the lower right (maximum).
    auto* rotary = new RotaryKnob({0, 0, 40, 40}, &listener, 18, nullptr, nullptr, {0, 0});
    auto* jog = new JogKnob({100, 0, 140, 40}, nullptr, 22, nullptr, 72, 40, {0, 0});
    frame->addView(rotary);
    frame->addView(jog);
    EXPECT_FLOAT_EQ(rotary->valueFromPoint({20, 0}), 0.5f);
    EXPECT_FLOAT_EQ(rotary->valueFromPoint({22, 39}), 1.0f) << "the dead zone's nearer end";
    EXPECT_FLOAT_EQ(rotary->valueFromPoint({18, 39}), 0.0f);
    rotary->setValue(0.94f);
    jog->setValue(0.94f);
    // From near the maximum, on through the dead zone to near the minimum.
    const std::initializer_list<PointerState> path = {{1, 38, 30}, {1, 38, 30}, {1, 30, 39}, {1, 10, 39}, {1, 2, 30}};
    press({38, 30}, path);
    EXPECT_FLOAT_EQ(rotary->getValue(), 1.0f) << "the rotary knob stays at its end";
    press({138, 30}, {{1, 138, 30}, {1, 138, 30}, {1, 130, 39}, {1, 110, 39}, {1, 102, 30}});
    EXPECT_LT(jog->getValue(), 0.2f) << "the jog wheel goes on from the other end";
}

TEST_F(Controls, KnobWheelAndArrowKeysMoveByTheIncrementWithinBounds) {
    auto* knob = new RotaryKnob({0, 0, 40, 40}, &listener, 18, nullptr, nullptr, {0, 0});
    frame->addView(knob);
    knob->setValue(0.95f);
    knob->onWheel(nullptr, {0, 0}, 1.0f);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(knob->onKeyDown(KeyInput{0, 11, 0}), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.9f);
    EXPECT_EQ(knob->onKeyDown(KeyInput{'x', 0, 0}), -1);
}

TEST_F(Controls, AStripKnobPicksTheImageForItsValue) {
    auto* strip = new StripKnob({0, 0, 20, 20}, &listener, 30, nullptr, 5, 20, {0, 0});
    frame->addView(strip);
    strip->setValue(0.3f);
    EXPECT_EQ(strip->stripOffset(), 20);
    strip->setValue(1.0f);
    EXPECT_EQ(strip->stripOffset(), 80);
    strip->setValue(-0.5f);
    EXPECT_EQ(strip->stripOffset(), 0);
}

TEST_F(Controls, AnOverlayButtonTakesAllMouseInputWhileItIsOn) {
    int32_t otherClicks = 0;
    struct Counter : View {
        Counter(int32_t& n) : View({0, 0, 199, 99}), count(n) {}
        void mouse(Canvas&, Point) override { ++count; }
        int32_t& count;
    };
    frame->addView(new Counter(otherClicks));
    auto* overlay = new OverlayButton({180, 0, 199, 10}, &listener, 5, nullptr, {20, 20, 120, 80}, {0, 0});
    frame->addView(overlay);
    press({185, 5}, {{1, 185, 5}});
    EXPECT_EQ(frame->getModalView(), overlay);
    press({5, 95}, {{1, 5, 95}});
    EXPECT_EQ(otherClicks, 0) << "outside the overlay nothing else is clicked";
    press({50, 50}, {{1, 50, 50}});
    EXPECT_EQ(frame->getModalView(), nullptr) << "clicked again, it lets go";
    press({5, 95}, {{1, 5, 95}});
    EXPECT_EQ(otherClicks, 1);
}

} // namespace

#include "gui/TextLabel.h"

namespace {

TEST_F(Controls, LabelsShowTheirValueOrTheirTextAndRedrawOnlyOnAChange) {
    auto* label = new TextLabel({0, 0, 60, 20}, nullptr, 40, nullptr, 0);
    label->setValue(0.5f);
    EXPECT_EQ(label->text(), "0.50");
    label->setConversion([](float v, char* out, void*) { std::snprintf(out, 256, "%d bpm", static_cast<int>(v * 100)); });
    EXPECT_EQ(label->text(), "50 bpm");
    auto* field = new TextField({0, 30, 100, 50}, nullptr, 41, "Track one", nullptr, 0);
    frame->addView(label);
    frame->addView(field);
    window->queuePaint(0, 0, 199, 99);
    editor->idle();
    EXPECT_FALSE(field->isDirty());
    field->setText("Track one");
    EXPECT_FALSE(field->isDirty()) << "the same text changes nothing";
    field->setText(std::string(400, 'x').c_str());
    EXPECT_EQ(field->getText().size(), 255u);
    EXPECT_TRUE(field->isDirty());
    editor->idle();
    int inked = 0;
    for (int x = 0; x < 100; ++x)
        for (int y = 30; y < 50; ++y) inked += frame->pixels().at(x, y) == 0xFFFFFFu;
    EXPECT_GT(inked, 20) << "the text was drawn in white";
    auto* hidden = new TextLabel({0, 60, 60, 80}, nullptr, 42, nullptr, TextLabel::NoDraw);
    EXPECT_FALSE(hidden->isDirty()) << "a label that draws nothing starts clean";
    hidden->release();
}

} // namespace
