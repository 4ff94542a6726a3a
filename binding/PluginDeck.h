#pragma once
// A deck as the CLAP, VST 3 and LV2 bindings host it: it owns the deck and
// its editor, answers what every format answers alike (the rate, offline
// rendering, the host's time for the block) and keeps the session state in
// the one block every format saves (the VST 2 build's chunk). A format's
// binding derives from it, tells it what its host says, and passes the
// deck's edit gestures on in its own terms.
//
// Threads: the binding's audio thread calls setHostTime and render, and
// queues timed changes on the deck; the host's main thread makes, starts,
// ends and saves. The format's own note says which host calls run where.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "deck/Deck.h"
#include "platform/Relaxed.h"

class PlayerEditor;

class PluginDeck : public DeckHost {
public:
    // folder: where the plug-in's library lies (the track store's old home).
    PluginDeck(const BuildProfile& profile, std::string folder);
    ~PluginDeck() override;
    PluginDeck(const PluginDeck&) = delete;
    PluginDeck& operator=(const PluginDeck&) = delete;

    Deck& deck() { return *deckObject; }
    PlayerEditor& editor() { return *editorObject; }
    const BuildProfile& profile() const { return buildProfile; }

    // What the host says.
    void setSampleRate(double rate) { sampleRate = static_cast<float>(rate); }
    void setOffline(bool offline) { renderingOffline = offline; }
    // The host's time for the block about to be rendered, or null when it
    // tells none (audio thread).
    void setHostTime(const HostTime* time);
    // Renders a block into two outputs, replacing them; a host with one
    // channel (left == right) gets the mix of both (audio thread).
    void render(float* left, float* right, int32_t frames);

    // The session state: the same bytes in every format.
    std::vector<uint8_t> saveState();
    // False, with nothing changed, when the bytes are not a state the deck takes.
    bool loadState(const void* data, size_t size);

    // DeckHost.
    float hostSampleRate() const override { return sampleRate; }
    const char* hostFolder() override { return folder.c_str(); }
    void beginEdit(int32_t) override {}
    void automate(int32_t, float) override {}
    void endEdit(int32_t) override {}
    void wantMidi() override {}
    bool rendersOffline() override { return renderingOffline; }
    void publishTime(const DeckTime&) override {}
    bool readHostTime(HostTime& time) override;

protected:
    // A derived binding calls this first in its destructor: the deck's
    // threads end before the gestures they may send lose their receiver.
    void endDeck();

private:
    const BuildProfile& buildProfile;
    std::string folder;
    Relaxed<float> sampleRate{0.0f};
    Relaxed<bool> renderingOffline{false};
    HostTime blockTime;        // audio thread
    bool blockTimeKnown = false; // audio thread
    static constexpr int32_t monoRoom = 4096;
    float monoScratch[monoRoom] = {}; // audio thread
    std::unique_ptr<PlayerEditor> editorObject;
    std::unique_ptr<Deck> deckObject;
};

// How hosts should present a parameter. A stepped one is shown to hosts as
// its whole numbers 0..steps (plain values), which map to the deck's 0..1
// by plain / scale; a continuous one is the deck's 0..1 itself.
struct ParameterShape {
    int32_t steps;        // 0: continuous
    int32_t scale;        // for a stepped one: plain = deck value * scale
    float defaultValue;   // the deck's value at a fresh deck
    const char* group;

    double plainFromDeck(float value) const;
    float deckFromPlain(double plain) const;
};
const ParameterShape& parameterShape(int32_t index);
