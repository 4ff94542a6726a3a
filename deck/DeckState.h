#pragma once
// The deck as a host keeps it in a session: the track list, where it stood,
// what it played, every control and the tempo. The block is versioned and
// self-describing: a magic, a version, its size, then records that each name
// themselves and their length, so a later version can add records that this
// one skips. A block that cannot be read whole is refused, and nothing of it
// is taken.
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct DeckState {
    static constexpr uint32_t version = 1;
    static constexpr int32_t parameterCount = 18;
    static constexpr size_t maxEntries = 256;
    static constexpr size_t maxPathLength = 1023;

    struct Entry {
        std::string path;
        bool marked = false;
    };
    std::vector<Entry> entries;
    int32_t currentEntry = 0;
    double position = 0.0; // track frames, with the fraction
    bool playing = false;
    // A block of an older version lacks the last ones: they keep these
    // (Key's middle is no shift).
    float parameters[parameterCount] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5f};
    float tempo = 120.0f;
    int32_t beatOrigin = 0;
    bool tempoKnown = false;
    bool tempoByUser = false; // tapped or corrected, not analysed
    bool loopOn = false;
    float loopBeats = 0.0f;
    int32_t loopIndex = 0;
    double loopEnd = 0.0;
    int32_t listTop = 0;
    float listFraction = 0.0f;
    int32_t page = 0;
    bool remainingTime = false;
    float windowScale = 0.0f; // a person's choice, 1 to 3; 0 for none
    // Sync's lock: the deck's beat is the host's quarter note plus this.
    bool syncAnchored = false;
    double syncOffset = 0.0;
    double syncStartBeat = -HUGE_VAL; // the beat the deck first sounds from; before it, silence

    std::vector<uint8_t> write() const;
    // False, with this state untouched, for a block of another kind, a newer
    // version, cut short, or holding values that do not fit the deck.
    bool read(const void* data, size_t size);
};
