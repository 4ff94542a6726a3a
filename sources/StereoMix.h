#pragma once
// How a track of more than two channels reaches the deck's two: each
// channel's share of the left and the right, from the speaker each channel
// feeds. Surround mixes fold down as ITU-R BS.775 does (centre and
// surrounds 3 dB down into both or their own side, the LFE channel left
// out), so a 5.1 film or concert mix keeps its dialogue and its room.
#include <cstdint>

struct StereoMix {
    static constexpr int mostChannels = 18; // as many speakers as a WAV mask names
    int channels = 2;
    float left[mostChannels] = {};
    float right[mostChannels] = {};
    // One or two channels: read as they are (a single one on both sides).
    bool plain() const { return channels <= 2; }
};

// speakerMask is a WAV file's channel mask (0 when it gives none: then the
// order the WAV and FLAC formats give for that many channels).
StereoMix stereoMixFor(int channels, uint32_t speakerMask = 0);
