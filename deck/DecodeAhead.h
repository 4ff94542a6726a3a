#pragma once
// Decoding ahead of the play position: a worker thread of the deck's own
// decodes the current track into chunks around where playback is, in the
// direction it goes, and at the places the deck may jump to next (its beat
// jumps, its loop start, the other end of the track). The audio thread
// reads only chunks already decoded: it never decodes, never takes a
// source's lock and never waits, unless the host renders offline, where
// waiting for the worker is what makes an export exact.
//
// Threads: switchTo and waitFor run on the deck's opener thread (or the
// thread that opens in tests and tools); read, follow and expect run on the
// audio thread; the worker owns the decoding. Fields that cross threads are
// atomics; the source is used by the worker alone once switched to, and
// the track is switched only while the audio thread plays nothing of it.
// The worker also runs the key lock's stretcher (KeyShifter::serve) ahead
// of each chunk it decodes: the stretcher has a deadline, decoding ahead
// has seconds in hand.
#include <atomic>
#include <cstdint>

#include "deck/AudioThread.h"
#include "deck/DecodedChunks.h"
#include "deck/KeyShifter.h"
#include "platform/Relaxed.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "sources/Resampler.h"
#include "sources/TrackSource.h"

class DecodeAhead {
public:
    static constexpr int32_t maxTargets = 24;

    DecodeAhead();
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Ends the worker; the source is not used after this returns.
    void stop();
    // The track from now on (null: none) and its length in frames; what
    // was decoded of the previous one is never read again.
    void switchTo(TrackSource* source, int64_t length);
    void setLength(int64_t length) { length_ = length; }
    // Waits until the chunk holding frame is decoded, at most limitMs;
    // false on a time-out (not on the audio thread).
    bool waitFor(double frame, uint32_t limitMs);

    // Audio thread. Writes (replace) or adds count values, the track at
    // position + j * ratio, resampled from its trackRate. False when some
    // frames were not decoded yet: they read as silence.
    bool read(AudioThread audio, float* const* out, int32_t count, double position, double ratio, double trackRate,
              bool replace);
    // Where playback is and how fast it goes; the worker decodes from there on.
    void follow(AudioThread audio, double position, double ratio);
    // Frames the deck may jump to next (count at most maxTargets).
    void expect(AudioThread audio, const double* frames, int32_t count);
    // Whether reads wait for the worker (a host rendering offline).
    void setWaiting(bool waiting) { waiting_ = waiting; }
    // The worker serves shifter too, from now on (set once, before the
    // audio thread runs); shifter outlives this worker.
    void serveAlso(KeyShifter* shifter);

private:
    void work();
    // The next chunk the worker should decode, or -1 when all it wants are there.
    int64_t nextWanted(uint32_t generation, int64_t length);
    void fetch(int64_t first, int32_t n, float* left, float* right);
    void wake() {
        if (!wakePending_.exchange(true)) wake_.release();
    }

    DecodedChunks chunks_;
    Resampler resampler_; // the audio thread's
    std::atomic<TrackSource*> source_{nullptr};
    std::atomic<KeyShifter*> shifter_{nullptr};
    std::atomic<uint32_t> generation_{0};
    Relaxed<int64_t> length_{0};
    Relaxed<double> position_{0.0};
    Relaxed<double> ratio_{1.0};
    Relaxed<double> targets_[maxTargets] = {};
    Relaxed<int32_t> targetCount_{0};
    Relaxed<bool> waiting_{false};
    std::atomic<bool> waiterPresent_{false};
    std::atomic<bool> quit_{false};
    std::atomic<bool> wakePending_{false};
    platform::Semaphore wake_{0};
    platform::Semaphore stored_{0};
    int64_t lastChunkFollowed_ = -1; // audio thread
    bool missed_ = false;            // during one read (audio thread)
    float decoded_[2][DecodedChunks::chunkFrames] = {}; // the worker's
    platform::Thread worker_;
};
