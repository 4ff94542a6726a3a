#pragma once
// The interpolation kernels every track source reads through when the
// speed ratio is not exactly 1: Kaiser-windowed sincs held as polyphase
// tables, with the coefficients of a fractional position interpolated
// linearly between the two nearest phases.
//
// What a read must keep and remove depends on the track's rate and the
// ratio. The band kept is 20 kHz, or the same share of a lower rate; a
// tone in it must come out flat (within 0.1 dB), and its images, and
// whatever content folds back into that band at the output, must be at
// least 90 dB down. One kernel per step of a geometric series of
// "stretches" covers every case: a kernel of stretch s keeps passFraction / s
// cycles per track frame and stops from (passFraction / s) x stopOverPass
// on, and the steps are close enough that some kernel fits every need.
//
// Threads: the tables are built off the audio thread (prepare, prepareFor)
// and published through atomic pointers; once published a kernel is
// read-only and lives as long as the library. The audio thread only picks
// among the kernels built (forRatio) and never builds one.
#include <cstdint>

class ResamplingKernel {
public:
    // The share of a rate kept flat: 20 kHz of 44.1 kHz.
    static constexpr double passFraction = 20000.0 / 44100.0;
    static constexpr double step = 1.03; // between neighbouring stretches
    // The stop band's edge over the pass band's: what the steps leave of
    // the gap between 20 kHz and the images of 20 kHz at 44.1 kHz.
    static constexpr double stopOverPass = (1.0 - passFraction) / passFraction / step;
    static constexpr int stretches = 72; // up to 1.03^71, about 8.1
    static constexpr int widest = 688;   // taps of the largest stretch

    // The kernel for reading a track of trackRate at ratio (track frames
    // per output value): the built kernel nearest to what the read needs.
    static const ResamplingKernel& forRatio(double ratio, double trackRate);
    // Builds the kernel of stretch 1; sources call it when they are made.
    static void prepare();
    // Builds every kernel reads of a track of trackRate need at ratios
    // from lowest to highest. Takes milliseconds per kernel: call it where a
    // track opens, never on the audio thread.
    static void prepareFor(double trackRate, double lowestRatio, double highestRatio);

    int width() const { return width_; }
    // Frames the kernel reads before and after the frame at or below a
    // fractional position.
    int before() const { return width_ / 2 - 1; }
    int after() const { return width_ / 2; }

    // Output values j = 0 .. count - 1: the track at x + j * step frames
    // into the rows left and right, which hold every frame those positions
    // reach (before() frames ahead of the lowest, after() past the highest).
    // Replaces or adds to out[0] and out[1] from value first on.
    void applyRun(const float* left, const float* right, double x, double step, int32_t count, float* const* out,
                  int32_t first, bool replace) const;

    ResamplingKernel(double stretch);
    ResamplingKernel(const ResamplingKernel&) = delete;
    ResamplingKernel& operator=(const ResamplingKernel&) = delete;
    ~ResamplingKernel();

    // The stretch a read needs at least, and the step that gives it.
    static double neededStretch(double ratio, double trackRate);
    static int stepFor(double stretch);

private:
    int width_;    // a multiple of 16
    int phases_;   // table rows per frame of the track
    float* table_; // (phases_ + 1) rows of width_ coefficients
};
