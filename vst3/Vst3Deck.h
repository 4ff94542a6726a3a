#pragma once
// The deck as a VST 3 plug-in: the only code, with its view and entry, that
// knows VST 3's interfaces. One object per instance is both the component
// (processor) and the edit controller: the host finds no controller class
// and asks the component for IEditController, so both halves read the one
// deck and the controller's state needs no copy of the component's.
//
// Who runs what:
//
//   thread        | runs                                          | waits for
//   --------------+-----------------------------------------------+----------------------------
//   host main     | initialize, buses, setupProcessing, state,    | the deck's own locks, never
//   (GUI)         | parameters and their texts, the view and its  | the audio thread
//                 | timer (the editor's idle), edit gestures      |
//   host audio    | process: parameter points and note-ons at     | nothing
//                 | their frames, the host's transport            |
//   deck threads  | as the deck's own note says                   |
//
// Edits a person makes in the editor reach the host at once through its
// IComponentHandler: the editor runs on the GUI thread, where VST 3 hosts
// take beginEdit, performEdit and endEdit.
#include <atomic>
#include <cstdint>
#include <string>

#include "binding/PluginDeck.h"
#include "vst3_c_api.h"

class Vst3Deck final : public PluginDeck {
public:
    // Made with one reference, which the maker releases.
    Vst3Deck(const BuildProfile& profile, std::string folder);

    // FUnknown of the whole object: the interface asked for, with a
    // reference added, or kNoInterface.
    Steinberg_tresult query(const Steinberg_TUID iid, void** object);
    uint32_t addRef();
    uint32_t release();

    // DeckHost: a person's edits, passed on to the host's handler.
    void beginEdit(int32_t index) override;
    void automate(int32_t index, float value) override;
    void endEdit(int32_t index) override;

    // A parameter's host value (0..1, steps evenly spaced) and deck value.
    static double normalizedOf(int32_t index, float deckValue);
    static float deckValueOf(int32_t index, double normalized);

    // An interface record: the vtable the host calls through, and whose it is.
    struct Face {
        void* lpVtbl;
        Vst3Deck* owner;
    };

private:
    struct Calls; // the vtables' functions
    ~Vst3Deck() override;

    Steinberg_tresult process(Steinberg_Vst_ProcessData* data);
    void readContext(const Steinberg_Vst_ProcessContext* context);
    void takeParameterChanges(Steinberg_Vst_IParameterChanges* changes, int32_t frames);
    void takeEvents(Steinberg_Vst_IEventList* events, int32_t frames);
    Steinberg_tresult setComponentHandler(Steinberg_Vst_IComponentHandler* handler);

    std::atomic<uint32_t> references{1};
    Face component;
    Face processor;
    Face controller;
    Face contextRequirements;
    Face unitInfo;
    Steinberg_Vst_IComponentHandler* handler = nullptr; // GUI thread, with a reference held
};
