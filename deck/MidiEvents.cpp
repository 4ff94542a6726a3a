// MIDI notes as deck controls: two octaves of keys, repeating every 24
// notes, act as transport buttons, pitch nudges, jump points or a track
// selector.
//
// Threads: the host delivers events on the audio thread before the block
// they belong to. They wait in the player's own array and rendering acts on
// each at its frame (pressKey), so nothing here waits or allocates; a track
// to open is handed to the opener thread.
#include <algorithm>

#include "deck/Deck.h"

namespace {
// White keys of the two octaves, by key position, numbered 0 to 13; -1 for
// the black keys.
constexpr int8_t whiteKey[24] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6,
                                 7, -1, 8, -1, 9, 10, -1, 11, -1, 12, -1, 13};
constexpr float positionStep = 0.05f; // of the track
constexpr float pitchStep = 0.02f;    // of the pitch control (1.28 %)
} // namespace

void Deck::takeMidi(AudioThread audio, int32_t frame, const uint8_t bytes[3]) {
    if (!bytes) return;
    const int note = bytes[1] & 0x7F;
    const int velocity = bytes[2] & 0x7F;
    if ((bytes[0] & 0xF0) != 0x90 || velocity == 0) return;
    queueEvent(audio, KeyEvent{std::max(frame, 0), note % 24});
}

void Deck::takeParameter(AudioThread audio, int32_t frame, int32_t index, float value) {
    queueEvent(audio, KeyEvent{std::max(frame, 0), -1, index, value});
}

void Deck::actOn(AudioThread audio, const KeyEvent& event) {
    if (event.key >= 0) pressKey(audio, event.key);
    else setValue(event.parameter, event.value);
}

void Deck::queueEvent(AudioThread audio, const KeyEvent& event) {
    if (keyEventCount == maxKeyEvents) {
        // More events than a block can hold: the oldest acts at once.
        actOn(audio, keyEvents[0]);
        std::copy(keyEvents + 1, keyEvents + keyEventCount, keyEvents);
        --keyEventCount;
    }
    // Hosts send events in the order of their frames; one that does not
    // still has them act in that order (the sort is stable).
    int32_t at = keyEventCount;
    while (at > 0 && keyEvents[at - 1].frame > event.frame) {
        keyEvents[at] = keyEvents[at - 1];
        --at;
    }
    keyEvents[at] = event;
    ++keyEventCount;
}

void Deck::pressKey(AudioThread, int32_t key) {
    switch (key) {
    case 1: trackSelectMode = !trackSelectMode; break;
    case 3: togglePlay(); break;
    case 6:
        if (previousFile()) requestOpen(-1);
        break;
    case 8:
        if (nextFile()) requestOpen(+1);
        break;
    case 10: seek(0.0f); break;
    case 13: stepPosition(-positionStep); break;
    case 15: stepPosition(positionStep); break;
    case 18: nudgePitch(-pitchStep); break;
    case 20: resetPitch(); break;
    case 22: nudgePitch(pitchStep); break;
    default: {
        const int k = key >= 0 && key < 24 ? whiteKey[key] : -1;
        if (k < 0) break;
        if (trackSelectMode) {
            if (k < tracks.count) {
                tracks.currentIndex = k;
                requestOpen();
            }
        } else if (!tracks.empty()) {
            // Fourteen cue points across the track.
            seek(static_cast<float>(k) * 0.0714285746f);
        }
        break;
    }
    }
}
