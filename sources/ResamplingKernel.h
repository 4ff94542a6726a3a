#pragma once
// The one interpolation kernel every track source reads through when the
// speed ratio is not exactly 1: a Kaiser-windowed sinc held as a polyphase
// table, with the coefficients of a fractional position interpolated
// linearly between the two nearest phases.
//
// Images of a tone (the copies a straight line between two frames leaves
// around the sampling rate) fall in the kernel's stop band, about 100 dB
// down. Fast reads use a wider kernel with a lower cut-off, so that what
// lies above the output's Nyquist frequency is filtered instead of folded
// back into the audible band.
//
// The tables are built once, before any audio thread can use them (see
// prepare); after that the kernel is read-only and shared by all instances.
#include <cstdint>
#include <cstring>

class ResamplingKernel {
public:
    static constexpr int phases = 128;   // table rows per frame of the track
    static constexpr int baseWidth = 24; // taps at a stretch of 1
    static constexpr int widest = 72;    // taps at the largest stretch

    // The kernel for reading at ratio (track frames per output value).
    static const ResamplingKernel& forRatio(double ratio);
    // Builds every table; called from the sources' constructors so that the
    // audio thread never builds one.
    static void prepare();

    int width() const { return width_; }
    // Frames the kernel reads before and after the frame at or below a
    // fractional position.
    int before() const { return width_ / 2 - 1; }
    int after() const { return width_ / 2; }

    // One output frame: the two rows hold width() frames each, starting
    // before() frames ahead of the position; fraction is its part past the
    // frame (0 <= fraction < 1). At fraction 0 and a stretch of 1 the result
    // is the frame itself, bit for bit.
    void apply(const float* left, const float* right, double fraction, float& outLeft, float& outRight) const {
        const double scaled = fraction * phases;
        int phase = static_cast<int>(scaled);
        if (phase >= phases) phase = phases - 1;
        const float between = static_cast<float>(scaled - phase);
        const float* a = table_ + phase * width_;
        if (width_ == baseWidth)
            sum<baseWidth>(a, between, left, right, outLeft, outRight);
        else
            sum<0>(a, between, left, right, outLeft, outRight);
    }

    ResamplingKernel(double stretch, int width);
    ResamplingKernel(const ResamplingKernel&) = delete;
    ResamplingKernel& operator=(const ResamplingKernel&) = delete;
    ~ResamplingKernel();

private:
    // Four lanes, as GCC and Clang vectorise them on every target we build for.
    typedef float Lanes __attribute__((vector_size(16)));
    static Lanes load(const float* p) {
        Lanes v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    // Two accumulators a channel keep the additions from waiting on each
    // other; a fixed width (the common case) unrolls completely.
    template <int fixedWidth>
    void sum(const float* a, float between, const float* left, const float* right, float& outLeft,
             float& outRight) const {
        const int width = fixedWidth ? fixedWidth : width_;
        const float* b = a + width;
        Lanes l0 = {0, 0, 0, 0}, l1 = l0, r0 = l0, r1 = l0;
        for (int k = 0; k < width; k += 8) {
            const Lanes a0 = load(a + k), a1 = load(a + k + 4);
            const Lanes c0 = a0 + (load(b + k) - a0) * between;
            const Lanes c1 = a1 + (load(b + k + 4) - a1) * between;
            l0 += c0 * load(left + k);
            r0 += c0 * load(right + k);
            l1 += c1 * load(left + k + 4);
            r1 += c1 * load(right + k + 4);
        }
        const Lanes l = l0 + l1, r = r0 + r1;
        outLeft = (l[0] + l[2]) + (l[1] + l[3]);
        outRight = (r[0] + r[2]) + (r[1] + r[3]);
    }

    int width_; // a multiple of 8
    float* table_; // (phases + 1) rows of width_ coefficients
};
