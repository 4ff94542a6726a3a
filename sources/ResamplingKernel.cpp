#include "sources/ResamplingKernel.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr double pi = 3.14159265358979323846;
// Kaiser's beta for a side lobe level of about -100 dB.
constexpr double kaiserBeta = 10.06;

// The modified Bessel function of the first kind, order 0, by its series.
double besselI0(double x) {
    double sum = 1.0, term = 1.0, quarter = x * x / 4.0;
    for (int k = 1; k < 64 && term > sum * 1e-17; ++k) {
        term *= quarter / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

struct Stretch {
    double factor;
    int width;
};
// The stop band of a kernel of stretch s (24 x s taps) begins at about
// 0.64 / s cycles a track frame. Read at ratio r to an output whose Nyquist frequency is at least
// 22.05 kHz, a track's content at f cycles a frame folds back to the
// output's (1 / r - f) x r x rate: it is inaudible there (above 20 kHz) as
// long as f <= 1 / needed with needed = r x 44,100 / 24,100. Up to needed =
// 2 the track has no content that folds lower (its own Nyquist is 0.5); past
// that, the stop band must begin below 1 / needed.
constexpr Stretch stretches[] = {{1.0, 24}, {1.5, 40}, {2.0, 48}, {3.0, 72}};
constexpr double foldFactor = 44100.0 / 24100.0;
constexpr int stretchCount = sizeof stretches / sizeof stretches[0];

// Built on first use and released with the library (a host may unload it).
struct Kernels {
    std::unique_ptr<const ResamplingKernel> made[stretchCount];
    Kernels() {
        for (int i = 0; i < stretchCount; ++i)
            made[i] = std::make_unique<const ResamplingKernel>(stretches[i].factor, stretches[i].width);
    }
};

const std::unique_ptr<const ResamplingKernel>* kernels() {
    static const Kernels all;
    return all.made;
}

} // namespace

ResamplingKernel::ResamplingKernel(double stretch, int width) : width_(width) {
    table_ = new float[static_cast<size_t>(phases + 1) * width];
    const double half = width / 2.0;
    const double windowNorm = besselI0(kaiserBeta);
    for (int p = 0; p <= phases; ++p) {
        const double fraction = static_cast<double>(p) / phases;
        for (int k = 0; k < width; ++k) {
            // Distance in track frames from the read position to tap k.
            const double t = (k - before()) - fraction;
            double value = 0.0;
            const double edge = t / half;
            if (std::fabs(edge) < 1.0) {
                const double x = t / stretch;
                const double sinc = x == 0.0 ? 1.0 : std::sin(pi * x) / (pi * x);
                value = sinc / stretch * besselI0(kaiserBeta * std::sqrt(1.0 - edge * edge)) / windowNorm;
            }
            table_[p * width + k] = static_cast<float>(value);
        }
    }
    if (stretch == 1.0) {
        // Whole frames read exactly: a unit impulse at phases 0 and 1.
        for (int k = 0; k < width; ++k) {
            table_[k] = k == before() ? 1.0f : 0.0f;
            table_[phases * width + k] = k == before() + 1 ? 1.0f : 0.0f;
        }
    }
}

ResamplingKernel::~ResamplingKernel() { delete[] table_; }

void ResamplingKernel::prepare() { kernels(); }

const ResamplingKernel& ResamplingKernel::forRatio(double ratio) {
    const double needed = std::fabs(ratio) * foldFactor;
    const auto* all = kernels();
    if (!(needed > 2.0)) return *all[0];
    for (int i = 0; i < stretchCount; ++i)
        if (stretches[i].factor >= 0.64 * needed) return *all[i];
    return *all[stretchCount - 1];
}

