#include "editor/EditorControls.h"

#include "editor/SkinBitmaps.h"
#include "deck/BuildProfile.h"

// Handles run from the slider's near edge to its far edge less their own length.
Slider* EditorControls::horizontalSlider(const Rect& rect, ControlListener* listener, int32_t tag, Bitmap* handle,
                                         Bitmap* background, Point offset) {
    return new Slider(rect, listener, tag, rect.left, rect.right - (handle ? handle->width() : 0), handle, background,
                      offset, Slider::Horizontal | Slider::GrowsRight);
}

Slider* EditorControls::verticalSlider(const Rect& rect, ControlListener* listener, int32_t tag, Bitmap* handle,
                                       Bitmap* background, bool growsUp) {
    return new Slider(rect, listener, tag, rect.top, rect.bottom - (handle ? handle->height() : 0), handle, background,
                      {rect.left, rect.top}, Slider::Vertical | (growsUp ? Slider::GrowsUp : Slider::GrowsDown));
}

namespace {
// A list row: a press button whose wheel scrolls the list.
class ListRow : public PressButton {
public:
    using PressButton::PressButton;
    Slider* scroll = nullptr;
    bool onWheel(Canvas* canvas, Point where, float distance) override {
        return scroll && scroll->onWheel(canvas, where, distance);
    }
};

// The tempo display: a click taps the tempo; a turn of the wheel up doubles
// it and down halves it, told to the listener as the values 2 and 0.5. A
// touchpad's small steps add up to a whole turn first.
class TapButton : public MomentaryButton {
public:
    using MomentaryButton::MomentaryButton;
    bool onWheel(Canvas* canvas, Point, float distance) override {
        turned += distance;
        if (turned > -1.0f && turned < 1.0f) return true;
        const float factor = turned > 0 ? 2.0f : 0.5f;
        turned = 0.0f;
        setValue(factor);
        if (listener) listener->valueChanged(canvas, this);
        setValue(0.0f);
        return true;
    }

private:
    float turned = 0.0f;
};
} // namespace

void EditorControls::record(Control* control, Role role, int32_t index) {
    owned.push_back(control);
    const int32_t tag = control->getTag();
    if (tag > 0 && tag < tagCount && !byTag[tag]) {
        byTag[tag] = control;
        roles[tag] = {role, index};
    }
}

TextField* EditorControls::label(const Rect& rect, Bitmap* background, int32_t style, const char* text,
                                 ControlListener* listener) {
    auto* field = new TextField(rect, listener, 0, text, background, style);
    field->setMouseEnabled(false);
    field->setTransparency(true);
    field->setFont(3);
    field->setShadowColour(Colour{0, 0, 0, 0});
    owned.push_back(field);
    return field;
}

void EditorControls::build(const BuildProfile& profile, const SkinBitmaps& skin, Bitmap* overview,
                           ControlListener* listener) {
    tagCount = profile.compact ? 60 : 62;
    buildSharedStrip(skin, overview, listener, profile.compact);
    if (profile.compact)
        buildCompact(skin, listener);
    else
        buildFull(skin, listener);
}

// The transport strip along the top, the same in both builds but for the
// pitch slider's length, the pitch reset's place and the about image.
void EditorControls::buildSharedStrip(const SkinBitmaps& skin, Bitmap* overview, ControlListener* listener,
                                      bool compact) {
    title = label({4, 4, 196, 20}, skin.get(113), TextLabel::Shadowed, "", listener);
    stereo = label({200, 4, 216, 20}, skin.get(111), TextLabel::Shadowed, "", listener);
    bitRate = label({220, 4, 252, 20}, skin.get(112), TextLabel::Shadowed, "", listener);
    time = label({104, 44, 144, 60}, skin.get(110), 0, "0:00", listener);
    length = label({148, 44, 188, 60}, skin.get(110), 0, "0:00", listener);
    tempo = label({192, 44, 232, 60}, skin.get(110), 0, "120.0", listener);
    // The key between the pitch's zero mark and its "+32%".
    key = label(compact ? Rect{119, 63, 188, 73} : Rect{129, 63, 206, 73}, nullptr, 0, "", listener);
    key->setFontColour(Colour{96, 200, 236, 0});
    key->setFont(6);
    // A click on the key switches Sync, which the same place shows.
    put(new MomentaryButton(key->viewSize(), listener, compact ? 59 : 61, nullptr, 0, {0, 0}), Role::Sync);
    beat = new Lamp({197, 55, 227, 58}, tempo, Colour{40, 130, 170, 0}, Colour{140, 235, 255, 0});
    owned.push_back(beat);
    labels = {title, stereo, bitRate, time, length, tempo, key, beat};

    position = put(horizontalSlider({4, 24, 252, 40}, listener, 10, skin.get(115), overview, {0, 0}), Role::Position);
    position->setDefaultValue(0.0f);
    put(new PressButton({4, 44, 20, 60}, listener, 1, skin.get(116), 16, {0, 0}), Role::AddFiles);
    put(new MomentaryButton({24, 44, 40, 60}, listener, 2, skin.get(117), 16, {0, 0}), Role::Rewind);
    put(new MomentaryButton({44, 44, 60, 60}, listener, 3, skin.get(121), 16, {0, 0}), Role::Next);
    play = put(new ToggleButton({64, 44, 80, 60}, listener, 8, skin.get(119)), Role::Play);
    autoRewind = put(new StepSwitch({84, 44, 100, 60}, listener, 9, skin.get(169), 3), Role::AutoRewind);
    put(new MomentaryButton({104, 44, 144, 60}, listener, 5, nullptr, 0, {0, 0}), Role::TimeMode);
    put(new TapButton({192, 44, 232, 60}, listener, 6, nullptr, 0, {0, 0}), Role::TapTempo);
    const Rect aboutShown = compact ? Rect{0, 0, 256, 84} : Rect{0, 0, 256, 350};
    about = new OverlayButton({236, 44, 252, 60}, listener, 0, skin.get(compact ? 154 : 156), aboutShown, {0, 0});
    owned.push_back(about);

    Bitmap* pitchBackground = skin.get(compact ? 114 : 155);
    const int32_t pitchRight = compact ? 212 : 232;
    pitch = put(horizontalSlider({4, 64, pitchRight, 80}, listener, 11, skin.get(115), pitchBackground, {4, 64}),
                Role::Pitch);
    const Rect resetRect = compact ? Rect{216, 64, 232, 80} : Rect{236, 64, 252, 80};
    pitchReset = put(new MomentaryButton(resetRect, listener, 4, skin.get(118), 16, {0, 0}), Role::PitchReset);
}

void EditorControls::buildEqualiser(const SkinBitmaps& skin, ControlListener* listener, Bitmap* background,
                                    int32_t top, const Rect& resetRect) {
    crossovers[0] = put(horizontalSlider({42, top, 90, top + 32}, listener, 16, skin.get(124), background, {42, top}),
                        Role::Crossover1);
    crossovers[1] = put(horizontalSlider({130, top, 178, top + 32}, listener, 17, skin.get(124), background,
                                         {130, top}),
                        Role::Crossover2);
    const int32_t gainLefts[3] = {6, 94, 182};
    for (int32_t band = 0; band < 3; ++band)
        gains[band] = put(verticalSlider({gainLefts[band], top, gainLefts[band] + 32, top + 72}, listener, 18 + band,
                                         skin.get(123), background, true),
                          Role::Gain, band);
    volume = put(verticalSlider({218, top, 250, top + 54}, listener, 21, skin.get(123), background, true),
                 Role::Volume);
    const int32_t cutLefts[3] = {42, 74, 162};
    for (int32_t band = 0; band < 3; ++band)
        cuts[band] = put(new ToggleButton({cutLefts[band], top + 58, cutLefts[band] + 16, top + 74}, listener,
                                          13 + band, skin.get(126)),
                         Role::Cut, band);
    put(new MomentaryButton(resetRect, listener, 12, skin.get(118), 16, {0, 0}), Role::EqReset);
}

void EditorControls::buildJogAndJumps(const SkinBitmaps& skin, ControlListener* listener, int32_t jogTag,
                                      int32_t jogTop, int32_t firstJumpTag, int32_t backTop, int32_t forwardTop) {
    // The platter's images are a strip of their own, read from its top.
    auto* jogWheel = new JogKnob({6, jogTop, 78, jogTop + 72}, listener, jogTag, skin.get(145), 72, 72, {0, 0});
    jogWheel->setStartAngle(4.71225);
    jogWheel->setRangeAngle(-6.283);
    jogWheel->setTransparency(true);
    put(jogWheel, Role::Jog);
    for (int32_t i = 0; i < 8; ++i) {
        const int32_t left = 82 + 20 * i;
        put(new PressButton({left, backTop, left + 16, backTop + 16}, listener, firstJumpTag + i, skin.get(146 + i),
                            16, {0, 0}),
            Role::JumpBack, i);
        put(new PressButton({left, forwardTop, left + 16, forwardTop + 16}, listener, firstJumpTag + 8 + i,
                            skin.get(146 + i), 16, {0, 0}),
            Role::JumpForward, i);
    }
}

void EditorControls::buildLoops(const SkinBitmaps& skin, ControlListener* listener, int32_t firstTag,
                                const int32_t tops[3]) {
    const int32_t lefts[9] = {82, 102, 122, 142, 162, 182, 142, 162, 182};
    for (int32_t i = 0; i < loopCount; ++i) {
        const int32_t top = tops[i / 3];
        loops[i] = put(new ToggleButton({lefts[i], top, lefts[i] + 16, top + 16}, listener, firstTag + i,
                                        skin.get(127 + i)),
                       Role::Loop, i);
    }
}

// Row hit areas and their labels share one rectangle, which scrolling moves.
void EditorControls::buildRows(ControlListener* listener, int32_t count, int32_t top, int32_t right, Bitmap* row,
                               Bitmap* selected) {
    rowCount = count;
    listTop = top;
    listBottom = top + 16 * (count - 1);
    rowRight = right;
    rowBitmap = row;
    selectedRowBitmap = selected;
    for (int32_t k = 0; k < rowCount; ++k) {
        const Rect rect{4, top + 16 * k, right, top + 16 + 16 * k};
        rows[k] = put(new ListRow(rect, listener, 26 + k, nullptr, 0, {0, 0}), Role::Row, k);
        rowLabels[k] = label(rect, rowBitmap, 0, "", listener);
        rowLabels[k]->setAlignment(Canvas::AlignLeft);
        rowLabels[k]->setTextInset(rowTextInset);
    }
}

void EditorControls::scrollRowsWith(Slider* slider) {
    for (int32_t k = 0; k < rowCount; ++k) static_cast<ListRow*>(rows[k])->scroll = slider;
}

void EditorControls::destroy() {
    for (View* view : owned) view->release();
    owned.clear();
    labels.clear();
    for (auto& page : pages) page.clear();
    *this = EditorControls{};
}
