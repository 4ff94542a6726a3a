#include "vst2/EffectFactory.h"

#include "vst2/TrackPlayer.h"

AEffect* createPlayerEffect(HostCallback host, const BuildProfile& profile) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        return (new TrackPlayer(host, profile))->record();
    } catch (...) {
        return nullptr; // a failed creation makes the host reject the plug-in
    }
}
