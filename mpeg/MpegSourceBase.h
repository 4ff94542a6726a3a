#pragma once
// What every MPEG audio source shares: the file names it takes and the
// equaliser as one fixed-point gain per decoder subband.
#include <cstdint>

#include "platform/Relaxed.h"
#include "sources/TrackSource.h"

class MpegSourceBase : public TrackSource {
public:
    static constexpr int subbands = 32;
    static constexpr int32_t unitGain = 1 << 28; // libmad's fixed point: 28 fraction bits

    bool acceptsFile(const char* path) override;
    // Band levels, cuts and the 40 dB volume become 32 subband gains.
    void setEq(bool enabled, const float crossovers[2], const float gains[3], float volume,
               const bool cuts[3]) override;

    int32_t subbandGain(int band) const { return subbandGains[band]; }
    bool hasSubbandEqualiser() const override { return true; }

protected:
    // Written by the player's thread, read by the audio thread per frame; a
    // read may mix old and new gains for one frame, which is inaudible.
    Relaxed<int32_t> subbandGains[subbands] = {};
};
