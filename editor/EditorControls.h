#pragma once
// The controls of an open editor window: what each tag does, the controls
// the editor moves itself, and the views of each page in the order they are
// added to the window (a later view takes the clicks where two overlap).
#include <cstdint>
#include <vector>

#include "gui/Buttons.h"
#include "gui/Knobs.h"
#include "gui/Lamp.h"
#include "gui/Slider.h"
#include "gui/TextLabel.h"

class Bitmap;
class SkinBitmaps;
struct BuildProfile;

enum class Role : uint8_t {
    None, AddFiles, Rewind, Next, PitchReset, TimeMode, TapTempo, NextPage, Play, AutoRewind, Position, Pitch,
    SecondPitch, EqReset, Cut, Crossover1, Crossover2, Gain, Volume, ListUp, ListDown, SaveList, DeleteSelected,
    Row, ListScroll, Jog, JumpBack, JumpForward, Loop, Sync
};

struct TagRole {
    Role role = Role::None;
    int32_t index = 0; // band, row, jump or loop number
};

struct EditorControls {
    static constexpr int32_t maxTags = 62;
    static constexpr int32_t maxRows = 7;
    static constexpr int32_t loopCount = 9;

    // Creates every control of the build with its default, the listener
    // told of all their changes.
    void build(const BuildProfile& profile, const SkinBitmaps& skin, Bitmap* overview, ControlListener* listener);
    // Deletes every control (after the window view has let go of them).
    void destroy();

    int32_t tagCount = 0;
    Control* byTag[maxTags] = {};
    TagRole roles[maxTags] = {};

    TextField* title = nullptr;
    TextField* stereo = nullptr;
    TextField* bitRate = nullptr;
    TextField* time = nullptr;
    TextField* length = nullptr;
    TextField* tempo = nullptr;
    TextField* key = nullptr; // "8A / A minor", over the pitch slider's captions
    Lamp* beat = nullptr;     // along the tempo display's foot
    Slider* position = nullptr;
    Slider* pitch = nullptr;
    Slider* secondPitch = nullptr; // compact build only
    Slider* crossovers[2] = {};
    Slider* gains[3] = {};
    Slider* volume = nullptr;
    Slider* listScroll = nullptr;
    Control* play = nullptr;
    Control* autoRewind = nullptr;
    Control* pitchReset = nullptr;
    Control* cuts[3] = {};
    Control* loops[loopCount] = {};
    // Row texts start clear of the selection stripe at the row's left edge.
    static constexpr int32_t rowTextInset = 4;
    int32_t rowCount = 0;
    Control* rows[maxRows] = {};
    TextField* rowLabels[maxRows] = {};
    Bitmap* rowBitmap = nullptr;
    Bitmap* selectedRowBitmap = nullptr;
    int32_t listTop = 0;
    int32_t listBottom = 0;
    int32_t rowRight = 0;

    // The about button, whose right click changes the window's size.
    Control* aboutButton() const { return about; }

    int32_t pageCount = 0;
    Bitmap* pageBackgrounds[4] = {};
    std::vector<View*> pages[4];

private:
    void buildSharedStrip(const SkinBitmaps& skin, Bitmap* overview, ControlListener* listener, bool compact);
    void buildCompact(const SkinBitmaps& skin, ControlListener* listener);
    // Sections laid out alike in both builds, from their top edge.
    void buildEqualiser(const SkinBitmaps& skin, ControlListener* listener, Bitmap* background, int32_t top,
                        const Rect& resetRect);
    void buildJogAndJumps(const SkinBitmaps& skin, ControlListener* listener, int32_t jogTag, int32_t jogTop,
                          int32_t firstJumpTag, int32_t backTop, int32_t forwardTop);
    // The three rows of three loop buttons: 1/4..1 at the left, 2..8 and 16..64 stacked at the right.
    void buildLoops(const SkinBitmaps& skin, ControlListener* listener, int32_t firstTag, const int32_t tops[3]);
    void buildRows(ControlListener* listener, int32_t count, int32_t top, int32_t right, Bitmap* row, Bitmap* selected);
    void buildFull(const SkinBitmaps& skin, ControlListener* listener);
    // The rows' wheel scrolls the list through its slider.
    void scrollRowsWith(Slider* slider);
    // Records a control under its tag with what the tag does.
    template <typename C> C* put(C* control, Role role, int32_t index = 0) {
        record(control, role, index);
        return control;
    }
    void record(Control* control, Role role, int32_t index);
    static Slider* horizontalSlider(const Rect& rect, ControlListener* listener, int32_t tag, Bitmap* handle,
                                    Bitmap* background, Point offset);
    // Vertical sliders take their background from under themselves.
    static Slider* verticalSlider(const Rect& rect, ControlListener* listener, int32_t tag, Bitmap* handle,
                                  Bitmap* background, bool growsUp);
    TextField* label(const Rect& rect, Bitmap* background, int32_t style, const char* text, ControlListener* listener);
    std::vector<View*> owned; // every view made, released by destroy
    std::vector<View*> labels; // title, stereo, bit rate, time, length, tempo, key, beat: in that order
    Control* about = nullptr;
};
