#include "sources/StereoMix.h"

namespace {

// Speaker bits in the order WAV masks give them.
enum Speaker : uint32_t {
    FrontLeft = 0x1, FrontRight = 0x2, FrontCentre = 0x4, LowFrequency = 0x8, BackLeft = 0x10, BackRight = 0x20,
    FrontLeftOfCentre = 0x40, FrontRightOfCentre = 0x80, BackCentre = 0x100, SideLeft = 0x200, SideRight = 0x400,
};

// The speakers a file without a mask feeds, channel by channel, as WAV's
// default masks and FLAC's channel assignments agree.
uint32_t defaultMask(int channels) {
    switch (channels) {
    case 3: return FrontLeft | FrontRight | FrontCentre;
    case 4: return FrontLeft | FrontRight | BackLeft | BackRight;
    case 5: return FrontLeft | FrontRight | FrontCentre | BackLeft | BackRight;
    case 6: return FrontLeft | FrontRight | FrontCentre | LowFrequency | BackLeft | BackRight;
    case 7: return FrontLeft | FrontRight | FrontCentre | LowFrequency | BackCentre | SideLeft | SideRight;
    case 8: return FrontLeft | FrontRight | FrontCentre | LowFrequency | BackLeft | BackRight | SideLeft | SideRight;
    default: return FrontLeft | FrontRight;
    }
}

constexpr float down3dB = 0.70710678f;

} // namespace

StereoMix stereoMixFor(int channels, uint32_t speakerMask) {
    StereoMix mix;
    mix.channels = channels < 1 ? 1 : channels > StereoMix::mostChannels ? StereoMix::mostChannels : channels;
    if (mix.plain()) return mix;
    uint32_t mask = speakerMask ? speakerMask : defaultMask(mix.channels);
    // Channels are given in the order of the mask's bits; channels past
    // them feed no named speaker and are left out.
    int channel = 0;
    for (uint32_t bit = 1; bit != 0 && channel < mix.channels; bit <<= 1) {
        if (!(mask & bit)) continue;
        float& l = mix.left[channel];
        float& r = mix.right[channel];
        switch (bit) {
        case FrontLeft: l = 1.0f; break;
        case FrontRight: r = 1.0f; break;
        case FrontCentre: l = r = down3dB; break;
        case BackLeft: case SideLeft: l = down3dB; break;
        case BackRight: case SideRight: r = down3dB; break;
        case FrontLeftOfCentre: l = 1.0f; break;
        case FrontRightOfCentre: r = 1.0f; break;
        case BackCentre: l = r = 0.5f; break;
        default: break; // the LFE channel and the heights
        }
        ++channel;
    }
    // A mask that names no front pair (a file of eight mono stems, say)
    // plays its first two channels rather than nothing.
    bool any = false;
    for (int c = 0; c < mix.channels; ++c) any = any || mix.left[c] != 0.0f || mix.right[c] != 0.0f;
    if (!any) mix.left[0] = 1.0f, mix.right[1] = 1.0f;
    return mix;
}
