#include "deck/KeyShifter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/Clock.h"

#if TUNEDECK_KEY_LOCK
#include <rubberband/RubberBandStretcher.h>
#endif

namespace {
constexpr uint32_t offlineLimitMs = 5000; // a worker that cannot keep up does not hold an export for ever
constexpr int32_t retrieveFrames = 4096;
constexpr int32_t onsetFadeFrames = 64;

// The stretcher's delay beyond what it reports, in parts of its delay at
// the track's own pitch, against log2 of the pitch scale. Rubber Band
// 3.1.2 reports a delay that is right at a scale of 1 but a little short
// when it lowers the pitch (and long when it raises it); measured as the
// mean place of the peaks of 2 kHz bursts every 100 ms through 35 s at 48
// kHz, from a new stretcher's start as the deck starts one (the ends,
// after a change of scale). Between points the delay is taken on a
// straight line; beyond them, the last point's.
struct DelayPoint {
    double log2Scale, finer, faster;
};
constexpr DelayPoint unreportedDelay[] = {
    {-1.0, 0.018, 0.318},     {-0.737, 0.0150, 0.191}, {-0.322, 0.0114, 0.0739}, {-0.111, 0.0048, 0.0229},
    {0.0, 0.0, 0.0},          {0.120, -0.0068, -0.0328}, {0.322, -0.0208, -0.0818}, {0.585, -0.0426, -0.142},
    {1.0, -0.0741, -0.239}};

double unreported(double scale, bool finer) {
    const double x = std::log2(scale);
    const auto value = [finer](const DelayPoint& p) { return finer ? p.finer : p.faster; };
    if (x <= unreportedDelay[0].log2Scale) return value(unreportedDelay[0]);
    for (size_t i = 1; i < std::size(unreportedDelay); ++i) {
        const DelayPoint &a = unreportedDelay[i - 1], &b = unreportedDelay[i];
        if (x <= b.log2Scale) return value(a) + (x - a.log2Scale) / (b.log2Scale - a.log2Scale) * (value(b) - value(a));
    }
    return value(unreportedDelay[std::size(unreportedDelay) - 1]);
}
} // namespace

#if TUNEDECK_KEY_LOCK
struct KeyShifter::Stretcher {
    Stretcher(double rate, Engine engine)
        : rubberBand(static_cast<size_t>(rate), 2,
                     RubberBand::RubberBandStretcher::OptionProcessRealTime |
                         RubberBand::RubberBandStretcher::OptionPitchHighConsistency |
                         RubberBand::RubberBandStretcher::OptionChannelsTogether |
                         // R2 resets phases at transients only above the range of
                         // fundamentals: with its default, a held tone warbles by
                         // several dB and cents.
                         (engine == Engine::Finer ? RubberBand::RubberBandStretcher::OptionEngineFiner
                                                  : RubberBand::RubberBandStretcher::OptionEngineFaster |
                                                        RubberBand::RubberBandStretcher::OptionTransientsMixed),
                     1.0, 1.0),
          left(new float[retrieveFrames]), right(new float[retrieveFrames]) {
        rubberBand.setMaxProcessSize(chunkFrames);
    }
    RubberBand::RubberBandStretcher rubberBand;
    std::unique_ptr<float[]> left, right;
    int64_t toDiscard = 0; // the stretcher's own start delay, never heard
    int32_t baseDelay = 0; // its delay at the track's own pitch
    double scale = 1.0;
};
bool KeyShifter::available() { return true; }
#else
struct KeyShifter::Stretcher {};
bool KeyShifter::available() { return false; }
#endif

KeyShifter::KeyShifter() {
    for (int ch = 0; ch < 2; ++ch) {
        in_[ch].reset(new float[ringFrames]());
        out_[ch].reset(new float[ringFrames]());
    }
}

KeyShifter::~KeyShifter() = default;

bool KeyShifter::prepare(AudioThread, double rate, Engine engine, int32_t largestBlock, bool fresh) {
    if (!available() || !(rate >= 8000.0 && rate <= 384000.0)) return false;
    largestBlock = std::clamp(largestBlock, 1024, 16384);
    if (!asked_ || fresh || rate != rate_ || static_cast<int32_t>(engine) != engine_ || largestBlock > largestBlock_) {
        rate_ = rate;
        engine_ = static_cast<int32_t>(engine);
        largestBlock_ = std::max<int32_t>(largestBlock, largestBlock_);
        written_.store(0, std::memory_order_relaxed);
        readUpTo_.store(0, std::memory_order_relaxed);
        fadeInAt_ = noOnset;
        requested_.fetch_add(1, std::memory_order_release);
        asked_ = true;
        wakeWorker();
    }
    const uint32_t wanted = requested_.load(std::memory_order_relaxed);
    // Offline, the export waits for its pipeline as it waits for decoding.
    const uint32_t start = platform::tickCount();
    while (waiting_ && built_.load(std::memory_order_acquire) != wanted && platform::tickCount() - start < offlineLimitMs) {
        wakeWorker();
        platform::sleepMs(1);
    }
    return built_.load(std::memory_order_acquire) == wanted;
}

bool KeyShifter::matches(double rate, Engine engine, int32_t largestBlock) const {
    return asked_ && rate == rate_ && static_cast<int32_t>(engine) == engine_ &&
           std::clamp(largestBlock, 1024, 16384) <= largestBlock_;
}

int32_t KeyShifter::latencyAt(double scale) const {
    const double base = baseDelay_;
    if (!(base > 0) || !(scale > 0)) return length_;
    // Rubber Band reports its delay as its delay at a scale of 1 over the scale.
    const double extra = base / scale - base + unreported(scale, engine_ == static_cast<int32_t>(Engine::Finer)) * base;
    return length_ + static_cast<int32_t>(std::lround(extra));
}

int32_t KeyShifter::heardLatency() const {
    const int64_t heard = written_.load(std::memory_order_relaxed) - length_;
    return latencyAt(heard < 0 ? 1.0 : scales_[(heard / chunkFrames) % scaleSlots].load());
}

bool KeyShifter::process(AudioThread, float* const* io, int32_t n, double pitchScale, bool onset) {
    if (n <= 0) return true;
    const int64_t w = written_.load(std::memory_order_relaxed);
    if (w + n - consumed_.load(std::memory_order_acquire) > ringFrames || n > ringFrames / 4) {
        // The worker is far behind: what it has not taken is dropped and
        // the pipeline starts again.
        written_.store(0, std::memory_order_relaxed);
        readUpTo_.store(0, std::memory_order_relaxed);
        requested_.fetch_add(1, std::memory_order_release);
        wakeWorker();
        std::fill_n(io[0], n, 0.0f);
        std::fill_n(io[1], n, 0.0f);
        return false;
    }
    // Each chunk's pitch scale is the one of the call that hands in its first frame.
    for (int64_t chunk = (w + chunkFrames - 1) / chunkFrames; chunk * chunkFrames < w + n; ++chunk)
        scales_[chunk % scaleSlots] = std::isfinite(pitchScale) ? std::clamp(pitchScale, 0.25, 4.0) : 1.0;
    for (int32_t j = 0; j < n; ++j) {
        const auto slot = static_cast<size_t>((w + j) % ringFrames);
        in_[0][slot] = io[0][j];
        in_[1][slot] = io[1][j];
    }
    written_.store(w + n, std::memory_order_release);
    wakeWorker();
    // The sound comes out where the stretcher's delay at this scale puts it.
    if (onset) fadeInAt_ = std::max<int64_t>(w + latencyAt(pitchScale) - length_, 0);

    // Output frame j answers input frame j, heard length_ frames later.
    const int64_t first = w - length_;
    int64_t produced = produced_.load(std::memory_order_acquire);
    if (produced < first + n && waiting_) {
        const uint32_t start = platform::tickCount();
        while (produced < first + n && platform::tickCount() - start < offlineLimitMs &&
               built_.load(std::memory_order_acquire) == requested_.load(std::memory_order_relaxed)) {
            wakeWorker();
            platform::sleepMs(1);
            produced = produced_.load(std::memory_order_acquire);
        }
    }
    bool complete = true;
    for (int32_t j = 0; j < n; ++j) {
        const int64_t frame = first + j;
        if (frame < 0 || frame >= produced) {
            complete = complete && frame < 0;
            io[0][j] = io[1][j] = 0.0f;
            continue;
        }
        const auto slot = static_cast<size_t>(frame % ringFrames);
        io[0][j] = out_[0][slot];
        io[1][j] = out_[1][slot];
    }
    readUpTo_.store(std::max<int64_t>(first + n, 0), std::memory_order_release);
    if (fadeInAt_ != noOnset) {
        // Before a sound that starts after silence, what comes out is the
        // stretcher settling: silence, then the sound fades in.
        for (int64_t frame = first; frame < std::min(first + n, fadeInAt_ + onsetFadeFrames); ++frame) {
            const auto j = static_cast<size_t>(frame - first);
            const float gain = frame < fadeInAt_ ? 0.0f : static_cast<float>(frame - fadeInAt_ + 1) / (onsetFadeFrames + 1);
            io[0][j] *= gain;
            io[1][j] *= gain;
        }
        if (fadeInAt_ + onsetFadeFrames <= first + n) fadeInAt_ = noOnset;
    }
    return complete;
}

#if TUNEDECK_KEY_LOCK
bool KeyShifter::build() {
    const uint32_t wanted = requested_.load(std::memory_order_acquire);
    const double rate = rate_;
    stretcher_ = std::make_unique<Stretcher>(rate, static_cast<Engine>(engine_.load()));
    RubberBand::RubberBandStretcher& rubberBand = stretcher_->rubberBand;
    // The stretcher starts from silence it is fed first, and its own delay
    // is taken off its output, so that output frame j is input frame j.
    const auto pad = static_cast<int32_t>(rubberBand.getPreferredStartPad());
    float* silence[2] = {stretcher_->left.get(), stretcher_->right.get()};
    std::fill_n(silence[0], chunkFrames, 0.0f);
    std::fill_n(silence[1], chunkFrames, 0.0f);
    for (int32_t done = 0; done < pad; done += chunkFrames)
        rubberBand.process(silence, static_cast<size_t>(std::min(chunkFrames, pad - done)), false);
    stretcher_->baseDelay = static_cast<int32_t>(rubberBand.getStartDelay());
    stretcher_->toDiscard = stretcher_->baseDelay;
    // Output frame j needs input up to j plus the stretcher's look-ahead,
    // which lowering the pitch stretches to about three times its delay;
    // then a chunk to fill, the largest block the host hands in at once,
    // and time for the worker to get to it.
    length_ = 3 * stretcher_->baseDelay + 1024 + chunkFrames + largestBlock_ + 512;
    baseDelay_ = stretcher_->baseDelay;
    consumed_.store(0, std::memory_order_relaxed);
    produced_.store(0, std::memory_order_relaxed);
    built_.store(wanted, std::memory_order_release);
    return true;
}

bool KeyShifter::serve() {
    if (built_.load(std::memory_order_relaxed) != requested_.load(std::memory_order_acquire)) return build();
    if (!stretcher_) return false;
    const uint32_t generation = built_.load(std::memory_order_relaxed);
    Stretcher& s = *stretcher_;
    RubberBand::RubberBandStretcher& rubberBand = s.rubberBand;
    bool did = false;
    for (;;) {
        // What the stretcher has made goes out first, as far as there is room.
        for (int available = rubberBand.available(); available > 0; available = rubberBand.available()) {
            const int64_t produced = produced_.load(std::memory_order_relaxed);
            const int64_t room = ringFrames - (produced - readUpTo_.load(std::memory_order_acquire));
            if (room <= 0) break;
            float* rows[2] = {s.left.get(), s.right.get()};
            const auto got = static_cast<int32_t>(
                rubberBand.retrieve(rows, static_cast<size_t>(std::min<int64_t>({available, room, retrieveFrames}))));
            if (got <= 0) break;
            const auto skipped = static_cast<int32_t>(std::min<int64_t>(s.toDiscard, got));
            s.toDiscard -= skipped;
            for (int32_t j = skipped; j < got; ++j) {
                const auto slot = static_cast<size_t>((produced + j - skipped) % ringFrames);
                out_[0][slot] = s.left[j];
                out_[1][slot] = s.right[j];
            }
            produced_.store(produced + got - skipped, std::memory_order_release);
            did = true;
        }
        if (requested_.load(std::memory_order_acquire) != generation) return true;
        const int64_t consumed = consumed_.load(std::memory_order_relaxed);
        if (written_.load(std::memory_order_acquire) - consumed < chunkFrames) return did;
        // Room for what this chunk makes, so that the stretcher never holds
        // more than its own buffers take.
        if (produced_.load(std::memory_order_relaxed) - readUpTo_.load(std::memory_order_acquire) >
            ringFrames - 2 * retrieveFrames)
            return did;
        const double scale = scales_[(consumed / chunkFrames) % scaleSlots];
        if (scale != s.scale) {
            rubberBand.setPitchScale(scale);
            s.scale = scale;
        }
        float* rows[2] = {s.left.get(), s.right.get()};
        for (int32_t j = 0; j < chunkFrames; ++j) {
            const auto slot = static_cast<size_t>((consumed + j) % ringFrames);
            rows[0][j] = in_[0][slot];
            rows[1][j] = in_[1][slot];
        }
        rubberBand.process(rows, chunkFrames, false);
        consumed_.store(consumed + chunkFrames, std::memory_order_release);
        did = true;
    }
}
#else
bool KeyShifter::build() { return false; }
bool KeyShifter::serve() { return false; }
#endif
