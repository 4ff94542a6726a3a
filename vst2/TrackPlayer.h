#pragma once
// The deck as a VST 2 plug-in: the composition root. It binds a deck and its
// editor to the effect record, and is the only code that knows VST 2's
// records, opcodes and the host's window handle.
//
// Who runs what:
//
//   thread        | runs                                        | waits for
//   --------------+---------------------------------------------+------------------------------
//   host audio    | process(Replacing), processEvents, most     | nothing: relaxed atomic words,
//                 | setParameter/getParameter; Deck::renderBlock | MIDI keys in the deck's array
//                 | splits its block at the MIDI keys' frames   |
//   host GUI      | the editor (open, idle, clicks, keys), the  | listMutex, openMutex (briefly),
//                 | chunk, texts, programs, the deck's actions  | never a file or the audio thread
//   opener (deck) | opening tracks, reading lists, adding files | the file reads it starts, each
//                 | (FileReader threads do the reads), logging  | given up after a short bound
//   loaders       | each source's walk of its file: length,     | the source's own state
//                 | overview pixels, facts for the store        |
//   file readers  | one read each, left behind if it stalls     | the file system
//   decode-ahead  | decoding the track ahead of the play         | the source's own lock
//   (deck)        | position; key lock's stretcher               |
//
// The audio thread never runs editor or widget code: the deck marks what
// changed, and the editor reads the deck's values at its idle.
#include <cstdint>
#include <vector>

#include "deck/Deck.h"
#include "deck/GestureQueue.h"
#include "vst2/EffectBase.h"

class PlayerEditor;

class TrackPlayer : public EffectBase, public DeckHost, public Deck {
public:
    static constexpr int32_t programNameRoom = kVstMaxProgNameLen + 1;
    using EditorFactory = PlayerEditor* (*)(Deck& deck, const BuildProfile& profile);
    // The deck's own editor.
    static PlayerEditor* makeEditor(Deck& deck, const BuildProfile& profile);

    TrackPlayer(HostCallback host, const BuildProfile& profile, EditorFactory editorFactory = makeEditor);
    ~TrackPlayer() override;

    // The effect record's operations.
    void open() override;
    void resume() override { hostWantMidi(); }
    void process(float** inputs, float** outputs, int32_t frames) override;
    void processReplacing(float** inputs, float** outputs, int32_t frames) override;
    int32_t processEvents(VstEvents* events) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    void getParameterName(int32_t index, char* text) override { valueName(index, text); }
    void getParameterDisplay(int32_t index, char* text) override { valueDisplay(index, text); }
    void getParameterLabel(int32_t index, char* text) override;
    void setParameter(int32_t index, float value) override { setValue(index, value); }
    float getParameter(int32_t index) override { return valueOf(index); }
    bool getParameterProperties(int32_t index, VstParameterProperties& properties) override;
    bool setParameterText(int32_t index, const char* text) override { return setValueText(index, text); }
    bool getProgramNameIndexed(int32_t program, char* name) override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override { return 4; }
    intptr_t canDo(const char* text) override;
    int32_t getChunk(void** data, bool isPreset) override;
    int32_t setChunk(void* data, int32_t size, bool isPreset) override;

    // What the deck asks of its host.
    float hostSampleRate() const override { return sampleRate; }
    const char* hostFolder() override { return hostDirectory(); }
    void beginEdit(int32_t index) override;
    void automate(int32_t index, float value) override;
    void endEdit(int32_t index) override;
    void wantMidi() override { hostWantMidi(); }
    void publishTime(const DeckTime& time) override;
    bool rendersOffline() override { return hostProcessLevel() == kVstProcessLevelOffline; }
    bool readHostTime(HostTime& time) override;

private:
    // Ardour records a VST 2 plug-in's edits on the thread they come from,
    // and crashes when that is its thread for plug-in windows with the lane
    // in Touch (Debian's Ardour 7.3; Debian's Dragonfly Reverb does the
    // same). There the editor's edits wait in a queue and reach the host
    // from the audio thread, where Ardour's own automation runs.
    bool editsFromAudioThread = false;
    GestureQueue deferredEdits;
    void sendDeferredEdits();

    char programName[programNameRoom] = {};
    // The last block handed to the host, valid until the next one.
    platform::Mutex chunkMutex;
    std::vector<uint8_t> chunkBlock GUARDED_BY(chunkMutex);
};
