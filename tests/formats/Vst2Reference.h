#pragma once
// What the other formats are measured against: the VST 2 build, loaded as a
// host loads it, rendering offline from a session state. And the state
// every format's test starts from: a tone track, the deck's fresh controls.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/LoadedLibrary.h"
#include "vst2/vst2.h"

namespace formats {

// A timed event of a block: a MIDI note-on, or a parameter's new value.
struct TimedEvent {
    int32_t frame;
    int32_t note = -1;      // a note-on of this key, or
    int32_t parameter = -1; // this parameter's value
    float value = 0.0f;
};

// A state holding one track (a 3 s stereo tone at 44.1 kHz), stopped, with
// a fresh deck's controls.
std::vector<uint8_t> toneTrackState();

// True within five seconds once show() (a Position display) tells the
// track's length: the deck has opened it.
bool waitForLength(const std::function<std::string()>& show);

// The events each format's render test plays, in 40 blocks of 512 frames at
// 48 kHz: Play from frame 100 of the first block (key 3 of the two octaves),
// five percent on at frame 37 of block 10 (key 15), the volume down at frame
// 200 of block 20, the bass cut at frame 411 of block 30.
std::vector<TimedEvent> scriptedEvents(int32_t block);
constexpr int32_t scriptedBlocks = 40;
constexpr int32_t scriptedFrames = 512;

// Where a format's render first sounds, and how many of its values differ
// from the VST 2 build's.
struct RenderComparison {
    size_t firstSound;
    size_t differing;
};
RenderComparison compareRenders(const std::vector<float>& got, const std::vector<float>& expected);

class Vst2Reference {
public:
    explicit Vst2Reference(const char* library);
    ~Vst2Reference();
    bool load(const std::vector<uint8_t>& state);
    std::vector<uint8_t> save();
    // Renders blocks of frames with each block's events; the left channel
    // then the right, block after block.
    std::vector<float> render(int32_t blocks, int32_t frames,
                              const std::function<std::vector<TimedEvent>(int32_t block)>& events);
    AEffect* effect() { return instance; }

private:
    std::unique_ptr<LoadedLibrary> library;
    AEffect* instance = nullptr;
};

} // namespace formats
