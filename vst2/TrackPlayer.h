#pragma once
// The deck as a VST 2 plug-in: the composition root. It binds a deck and its
// editor to the effect record, and is the only code that knows VST 2's
// records, opcodes and the host's window handle.
//
// Who runs what (see Deck for the deck's own threads):
// - Hosts call the dispatcher from their GUI thread (editor, chunks,
//   programs, texts) and from their audio thread (process, events,
//   parameters); some set parameters and take chunks on other threads.
// - process, processReplacing, processEvents and setParameter run on the
//   audio thread in most hosts: they go straight to the deck, which never
//   waits there.
// - The editor runs on the GUI thread that opens it; the deck reaches it
//   only through PlayerView's flags.
#include <cstdint>
#include <mutex>
#include <vector>

#include "deck/Deck.h"
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
    void open() override { start(); }
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
    void beginEdit(int32_t index) override { hostBeginEdit(index); }
    void automate(int32_t index, float value) override { hostAutomate(index, value); }
    void endEdit(int32_t index) override { hostEndEdit(index); }
    void wantMidi() override { hostWantMidi(); }
    void publishTime(const DeckTime& time) override;

private:
    char programName[programNameRoom] = {};
    // The last block handed to the host, valid until the next one.
    std::mutex chunkMutex;
    std::vector<uint8_t> chunkBlock;
};
