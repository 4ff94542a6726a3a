#include "mpeg/MpegSourceBase.h"

#include <algorithm>
#include <cmath>

bool MpegSourceBase::acceptsFile(const char* path) {
    return hasExtension(path, ".mp1") || hasExtension(path, ".mp2") || hasExtension(path, ".mp3");
}

void MpegSourceBase::setEq(bool enabled, const float crossovers[2], const float gains[3], float volume,
                           const bool cuts[3]) {
    if (!crossovers || !gains || !cuts) return;
    int cut[2];
    for (int i = 0; i < 2; ++i) {
        double x = std::clamp(static_cast<double>(crossovers[i]), 0.0, 1.0);
        cut[i] = static_cast<int>(std::min(std::trunc(std::pow(2.0, 5.0 * x)), 32.0)) - 1;
    }
    // The exponent's 0.05 is single precision, as the volume law was first
    // computed: volume 0.5 then gives 0.0999999966 rather than 0.1.
    double factor = volume == 0.0f ? 0.0 : std::pow(10.0, (1.0 - volume) * -40.0 * static_cast<double>(0.05f));
    for (int j = 0; j < subbands; ++j) {
        int band = j < cut[0] ? 0 : j < cut[1] ? 1 : 2;
        double level = cuts[band] ? 0.0 : gains[band];
        auto value = static_cast<float>(level * factor);
        subbandGains[j] = static_cast<int32_t>(static_cast<double>(value) * unitGain + 0.5);
    }
    eqEnabled = enabled;
}
