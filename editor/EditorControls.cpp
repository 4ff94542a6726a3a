#include "editor/EditorControls.h"

#include "editor/SkinBitmaps.h"
#include "plugin/BuildProfile.h"

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
    tagCount = profile.compact ? 59 : 61;
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
    labels = {title, stereo, bitRate, time, length, tempo};

    position = put(horizontalSlider({4, 24, 252, 40}, listener, 10, skin.get(115), overview, {0, 0}), Role::Position);
    position->setDefaultValue(0.0f);
    put(new PressButton({4, 44, 20, 60}, listener, 1, skin.get(116), 16, {0, 0}), Role::AddFiles);
    put(new MomentaryButton({24, 44, 40, 60}, listener, 2, skin.get(117), 16, {0, 0}), Role::Rewind);
    put(new MomentaryButton({44, 44, 60, 60}, listener, 3, skin.get(121), 16, {0, 0}), Role::Next);
    play = put(new ToggleButton({64, 44, 80, 60}, listener, 8, skin.get(119)), Role::Play);
    autoRewind = put(new StepSwitch({84, 44, 100, 60}, listener, 9, skin.get(169), 3), Role::AutoRewind);
    put(new MomentaryButton({104, 44, 144, 60}, listener, 5, nullptr, 0, {0, 0}), Role::TimeMode);
    put(new MomentaryButton({192, 44, 232, 60}, listener, 6, nullptr, 0, {0, 0}), Role::TapTempo);
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

void EditorControls::destroy() {
    for (View* view : owned) view->release();
    owned.clear();
    labels.clear();
    for (auto& page : pages) page.clear();
    *this = EditorControls{};
}
