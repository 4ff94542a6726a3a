#include "mpeg/MpegSourceBase.h"

#include <algorithm>
#include <cmath>

#include "sources/ControlLaws.h"

bool MpegSourceBase::acceptsFile(const char* path) {
    return hasExtension(path, ".mp1") || hasExtension(path, ".mp2") || hasExtension(path, ".mp3");
}

void MpegSourceBase::setEq(bool enabled, const float crossovers[2], const float gains[3], float volume,
                           const bool cuts[3]) {
    if (!crossovers || !gains || !cuts) return;
    const int cut[2] = {crossoverSubband(crossovers[0]), crossoverSubband(crossovers[1])};
    const double factor = volumeFactor(volume);
    for (int j = 0; j < subbands; ++j) {
        int band = j < cut[0] ? 0 : j < cut[1] ? 1 : 2;
        double level = cuts[band] ? 0.0 : gains[band];
        auto value = static_cast<float>(level * factor);
        subbandGains[j] = static_cast<int32_t>(static_cast<double>(value) * unitGain + 0.5);
    }
    eqEnabled = enabled;
}
