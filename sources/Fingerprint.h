#pragma once
// What tells one track's sound from another's, whatever its file is called,
// wherever it lies and however it is tagged: a 128-bit hash of its first
// seconds of sound after any leading silence, with the length of that
// silence. Decoders give the same samples for the same file, and samples
// are taken at 16 bits, so a track hashes alike every time it is walked.
//
// Threads: one loader walk feeds one fingerprint.
#include <array>
#include <cstdint>

class Fingerprint {
public:
    using Value = std::array<uint8_t, 16>;
    static constexpr int32_t soundSeconds = 5;

    explicit Fingerprint(int32_t sampleRate = 44100);
    // Feeds the next n decoded frames of the track, in order from its
    // start; true once the fingerprint is complete.
    bool add(const float* left, const float* right, int32_t n);
    // The track ended: the fingerprint is what it has heard.
    void finish() { complete_ = true; }
    bool isComplete() const { return complete_; }
    Value value() const;

private:
    int64_t wanted_;
    int64_t silent_ = 0; // leading frames of silence
    int64_t heard_ = 0;  // frames of sound hashed
    uint64_t lanes_[2];
    bool complete_ = false;
};
