#pragma once
// The deck as a CLAP plug-in: the only code that knows CLAP's records. One
// object per instance, behind the clap_plugin_t the host holds.
//
// Who runs what:
//
//   thread        | runs                                          | waits for
//   --------------+-----------------------------------------------+----------------------------
//   host main     | init, activate, state, params' texts, the GUI | the deck's own locks, never
//                 | and its timer (the editor's idle)             | the audio thread
//   host audio    | process: MIDI and parameter events at their   | nothing
//                 | frames, the host's transport; flush while     |
//                 | processing                                    |
//   deck threads  | as the deck's own note says                   |
//
// Edits a person makes in the editor reach the host as gesture and value
// events: the editor queues them (GestureQueue) and process or flush sends
// them, whichever runs next.
#include <clap/clap.h>

#include "deck/GestureQueue.h"
#include "binding/PluginDeck.h"

class ClapDeck final : public PluginDeck {
public:
    ClapDeck(const clap_host_t* host, const clap_plugin_descriptor_t* descriptor, const BuildProfile& profile,
             std::string folder);
    ~ClapDeck() override;

    const clap_plugin_t* plugin() const { return &clapPlugin; }

    // DeckHost: a person's edits.
    void beginEdit(int32_t index) override;
    void automate(int32_t index, float value) override;
    void endEdit(int32_t index) override;

private:
    static ClapDeck& of(const clap_plugin_t* plugin) { return *static_cast<ClapDeck*>(plugin->plugin_data); }
    void queue(const Gesture& gesture);
    // The host's events of a block (or a flush), each at its frame.
    void takeEvents(const clap_input_events_t* events, uint32_t frames);
    void sendGestures(const clap_output_events_t* out);
    clap_process_status process(const clap_process_t* process);
    void readTransport(const clap_event_transport_t* transport);

    // The editor in the host's window.
    bool createGui(const char* api, bool floating);
    void destroyGui();
    bool setParent(const clap_window_t* window);

    static const void* extension(const clap_plugin_t* plugin, const char* id);

    const clap_host_t* host;
    const clap_host_params_t* hostParams = nullptr;
    const clap_host_state_t* hostState = nullptr;
    const clap_host_timer_support_t* hostTimers = nullptr;
    const clap_host_gui_t* hostGui = nullptr;
    clap_plugin_t clapPlugin;
    GestureQueue gestures;
    Relaxed<bool> processing{false};
    clap_id idleTimer = CLAP_INVALID_ID;
    bool guiCreated = false;
};
