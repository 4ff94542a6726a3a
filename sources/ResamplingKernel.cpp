#include "sources/ResamplingKernel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/Mutex.h"

namespace {

constexpr double pi = 3.14159265358979323846;
// Kaiser's window for a stop band 96 dB down (the measured images sit
// about 10 dB lower still), and the length it needs for a transition band
// of width w cycles a frame: (96 - 7.95) / (2.285 x 2 pi w).
constexpr double stopDb = 96.0;
constexpr double kaiserBeta = 0.1102 * (stopDb - 8.7);
constexpr double tapsTimesWidth = (stopDb - 7.95) / (2.285 * 2.0 * pi);
// Phases at stretch 1: the straight line between two phases then errs by
// less than 100 dB below the tone. A stretched kernel is smoother in
// proportion and needs proportionally fewer.
constexpr int plainPhases = 512;

// The modified Bessel function of the first kind, order 0, by its series.
double besselI0(double x) {
    double sum = 1.0, term = 1.0, quarter = x * x / 4.0;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= quarter / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

double stretchOf(int step) { return std::pow(ResamplingKernel::step, step); }

int tapsFor(double stretch) {
    const double transition = ResamplingKernel::passFraction * (ResamplingKernel::stopOverPass - 1.0) / stretch;
    const int taps = static_cast<int>(std::ceil(tapsTimesWidth / transition / 16.0)) * 16;
    return std::min(taps, ResamplingKernel::widest);
}

// Built kernels by step; released with the library (a host may unload it).
struct Kernels {
    std::atomic<const ResamplingKernel*> built[ResamplingKernel::stretches] = {};
    platform::Mutex building;
    ~Kernels() {
        for (auto& kernel : built) delete kernel.load();
    }
    void build(int step) {
        platform::MutexLock guard(building);
        if (!built[step].load()) built[step].store(new ResamplingKernel(stretchOf(step)), std::memory_order_release);
    }
};

Kernels& kernels() {
    static Kernels all;
    return all;
}

// Eight lanes: two SSE registers each by default, one AVX register where the
// processor has AVX2 (a second copy of the loop, chosen when the library
// loads). No eight-lane value crosses a call, so the two copies never
// disagree on how such values are passed.
#if defined(__GNUC__)
typedef float Lanes __attribute__((vector_size(32)));
#else
// Compilers without GCC's vector types: eight floats, which they vectorise
// from these loops themselves.
struct Lanes {
    float v[8] = {};
    float operator[](int i) const { return v[i]; }
    friend Lanes operator+(Lanes a, const Lanes& b) {
        for (int i = 0; i < 8; ++i) a.v[i] += b.v[i];
        return a;
    }
    friend Lanes operator-(Lanes a, const Lanes& b) {
        for (int i = 0; i < 8; ++i) a.v[i] -= b.v[i];
        return a;
    }
    friend Lanes operator*(Lanes a, const Lanes& b) {
        for (int i = 0; i < 8; ++i) a.v[i] *= b.v[i];
        return a;
    }
    friend Lanes operator*(Lanes a, float b) {
        for (float& x : a.v) x *= b;
        return a;
    }
    Lanes& operator+=(const Lanes& b) { return *this = *this + b; }
};
#endif

#if defined(__x86_64__) && defined(__linux__)
#define TUNEDECK_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TUNEDECK_VECTOR_CLONES
#endif

// The run's loop: each value's coefficients are the straight line between
// the two phases around its fraction, and two accumulators a channel keep
// the additions from waiting on each other.
TUNEDECK_VECTOR_CLONES
void run(const float* table, int width, int phases, const float* left, const float* right, double x, double step,
         int32_t count, int before, float* outLeft, float* outRight, bool replace) {
    for (int32_t j = 0; j < count; ++j) {
        const double at = x + j * step;
        const double whole = std::floor(at);
        const double scaled = (at - whole) * phases;
        int phase = static_cast<int>(scaled);
        if (phase >= phases) phase = phases - 1;
        const float between = static_cast<float>(scaled - phase);
        const float* a = table + phase * width;
        const float* b = a + width;
        const auto index = static_cast<int32_t>(whole) - before;
        const float* l = left + index;
        const float* r = right + index;
        Lanes l0 = {}, l1 = {}, r0 = {}, r1 = {};
        for (int k = 0; k < width; k += 16) {
            Lanes a0, a1, b0, b1, x0, x1, y0, y1;
            std::memcpy(&a0, a + k, sizeof a0);
            std::memcpy(&a1, a + k + 8, sizeof a1);
            std::memcpy(&b0, b + k, sizeof b0);
            std::memcpy(&b1, b + k + 8, sizeof b1);
            std::memcpy(&x0, l + k, sizeof x0);
            std::memcpy(&x1, l + k + 8, sizeof x1);
            std::memcpy(&y0, r + k, sizeof y0);
            std::memcpy(&y1, r + k + 8, sizeof y1);
            const Lanes c0 = a0 + (b0 - a0) * between;
            const Lanes c1 = a1 + (b1 - a1) * between;
            l0 += c0 * x0;
            r0 += c0 * y0;
            l1 += c1 * x1;
            r1 += c1 * y1;
        }
        const Lanes sl = l0 + l1, sr = r0 + r1;
        const float valueLeft = ((sl[0] + sl[4]) + (sl[1] + sl[5])) + ((sl[2] + sl[6]) + (sl[3] + sl[7]));
        const float valueRight = ((sr[0] + sr[4]) + (sr[1] + sr[5])) + ((sr[2] + sr[6]) + (sr[3] + sr[7]));
        if (replace) {
            outLeft[j] = valueLeft;
            outRight[j] = valueRight;
        } else {
            outLeft[j] += valueLeft;
            outRight[j] += valueRight;
        }
    }
}

} // namespace

void ResamplingKernel::applyRun(const float* left, const float* right, double x, double step, int32_t count,
                                float* const* out, int32_t first, bool replace) const {
    run(table_, width_, phases_, left, right, x, step, count, before(), out[0] + first, out[1] + first, replace);
}

ResamplingKernel::ResamplingKernel(double stretch)
    : width_(tapsFor(stretch)), phases_(std::max(64, static_cast<int>(std::lround(plainPhases / stretch)))) {
    table_ = new float[static_cast<size_t>(phases_ + 1) * width_];
    const double pass = passFraction / stretch, stop = pass * stopOverPass;
    const double cutoff = (pass + stop) / 2.0; // cycles a track frame, where the response is halved
    const double half = width_ / 2.0;
    const double windowNorm = besselI0(kaiserBeta);
    for (int p = 0; p <= phases_; ++p) {
        const double fraction = static_cast<double>(p) / phases_;
        double row[widest];
        double sum = 0.0;
        for (int k = 0; k < width_; ++k) {
            // Distance in track frames from the read position to tap k.
            const double t = (k - before()) - fraction;
            const double edge = t / half;
            double value = 0.0;
            if (std::fabs(edge) < 1.0) {
                const double x = 2.0 * cutoff * t;
                const double sinc = x == 0.0 ? 1.0 : std::sin(pi * x) / (pi * x);
                value = 2.0 * cutoff * sinc * besselI0(kaiserBeta * std::sqrt(1.0 - edge * edge)) / windowNorm;
            }
            row[k] = value;
            sum += value;
        }
        // Every phase passes a constant exactly: the level never wobbles
        // with the fraction.
        for (int k = 0; k < width_; ++k) table_[p * width_ + k] = static_cast<float>(row[k] / sum);
    }
}

ResamplingKernel::~ResamplingKernel() { delete[] table_; }

double ResamplingKernel::neededStretch(double ratio, double trackRate) {
    const double r = std::fabs(ratio);
    const double rate = trackRate > 0 ? trackRate : 44100.0;
    // Kept: 20 kHz of the track, within its share of the track's rate and
    // of the output's. Stopped: the images of what is kept, and whatever
    // would fold back into the output's kept band.
    const double pass = std::min({passFraction, 20000.0 / rate, r > 1.0 ? passFraction / r : passFraction});
    const double stop = std::min(1.0 - pass, r > 1.0 ? (1.0 - passFraction) / r : 1.0);
    return passFraction * stopOverPass / stop;
}

int ResamplingKernel::stepFor(double stretch) {
    if (!(stretch > 1.0)) return 0;
    const int k = static_cast<int>(std::ceil(std::log(stretch) / std::log(step) - 1e-9));
    return std::clamp(k, 0, stretches - 1);
}

void ResamplingKernel::prepare() {
    if (!kernels().built[0].load(std::memory_order_acquire)) kernels().build(0);
}

void ResamplingKernel::prepareFor(double trackRate, double lowestRatio, double highestRatio) {
    prepare();
    const int low = stepFor(neededStretch(lowestRatio, trackRate));
    const int high = stepFor(neededStretch(highestRatio, trackRate));
    for (int k = std::min(low, high); k <= std::max(low, high); ++k)
        if (!kernels().built[k].load(std::memory_order_acquire)) kernels().build(k);
}

const ResamplingKernel& ResamplingKernel::forRatio(double ratio, double trackRate) {
    Kernels& all = kernels();
    const int wanted = stepFor(neededStretch(ratio, trackRate));
    // Not built (a speed no opening prepared for): the nearest that is,
    // a larger stretch first (it stops more, at the cost of some treble).
    for (int d = 0; d < stretches; ++d) {
        if (wanted + d < stretches)
            if (const ResamplingKernel* k = all.built[wanted + d].load(std::memory_order_acquire)) return *k;
        if (wanted - d >= 0 && d > 0)
            if (const ResamplingKernel* k = all.built[wanted - d].load(std::memory_order_acquire)) return *k;
    }
    prepare(); // only before any source was made
    return *all.built[0].load(std::memory_order_acquire);
}
