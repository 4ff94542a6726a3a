#pragma once
// The deck's editor in a VST 3 host's window (IPlugView). The host makes it
// with createView and ends it with its last release; it keeps its deck
// alive that long. On Linux the editor idles on the host's run loop: the
// view is its timer handler while it is attached.
//
// Threads: the host's GUI thread only, as for every IPlugView call.
#include <atomic>
#include <cstdint>

#include "vst3/Vst3Deck.h"
#include "vst3_c_api.h"

class Vst3View final {
public:
    // Made with one reference, which the host releases.
    static Steinberg_IPlugView* make(Vst3Deck& deck);

private:
    struct Calls; // the vtables' functions
    struct Face {
        void* lpVtbl;
        Vst3View* owner;
    };

    explicit Vst3View(Vst3Deck& deck);
    ~Vst3View();
    Steinberg_tresult query(const Steinberg_TUID iid, void** object);
    uint32_t addRef();
    uint32_t release();
    Steinberg_tresult attach(void* parent, Steinberg_FIDString type);
    Steinberg_tresult remove();
    void setFrame(Steinberg_IPlugFrame* frame);
    void startIdling();
    void stopIdling();

    Vst3Deck& deck;
    std::atomic<uint32_t> references{1};
    Face view;
    Face timer;
    Face scaling; // IPlugViewContentScaleSupport
    Steinberg_IPlugFrame* frame = nullptr;   // with a reference held
    Steinberg_Linux_IRunLoop* runLoop = nullptr; // with a reference held, while the timer runs
    void* parentWindow = nullptr;            // while attached
};
