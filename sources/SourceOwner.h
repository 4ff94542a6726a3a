#pragma once
// What a track source reports to the player that owns it: setSize,
// loadProgress and identified come from the loader thread.
#include <cstdint>

#include "analysis/BeatAnalyser.h"
#include "analysis/KeyAnalyser.h"
#include "sources/Fingerprint.h"

class TrackSource;

class SourceOwner {
public:
    virtual ~SourceOwner() = default;
    // The track's length in frames as known so far; final when it is exact.
    virtual void setSize(int32_t frames, bool final) = 0;
    // The overview has been drawn up to this frame.
    virtual void loadProgress(int32_t frames) = 0;
    // The loader heard enough of the track to tell it from any other.
    virtual void identified(TrackSource*, const Fingerprint::Value&) {}
    // The loader heard the whole track and analysed its beats and key.
    virtual void analysed(TrackSource*, const BeatGrid&, const MusicalKey&) {}
};
