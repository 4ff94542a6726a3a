#pragma once
// Where the track was at each frame handed to a pipeline that delays the
// sound (key lock): asked for the frame heard now, it says which track
// frame that was. Stretches at one speed are one entry, so a deck playing
// steadily writes almost nothing; a new entry comes with each change of
// speed, jump or wrap. The audio thread's own.
#include <cmath>
#include <cstdint>

class PositionTrail {
public:
    void clear() { count_ = 0, cursor_ = 0; }

    // From frame on (frames counted as handed in), the track is at position
    // and moves by ratio a frame.
    void note(int64_t frame, double position, double ratio) {
        if (count_ > 0) {
            const Entry& last = entry(count_ - 1);
            if (frame < last.frame) return clear(), note(frame, position, ratio);
            const double expected = last.position + static_cast<double>(frame - last.frame) * last.ratio;
            if (ratio == last.ratio && std::fabs(expected - position) < 1e-6) return;
        }
        entries_[count_ % capacity] = {frame, position, ratio};
        ++count_;
        if (count_ - cursor_ > capacity) cursor_ = count_ - capacity;
    }

    // The track position at frame; frames asked for only ever move forward.
    // False before anything was noted.
    bool at(int64_t frame, double& position) {
        if (count_ == 0) return false;
        while (cursor_ + 1 < count_ && entry(cursor_ + 1).frame <= frame) ++cursor_;
        const Entry& e = entry(cursor_);
        position = frame <= e.frame ? e.position : e.position + static_cast<double>(frame - e.frame) * e.ratio;
        return true;
    }

private:
    struct Entry {
        int64_t frame;
        double position;
        double ratio;
    };
    // Enough for an entry a frame through the longest pipeline (96 kHz).
    static constexpr int64_t capacity = 16384;
    const Entry& entry(int64_t index) const { return entries_[index % capacity]; }
    Entry entries_[capacity] = {};
    int64_t count_ = 0;
    int64_t cursor_ = 0;
};
