#pragma once
// What the deck asks of the plug-in format that hosts it: the host's sample
// rate and folder, the notices around a person's edit, and the deck's own
// time for hosts that follow it, and the host's time for a deck that
// follows the host. The format's binding implements it; the
// deck knows no plug-in format.
#include <cmath>
#include <cstdint>

// Where the deck plays, in the terms of a host's musical time.
struct DeckTime {
    double samplePos = 0;   // the track's frame
    double sampleRate = 0;  // the host's rate
    double tempo = 0;       // beats per minute as played
    double ppqPos = 0;      // quarter notes from the track's start
    double barStartPos = 0; // the quarter note the current bar starts on
};

// The host's own time at the start of a block, for a deck that follows it.
struct HostTime {
    double tempo = 0;        // beats per minute
    double ppqPos = 0;       // quarter notes at the block's first frame
    double barStartPos = 0;  // the quarter note the current bar starts on (0 when unknown)
    double barQuarters = 4;  // quarter notes in a bar
    bool rolling = false;    // the transport plays

    // Refuses wild values from a host: false for a tempo outside 1–1,000
    // BPM or a position not finite or huge; a wild bar start or length is
    // taken as unknown (0, and 4 quarter notes).
    bool holdsUp() {
        if (!std::isfinite(tempo) || tempo < 1.0 || tempo > 1000.0 || !std::isfinite(ppqPos) || std::fabs(ppqPos) > 1e9)
            return false;
        if (!std::isfinite(barStartPos) || std::fabs(barStartPos - ppqPos) >= 1e6) barStartPos = 0.0;
        if (!std::isfinite(barQuarters) || barQuarters <= 0.0 || barQuarters > 64.0) barQuarters = 4.0;
        return true;
    }
};

class DeckHost {
public:
    virtual ~DeckHost() = default;
    // The host's sample rate; 0 until the host says.
    virtual float hostSampleRate() const = 0;
    // The folder the host loaded the plug-in from, or null.
    virtual const char* hostFolder() = 0;
    // A person edits parameter index: the host records the changes between
    // begin and end (any thread the editor runs on).
    virtual void beginEdit(int32_t index) = 0;
    virtual void automate(int32_t index, float value) = 0;
    virtual void endEdit(int32_t index) = 0;
    // Asks the host for MIDI events.
    virtual void wantMidi() = 0;
    // True while the host renders offline (an export), where the deck may
    // wait for its decoding rather than play silence (audio thread).
    virtual bool rendersOffline() = 0;
    // The deck's time, from the audio thread after each block or from the
    // GUI thread after a tap; the host reads it during the call.
    virtual void publishTime(const DeckTime& time) = 0;
    // The host's tempo, musical position and transport at the start of the
    // block about to be rendered (audio thread); false when the host tells
    // no tempo and position.
    virtual bool readHostTime(HostTime& time) { (void)time; return false; }
};
