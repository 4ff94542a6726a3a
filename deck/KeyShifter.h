#pragma once
// Key lock: the deck's sound, played faster or slower, brought back to the
// track's own key (and shifted by the Key control) by Rubber Band's
// real-time pitch shifter. The stretcher runs on the decode-ahead worker,
// never inside the audio thread's block, so the sound goes through a
// pipeline of a fixed length: what the audio thread hands in now comes
// back a latency later. The transport before it is untouched (loops,
// jumps and the speed are exact); only where the listener is lags.
//
// Threads: prepare, process and restart run on the audio thread; serve on
// the worker (DecodeAhead calls it before each chunk it decodes). The two
// rings are single-writer, single-reader: the counters written_ and
// produced_ are published with release and read with acquire, and neither
// side touches frames the other may still be using. The stretcher belongs
// to the worker alone; the audio thread asks for a new one (another rate,
// engine or length of pipeline, or a fresh start) through requested_ and
// waits for built_ to match before it uses the pipeline.
#include <atomic>
#include <cstdint>
#include <memory>

#include "deck/AudioThread.h"
#include "platform/Relaxed.h"

class KeyShifter {
public:
    enum class Engine : int32_t {
        Finer, // Rubber Band's R3: the better sound, about three times the cost
        Faster // R2: for machines where R3 cannot keep up
    };
    // Whether this build has Rubber Band (the Windows builds do not yet).
    static bool available();

    KeyShifter();
    ~KeyShifter();
    KeyShifter(const KeyShifter&) = delete;
    KeyShifter& operator=(const KeyShifter&) = delete;

    // Audio thread. Asks for a pipeline at this rate and engine for blocks
    // of up to largestBlock frames; fresh asks for one that holds nothing
    // of what went before. True once the worker has built it.
    bool prepare(AudioThread audio, double rate, Engine engine, int32_t largestBlock, bool fresh);
    // Audio thread: hands in n frames of io, each with the pitch scale of
    // this call, and replaces them with what comes out of the pipeline.
    // False when the worker had not made them yet (they are silent).
    // onset: the sound handed in starts here after silence, and fades in
    // where it comes out (the stretcher's first output after silence can
    // start on a step).
    bool process(AudioThread audio, float* const* io, int32_t n, double pitchScale, bool onset = false);
    // Frames from a frame handed in at pitchScale to when it is heard, and
    // the same for what is heard now (audio thread). Worked out from the
    // audio thread's own values, so that an export gives the same every time.
    int32_t latencyAt(double pitchScale) const;
    int32_t heardLatency() const;
    // Whether prepare with these settings would keep the pipeline there is.
    bool matches(double rate, Engine engine, int32_t largestBlock) const;
    // Frames handed in since the pipeline was built: the clock the latency counts on.
    int64_t handedIn() const { return written_.load(std::memory_order_relaxed); }
    // Whether process waits for the worker (a host rendering offline).
    void setWaiting(bool waiting) { waiting_ = waiting; }
    // Called after a frame is handed in, to wake the worker (set once).
    void setWake(void (*wake)(void*), void* context) { wake_ = wake, wakeContext_ = context; }

    // Worker: builds what was asked for and runs the stretcher over what was
    // handed in. True when it did something.
    bool serve();

private:
    static constexpr int32_t ringFrames = 32768;
    static constexpr int32_t chunkFrames = 256; // the stretcher takes the input in these
    static constexpr int32_t scaleSlots = ringFrames / chunkFrames;
    struct Stretcher;

    bool build();
    void wakeWorker() const {
        if (wake_) wake_(wakeContext_);
    }

    // What the audio thread asked for; requested_ counts its asks.
    Relaxed<double> rate_{0.0};
    Relaxed<int32_t> engine_{0};
    Relaxed<int32_t> largestBlock_{0};
    std::atomic<uint32_t> requested_{0};
    std::atomic<uint32_t> built_{0};
    bool asked_ = false; // the audio thread has asked at least once
    // The pipeline's length in frames, set by the worker with built_.
    Relaxed<int32_t> length_{0};
    // The stretcher's delay at a scale of 1, set by the worker with built_;
    // its delay grows as it lowers the pitch.
    Relaxed<int32_t> baseDelay_{0};
    static constexpr int64_t noOnset = INT64_MIN;
    int64_t fadeInAt_ = noOnset; // the output frame a sound starts on after silence (audio thread)
    Relaxed<bool> waiting_{false};

    // Input ring: the audio thread writes, the worker reads.
    std::atomic<int64_t> written_{0};
    std::atomic<int64_t> consumed_{0};
    Relaxed<double> scales_[scaleSlots] = {}; // each chunk's pitch scale, written before written_ passes it
    // Output ring: the worker writes frame j of the output for frame j of
    // the input; the audio thread reads frame j at written_ = j + length_.
    std::atomic<int64_t> produced_{0};
    std::atomic<int64_t> readUpTo_{0}; // the audio thread has read the output up to here
    std::unique_ptr<float[]> in_[2];
    std::unique_ptr<float[]> out_[2];

    std::unique_ptr<Stretcher> stretcher_; // the worker's
    void (*wake_)(void*) = nullptr;
    void* wakeContext_ = nullptr;
};
