#pragma once
// The player's ordered list of track paths and its list-view position.
#include <cstdint>

#include "platform/Relaxed.h"

struct TrackList {
    static constexpr int32_t capacity = 256;
    static constexpr int32_t pathRoom = 1024;

    char entries[capacity][pathRoom] = {};
    bool selected[capacity] = {};
    Relaxed<int32_t> currentIndex{0};
    Relaxed<int32_t> count{0};
    Relaxed<int32_t> viewTop{0};
    Relaxed<float> viewFraction{0.0f};

    bool empty() const { return count <= 0; }
    const char* current() const { return entries[currentIndex]; }
};
