// The window's layout as a user meets it: which control a click reaches
// where two overlap, how far the position handle goes, and sliders that
// leave the page as painted when their handle moves.
#include "gui/EmbeddedImages.h"
#include "resources/Skin.h"
#include "tests/editor/EditorFixture.h"

namespace {

class EditorLayout : public EditorFixture {};

TEST_P(EditorLayout, TagTablesHoldEveryControlOfTheBuild) {
    openWindow();
    EXPECT_EQ(controls().tagCount, compact() ? 60 : 62);
    int32_t filled = 0;
    for (int32_t tag = 0; tag < controls().tagCount; ++tag) filled += controls().byTag[tag] != nullptr;
    // Compact: tags 1..59 all carry a control. Full: 1..61 but for the page
    // button (7) and the unused 35. The last is Sync's, over the key.
    EXPECT_EQ(filled, compact() ? 59 : 59);
    EXPECT_EQ(controls().byTag[0], nullptr);
    EXPECT_EQ(control(7) != nullptr, compact());
    EXPECT_EQ(controls().rowCount, compact() ? 5 : 7);
    EXPECT_EQ(dynamic_cast<JogKnob*>(control(compact() ? 32 : 34)) != nullptr, true);
    for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(control(loopTag(i)), controls().loops[i]);
}

TEST_P(EditorLayout, EachCompactPageShowsItsOwnControlsAndThePageButtonCyclesThem) {
    if (!compact()) GTEST_SKIP() << "the full build has one page";
    openWindow();
    WindowView& frame = *view().windowView();
    const int32_t counts[4] = {21, 11, 17, 29}; // the first with Sync over the key
    for (int32_t page = 0; page < 4; ++page) {
        EXPECT_EQ(view().page(), page);
        EXPECT_EQ(frame.getViewCount(), counts[page]) << "page " << page;
        EXPECT_TRUE(frame.isChild(control(7)));
        click(244, 72); // the page button, on every page
    }
    EXPECT_EQ(view().page(), 0);
}

TEST_P(EditorLayout, OnTheEqualiserPageTheOverlapGoesToThePageButton) {
    if (!compact()) GTEST_SKIP() << "only the compact page overlaps";
    openWindow();
    showPage(1);
    player->setParameter(TrackPlayer::EqBass, 0.9f);
    view().idle();
    click(240, 72); // inside both the equaliser reset (218..244) and the page button (236..252)
    EXPECT_EQ(view().page(), 2);
    EXPECT_FLOAT_EQ(controls().gains[0]->getValue(), 0.9f) << "the reset under it was not pressed";
    showPage(1);
    click(226, 72);
    EXPECT_FLOAT_EQ(controls().gains[0]->getValue(), 0.5f);
}

TEST_P(EditorLayout, PositionHandleReachesTheOverviewsRightEdge) {
    openWindow();
    registerSkinImages();
    Bitmap* handle = loadBitmap(115);
    ASSERT_EQ(handle->width(), 3);
    Slider& position = *controls().position;
    EXPECT_EQ(position.getBackground()->width(), 248) << "the overview is the slider's background";
    // Row 12 of the handle is drawn (its upper rows are left to the caption
    // line of the pitch slider, which shares it).
    position.setValue(1.0f);
    view().update();
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(pixel(249 + x, 36), handle->pixel(x, 12)) << "x " << 249 + x;
    position.setValue(0.0f);
    view().update();
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(pixel(4 + x, 36), handle->pixel(x, 12));
    EXPECT_EQ(pixel(250, 36), 0u) << "the empty overview shows again where the handle was";
    handle->release();
}

// Moving a slider's handle to either end, every pixel of the slider but the
// handle's own shows the page background at the same place.
TEST_P(EditorLayout, EverySliderButPositionPaintsThePageBackgroundUnderItsHandle) {
    openWindow();
    for (int32_t page = 0; page < (compact() ? 4 : 1); ++page) {
        showPage(page);
        WindowView& frame = *view().windowView();
        const Bitmap* background = controls().pageBackgrounds[page];
        for (int32_t i = 0; i < frame.getViewCount(); ++i) {
            auto* slider = dynamic_cast<Slider*>(frame.getView(i));
            if (!slider || slider == controls().position) continue;
            const Rect r = slider->viewSize();
            for (float value : {0.0f, 1.0f}) {
                slider->setValue(value);
                view().update();
                int32_t differing = 0;
                for (int32_t y = r.top; y < r.bottom; ++y)
                    for (int32_t x = r.left; x < r.right; ++x) differing += pixel(x, y) != background->pixel(x, y);
                const int32_t handleArea = std::max(r.width(), r.height()) * 8;
                EXPECT_LT(differing, handleArea) << "slider " << slider->getTag() << " on page " << page;
            }
        }
    }
}

// The pitch sliders carry their range and name above the groove, the
// crossovers their bands below it: wherever the handle stands, those
// caption rows show the page as painted, so nothing there is ever covered.
TEST_P(EditorLayout, SliderCaptionsAreNeverCoveredByTheirHandles) {
    openWindow();
    struct Lane {
        Slider* slider;
        int32_t page, firstRow, endRow; // caption rows, from the slider's top
    };
    std::vector<Lane> lanes{{controls().pitch, 0, 0, 8},
                            {controls().crossovers[0], 1, 22, 32},
                            {controls().crossovers[1], 1, 22, 32}};
    if (compact()) lanes.push_back({controls().secondPitch, 3, 0, 8});
    for (const Lane& lane : lanes) {
        showPage(compact() ? lane.page : 0);
        const Bitmap* background = controls().pageBackgrounds[compact() ? lane.page : 0];
        const Rect r = lane.slider->viewSize();
        for (int32_t step = 0; step <= 20; ++step) {
            lane.slider->setValue(static_cast<float>(step) / 20.0f);
            view().update();
            for (int32_t y = r.top + lane.firstRow; y < r.top + lane.endRow; ++y)
                for (int32_t x = r.left; x < r.right; ++x)
                    ASSERT_EQ(pixel(x, y), background->pixel(x, y))
                        << "slider " << lane.slider->getTag() << " at " << step * 5 << " %, pixel " << x << "," << y;
        }
    }
}

// The platter shows one whole image of its strip at every value, in both
// builds: each pixel the image shows is the image's.
TEST_P(EditorLayout, TheJogPlatterShowsItsOwnImageOfTheStripAtEveryValue) {
    openWindow();
    showPage(3);
    Control* jog = nullptr;
    for (int32_t tag = 0; tag < controls().tagCount; ++tag)
        if (controls().roles[tag].role == Role::Jog) jog = control(tag);
    ASSERT_NE(jog, nullptr);
    Bitmap* strip = loadBitmap(145);
    ASSERT_NE(strip, nullptr);
    const uint32_t key = colours::yellow.pixel(); // the skin's key colour
    const Rect r = jog->viewSize();
    for (float value : {0.0f, 0.25f, 0.5f, 0.99f, 1.0f}) {
        jog->setValue(value);
        jog->setDirty(true);
        view().update();
        const int32_t image = std::min(static_cast<int32_t>(value * 71.0f), 71);
        int32_t shown = 0, wrong = 0;
        for (int32_t y = 0; y < 72; ++y)
            for (int32_t x = 0; x < 72; ++x) {
                const uint32_t p = strip->pixel(x, image * 72 + y);
                if (p == key) continue;
                ++shown;
                wrong += pixel(r.left + x, r.top + y) != p;
            }
        EXPECT_GT(shown, 72 * 72 / 2) << value;
        EXPECT_EQ(wrong, 0) << "value " << value << ", image " << image;
    }
    strip->release();
}

TEST_P(EditorLayout, LabelsAreDisplaysThatTakeNoClicks) {
    openWindow();
    for (TextField* label : {controls().title, controls().time, controls().tempo, controls().rowLabels[0]}) {
        EXPECT_FALSE(label->isMouseEnabled());
        EXPECT_TRUE(label->isTransparent());
        EXPECT_EQ(label->getTag(), 0);
    }
    EXPECT_EQ(controls().time->getText(), "0:00");
    EXPECT_EQ(controls().tempo->getText(), "120.0");
    EXPECT_EQ(controls().title->getText(), "No file loaded");
}

TUNEDECK_BOTH_BUILDS(EditorLayout);

} // namespace
