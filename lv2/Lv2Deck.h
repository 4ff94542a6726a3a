#pragma once
// The deck as an LV2 plug-in: the only code that knows LV2's ports, atoms,
// state and UI records. One object per instance; its UI (the deck's own
// editor) reaches it through instance access, so both run in one process.
//
// Who runs what:
//
//   thread        | runs                                           | waits for
//   --------------+------------------------------------------------+---------------------------
//   host audio    | run: the control ports' changes, MIDI and the  | nothing
//                 | host's time from the atom sequence, rendering  |
//   host main     | instantiate, state save and restore, cleanup   | the deck's own locks
//   host UI       | the UI: the editor opened in ui:parent, its    | the deck's own locks
//                 | idle, edits told to the host (attachUi's       |
//                 | write function and touch)                      |
//   deck threads  | as the deck's own note says                    |
//
// The host owns the control ports' values: an edit in the editor is written
// to the port through the UI, and run takes a port's value when it changes.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "binding/PluginDeck.h"

class Lv2Deck final : public PluginDeck {
public:
    // The ports, in the order the bundle's description gives them.
    enum Port : uint32_t { Events = 0, Left = 1, Right = 2, FirstControl = 3, FreeWheel = FirstControl + Deck::parameterCount,
                           PortCount };
    static constexpr const char* stateKey = "urn:tunedeck:trakvox#state";

    Lv2Deck(const BuildProfile& profile, double rate, std::string folder, const LV2_URID_Map* map);
    ~Lv2Deck() override;

    void connect(uint32_t port, void* data);
    void run(uint32_t frames);
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // The UI that shows this deck, or none (its thread).
    void attachUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);
    void detachUi() { attachUi(nullptr, nullptr, nullptr); }

    // DeckHost: a person's edits, told to the host through the UI.
    void beginEdit(int32_t index) override;
    void automate(int32_t index, float value) override;
    void endEdit(int32_t index) override;

private:
    void readEvents(uint32_t frames);
    void readTime(const LV2_Atom_Object* object);
    void applyControls();

    struct Uris {
        LV2_URID midiEvent, atomBlank, atomObject, atomFloat, atomDouble, atomInt, atomLong, atomChunk, timePosition,
            timeBar, timeBarBeat, timeBeatsPerBar, timeBeatUnit, timeBeatsPerMinute, timeSpeed, state;
    } uris{};

    const LV2_Atom_Sequence* events = nullptr;
    float* left = nullptr;
    float* right = nullptr;
    const float* controls[Deck::parameterCount] = {};
    const float* freeWheel = nullptr;
    // The port values run last took (audio thread); NaN until the first.
    float seen[Deck::parameterCount];
    // The host's time, as its last time:Position told it and advanced since.
    HostTime hostTime;
    bool hostTimeKnown = false;
    double hostSpeed = 0.0;
    // The UI's way to the host (UI thread).
    LV2UI_Write_Function uiWrite = nullptr;
    LV2UI_Controller uiController = nullptr;
    const LV2UI_Touch* uiTouch = nullptr;
};
