#pragma once
// The beats of a track whose tempo moves (a live drummer, a change of
// tempo), as frames of the track, and the beat numbers between them: beat 0
// is the bar's first beat the grid counts from, a fraction lies between
// two beats, and before the first beat or after the last the beats go on
// at the nearest interval.
//
// Threads: the opener, loader and store keeper's threads assign and clear
// it; the audio thread reads it without waiting. An assignment first
// empties the list, then writes the frames, then gives the count: a reader
// that finds it empty uses the constant grid meanwhile, and one that read
// the count just before sees, at worst, some beats of the next track for
// that one read.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Relaxed.h"

class BeatList {
public:
    // Beats in a track's analysed first twelve minutes, at up to 300 BPM.
    static constexpr int32_t capacity = 4096;

    BeatList();

    // seconds: the beats in order; origin: the frame of beat 0, which the
    // nearest beat becomes. Fewer than two beats, or any out of order,
    // leave the list empty.
    void assign(const std::vector<double>& seconds, double rate, double origin);
    void clear() { count_.store(0, std::memory_order_release); }
    // Makes the beat nearest frame beat 0 (a tap on a bar's first beat).
    void setOrigin(double frame);
    bool empty() const { return count_.load(std::memory_order_acquire) < 2; }
    std::vector<double> seconds(double rate) const;

    // The beat number at a frame, and the frame of a beat number; no
    // allocation, no waiting.
    double beatAt(double frame) const;
    double frameAt(double beat) const;

private:
    std::unique_ptr<Relaxed<double>[]> frames_;
    std::atomic<int32_t> count_{0};
    Relaxed<double> originIndex_{0.0}; // the list's index of beat 0
};
