#include "analysis/BeatAnalyser.h"

#include <dsp/onsets/DetectionFunction.h>
#include <dsp/tempotracking/DownBeat.h>
#include <dsp/tempotracking/TempoTrackV2.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// A straight line through beats: beat n falls at origin + n * period.
struct Line {
    double origin = 0, period = 0, residual = 0; // residual: root mean square, seconds
    size_t used = 0;
};

// Numbers each beat by the beats the line's period says lie before it, so
// that a beat the tracker missed leaves a gap in the count, not a slip.
std::vector<double> beatNumbers(const std::vector<double>& beats, double period) {
    std::vector<double> numbers(beats.size(), 0.0);
    for (size_t k = 1; k < beats.size(); ++k)
        numbers[k] = numbers[k - 1] + std::max(1.0, std::round((beats[k] - beats[k - 1]) / period));
    return numbers;
}

// Least squares through the beats whose weight is set.
Line fitLine(const std::vector<double>& beats, const std::vector<double>& numbers, const std::vector<bool>& use) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t k = 0; k < beats.size(); ++k) {
        if (!use[k]) continue;
        n += 1, sx += numbers[k], sy += beats[k], sxx += numbers[k] * numbers[k], sxy += numbers[k] * beats[k];
    }
    Line line;
    const double d = n * sxx - sx * sx;
    if (n < 2 || d <= 0) return line;
    line.period = (n * sxy - sx * sy) / d;
    line.origin = (sy - line.period * sx) / n;
    double sum = 0;
    for (size_t k = 0; k < beats.size(); ++k) {
        if (!use[k]) continue;
        const double e = beats[k] - (line.origin + line.period * numbers[k]);
        sum += e * e;
    }
    line.residual = std::sqrt(sum / n);
    line.used = static_cast<size_t>(n);
    return line;
}

// The line with its period held at period (a snapped tempo): only its
// origin is fitted.
Line fitOrigin(const std::vector<double>& beats, const std::vector<double>& numbers, const std::vector<bool>& use,
               double period) {
    Line line;
    line.period = period;
    double n = 0, sum = 0;
    for (size_t k = 0; k < beats.size(); ++k)
        if (use[k]) n += 1, sum += beats[k] - period * numbers[k];
    if (n < 1) return line;
    line.origin = sum / n;
    double squares = 0;
    for (size_t k = 0; k < beats.size(); ++k) {
        if (!use[k]) continue;
        const double e = beats[k] - (line.origin + period * numbers[k]);
        squares += e * e;
    }
    line.residual = std::sqrt(squares / n);
    line.used = static_cast<size_t>(n);
    return line;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    return values[mid];
}

} // namespace

// The onset strengths, one per step, from the sound folded to mono.
struct BeatAnalyser::Onsets {
    explicit Onsets(int32_t step) : frame(static_cast<size_t>(step) * 2, 0.0) {
        DFConfig config{};
        config.stepSize = static_cast<unsigned>(step);
        config.frameLength = static_cast<unsigned>(step) * 2;
        config.DFType = DF_COMPLEXSD;
        config.dbRise = 3.0;
        config.adaptiveWhitening = false;
        config.whiteningRelaxCoeff = -1;
        config.whiteningFloor = -1;
        detection = std::make_unique<DetectionFunction>(config);
    }
    std::unique_ptr<DetectionFunction> detection;
    std::vector<double> frame;  // the last two steps of sound
    size_t fill = 0;            // samples of the newer step in it
    std::vector<double> values; // one a step
    // The sound at a sixteenth of its rate for the bar finder, over the
    // first minutes only.
    std::unique_ptr<DownBeat> bars;
    std::vector<float> mono; // one step of sound for it
    // The snare's band (a band-pass around 2.7 kHz, above kicks, bass and
    // most chords, below most hi-hats): its energy each step.
    double b0 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double snareEnergy = 0;
    std::vector<float> snare;
    // The sound's peak level in bins of fineBin samples over the first
    // minutes: where each beat's attack starts, to a third of a millisecond.
    static constexpr int32_t fineBin = 16;
    float finePeak = 0;
    int32_t fineFill = 0;
    std::vector<float> fine;
};

BeatAnalyser::BeatAnalyser(int32_t sampleRate) : sampleRate_(std::max(sampleRate, 8000)) {
    // About 86 steps a second whatever the rate: the tracker's tempo model
    // is made for that many.
    step_ = 512;
    while (step_ * 2 * 44100 <= sampleRate_ * 512 * 3 / 2) step_ *= 2;
    onsets_ = std::make_unique<Onsets>(step_);
    onsets_->bars = std::make_unique<DownBeat>(static_cast<float>(sampleRate_), 16, static_cast<size_t>(step_));
    onsets_->bars->setBeatsPerBar(4);
    onsets_->mono.resize(static_cast<size_t>(step_));
    // A second-order band-pass, a constant 0 dB peak, an octave and a half wide.
    const double w = 2 * M_PI * 2700.0 / sampleRate_, alpha = std::sin(w) / (2 * 0.9);
    const double a0 = 1 + alpha;
    onsets_->b0 = alpha / a0;
    onsets_->b2 = -alpha / a0;
    onsets_->a1 = -2 * std::cos(w) / a0;
    onsets_->a2 = (1 - alpha) / a0;
}

BeatAnalyser::~BeatAnalyser() = default;

void BeatAnalyser::add(const float* left, const float* right, int32_t frames) {
    if (!left || !right || frames <= 0) return;
    Onsets& o = *onsets_;
    const auto step = static_cast<size_t>(step_);
    const size_t most = static_cast<size_t>(longestSeconds) * static_cast<size_t>(sampleRate_) / step;
    if (o.values.size() >= most) return;
    for (int32_t i = 0; i < frames; ++i) {
        o.frame[step + o.fill] = 0.5 * (static_cast<double>(left[i]) + right[i]);
        o.mono[o.fill] = 0.5f * (left[i] + right[i]);
        const double x = o.mono[o.fill];
        const double y = o.b0 * x + o.b2 * o.x2 - o.a1 * o.y1 - o.a2 * o.y2;
        o.x2 = o.x1, o.x1 = x, o.y2 = o.y1, o.y1 = y;
        o.snareEnergy += y * y;
        o.finePeak = std::max(o.finePeak, std::fabs(o.mono[o.fill]));
        if (++o.fineFill == Onsets::fineBin) {
            if (o.fine.size() * Onsets::fineBin < static_cast<size_t>(barSeconds) * static_cast<size_t>(sampleRate_))
                o.fine.push_back(o.finePeak);
            o.finePeak = 0;
            o.fineFill = 0;
        }
        if (++o.fill < step) continue;
        o.snare.push_back(static_cast<float>(o.snareEnergy));
        o.snareEnergy = 0;
        o.values.push_back(o.detection->processTimeDomain(o.frame.data()));
        if (o.values.size() * step <= static_cast<size_t>(barSeconds) * static_cast<size_t>(sampleRate_))
            o.bars->pushAudioBlock(o.mono.data());
        std::copy(o.frame.begin() + static_cast<std::ptrdiff_t>(step), o.frame.end(), o.frame.begin());
        o.fill = 0;
    }
}

std::vector<double> BeatAnalyser::trackedBeats(double stepsEarly) {
    std::vector<double> df = onsets_->values;
    if (df.size() < 64) return {};
    // The first values see the silence before the track: they are no onsets.
    df[0] = df[1] = 0.0;
    TempoTrackV2 tracker(static_cast<float>(sampleRate_), static_cast<size_t>(step_));
    // The tracker writes a period for every onset value into room the caller gives.
    std::vector<double> periods(df.size(), 0.0), tempi, beats;
    tracker.calculateBeatPeriod(df, periods, tempi);
    tracker.calculateBeats(df, periods, beats);
    std::vector<double> seconds;
    seconds.reserve(beats.size());
    for (double beat : beats) seconds.push_back((beat - stepsEarly) * step_ / sampleRate_);
    return seconds;
}

double BeatAnalyser::onsetAt(double seconds) const {
    const double at = seconds * sampleRate_ / step_ + 1.0;
    const auto i = static_cast<long>(std::lround(at));
    double best = 0;
    // The strongest value within a step either way: onsets blur a little.
    for (long k = i - 1; k <= i + 1; ++k)
        if (k >= 0 && k < static_cast<long>(onsets_->values.size())) best = std::max(best, onsets_->values[static_cast<size_t>(k)]);
    return best;
}

BeatGrid BeatAnalyser::finishPlain() {
    // Each beat where its onset value's step begins, as the tracker's users
    // commonly take it.
    const std::vector<double> beats = trackedBeats(0.0);
    BeatGrid grid;
    if (beats.size() < 4) return grid;
    std::vector<double> numbers(beats.size());
    std::iota(numbers.begin(), numbers.end(), 0.0);
    const Line line = fitLine(beats, numbers, std::vector<bool>(beats.size(), true));
    if (line.period <= 0) return grid;
    grid.bpm = 60.0 / line.period;
    grid.firstBeatSeconds = std::fmod(std::fmod(line.origin, line.period) + line.period, line.period);
    return grid;
}

BeatGrid BeatAnalyser::finish() {
    // A step's value measures the change into a frame of two steps that
    // begins a step before it: an onset shows where that frame begins
    // (measured on the beat corpus: within a millisecond or two).
    // The tracker's beats fall on its steps; each is taken where its onset
    // peaks between them (on the beat corpus: phase median 2.1 ms, against
    // 3.0 ms on the steps).
    std::vector<double> beats = trackedBeats(1.0);
    for (double& beat : beats) beat = onsetPeak(beat);
    // The onset function places a sharp click's beat half a step early and a
    // drum's slower attack a little late: beats move to where their attacks
    // start, by the median over the first minutes.
    const Attacks attacks = attacksAt(beats);
    for (double& beat : beats) beat += attacks.offset;
    BeatGrid grid;
    // A held tone or noise: the onset function's tiny wobbles make beats of
    // their own, but no attack stands out of the sound (on the beat corpus
    // at least 56 % of the beats' attacks do; 0 for a sine, 5 % for pink noise).
    if (attacks.heard >= 8 && attacks.attacks * 5 < attacks.heard) return grid;
    if (beats.size() < 4) return grid;
    std::vector<double> gaps;
    for (size_t k = 1; k < beats.size(); ++k) gaps.push_back(beats[k] - beats[k - 1]);
    double period = median(gaps);
    if (period <= 0) return grid;

    // The line through the beats; beats far off it (a fill, a break the
    // tracker stumbled through) are left out and the line fitted again.
    std::vector<double> numbers = beatNumbers(beats, period);
    std::vector<bool> use(beats.size(), true);
    Line line = fitLine(beats, numbers, use);
    for (int round = 0; round < 4 && line.period > 0; ++round) {
        const double limit = std::max(0.012, 2.5 * line.residual);
        bool changed = false;
        for (size_t k = 0; k < beats.size(); ++k) {
            const bool near = std::fabs(beats[k] - (line.origin + line.period * numbers[k])) <= limit;
            if (near != use[k]) use[k] = near, changed = true;
        }
        if (!changed) break;
        numbers = beatNumbers(beats, line.period);
        line = fitLine(beats, numbers, use);
    }
    if (line.period <= 0 || line.used < beats.size() / 2) return grid;

    // A tempo that holds puts most beats near one line, the first half's
    // period agreeing with the second's.
    const size_t half = beats.size() / 2;
    std::vector<bool> early(beats.size(), false), late(beats.size(), false);
    for (size_t k = 0; k < beats.size(); ++k) (k < half ? early : late)[k] = use[k];
    const Line a = fitLine(beats, numbers, early), b = fitLine(beats, numbers, late);
    const bool holds = a.period > 0 && b.period > 0 && std::fabs(a.period - b.period) < 0.002 * line.period &&
                       line.residual < 0.02;
    grid.constant = holds;

    // The octave a DJ counts, 70 to 185 BPM. A grid whose every half beat
    // is as strong as its beats counts every other beat (a hardcore track
    // tracked at half its tempo); one whose thirds of a beat are counts
    // every third half beat (a four-to-the-floor track tracked at 2/3 of
    // its tempo, its kicks and off-beats taken for a slower swing).
    double bpm = holds ? 60.0 / line.period : 60.0 / median(gaps);
    const double from = beats.front(), to = beats.back();
    const double onBeats = gridStrength(line.origin, line.period, from, to);
    const double halves = gridStrength(line.origin + line.period / 2, line.period, from, to);
    const double thirds = 0.5 * (gridStrength(line.origin + line.period / 3, line.period, from, to) +
                                 gridStrength(line.origin + 2 * line.period / 3, line.period, from, to));
    // The snare's hits: on every other beat (a backbeat, on 2 and 4), or as
    // strong on every beat, with more going on between the beats (drum and
    // bass tracked at half its tempo, each of its snares taken for a beat).
    // On the beat corpus: 0.99 for drum and bass, at most 0.69 for hip-hop
    // and ballads.
    double snareOn[2] = {};
    int parity = 0;
    for (double at = line.origin + std::ceil((from - line.origin) / line.period) * line.period; at <= to;
         at += line.period, parity ^= 1)
        snareOn[parity] += snareAt(at);
    const double evenness = std::min(snareOn[0], snareOn[1]) / std::max(std::max(snareOn[0], snareOn[1]), 1e-12);
    // Silence, noise or a held tone: the beats found are no stronger than
    // the sound around them, and no grid is better than a made-up one.
    const double meanOnset = std::accumulate(onsets_->values.begin(), onsets_->values.end(), 0.0) /
                             static_cast<double>(onsets_->values.size());
    double atBeats = 0;
    for (double beat : beats) atBeats += onsetAt(beat);
    if (!(atBeats / static_cast<double>(beats.size()) > 2.0 * meanOnset)) return grid;
    double factor = 1.0;
    if (onBeats > 0 && halves > 0.9 * onBeats && bpm * 2 <= 185)
        factor = 2.0;
    else if (holds && onBeats > 0 && thirds > 0.9 * onBeats && halves < 0.5 * onBeats && bpm * 1.5 <= 185)
        factor = 1.5;
    else if (holds && onBeats > 0 && evenness > 0.85 && halves > 0.3 * onBeats && bpm * 2 <= 185)
        factor = 2.0;
    else if (bpm < 70)
        factor = 2.0;
    else if (bpm > 185)
        factor = 0.5;
    bpm *= factor;

    if (holds) {
        // A sequencer's tempo is a whole or half BPM more often than not:
        // taken when its line fits the beats as well, within a millisecond.
        for (double grain : {1.0, 0.5}) {
            const double snapped = std::round(bpm / grain) * grain;
            const Line fixed = fitOrigin(beats, numbers, use, 60.0 / snapped * factor);
            if (fixed.residual <= line.residual + 0.001) {
                line = fixed;
                bpm = snapped;
                break;
            }
        }
    } else {
        // Each beat is taken from a line through its neighbours, which the
        // tempo's slow movement leaves straight and a drummer's few
        // milliseconds even out.
        std::vector<double> smooth(beats.size());
        for (size_t k = 0; k < beats.size(); ++k) {
            const size_t from = k >= 4 ? k - 4 : 0, to = std::min(beats.size(), k + 5);
            const std::vector<double> near(beats.begin() + static_cast<std::ptrdiff_t>(from),
                                           beats.begin() + static_cast<std::ptrdiff_t>(to));
            std::vector<double> count(near.size());
            std::iota(count.begin(), count.end(), 0.0);
            const Line local = fitLine(near, count, std::vector<bool>(near.size(), true));
            smooth[k] = local.period > 0 ? local.origin + local.period * static_cast<double>(k - from) : beats[k];
        }
        for (size_t k = 0; k < smooth.size(); ++k)
            if (k > 0 && smooth[k] <= smooth[k - 1]) smooth[k] = beats[k];
        if (factor == 2.0) {
            for (size_t k = 0; k < smooth.size(); ++k) {
                grid.beats.push_back(smooth[k]);
                if (k + 1 < smooth.size()) grid.beats.push_back(0.5 * (smooth[k] + smooth[k + 1]));
            }
        } else {
            for (size_t k = 0; k < smooth.size(); k += factor == 0.5 ? 2 : 1) grid.beats.push_back(smooth[k]);
        }
        // A beat before the track's start is none of its beats.
        grid.beats.erase(grid.beats.begin(),
                         std::find_if(grid.beats.begin(), grid.beats.end(), [](double beat) { return beat >= 0; }));
    }
    line.period /= factor;
    // Every other slow beat was an off-beat: the beat is the stronger of
    // the two phases the faster grid can take.
    if (factor == 1.5 && gridStrength(line.origin + line.period / 2, line.period, from, to) >
                             gridStrength(line.origin, line.period, from, to))
        line.origin += line.period / 2;
    grid.bpm = bpm;
    // The first beat in the track, at or after its first sound.
    double firstSound = 0;
    const double loudest = onsets_->values.empty() ? 0 : *std::max_element(onsets_->values.begin(), onsets_->values.end());
    for (size_t k = 0; k < onsets_->values.size(); ++k)
        if (onsets_->values[k] > 0.1 * loudest) {
            firstSound = (static_cast<double>(k) - 1.0) * step_ / sampleRate_;
            break;
        }
    double first = line.origin - std::ceil((line.origin - firstSound) / line.period) * line.period;
    if (first < firstSound - 0.5 * line.period) first += line.period;
    // The first beat of a bar: where the sound changes most from beat to beat.
    first += line.period * barPhase(first, line.period);
    grid.firstBeatSeconds = std::max(0.0, first);
    return grid;
}

BeatAnalyser::Attacks BeatAnalyser::attacksAt(const std::vector<double>& beats) const {
    Attacks fit;
    const std::vector<float>& fine = onsets_->fine;
    const double binSeconds = static_cast<double>(Onsets::fineBin) / sampleRate_;
    const auto reach = static_cast<long>(std::ceil(0.015 / binSeconds));
    // The level held over 12 ms, so that a kick's low cycles do not dip at
    // their zero crossings: it rises at once where an attack starts.
    const auto hold = static_cast<long>(std::ceil(0.012 / binSeconds));
    const auto held = [&](long k) {
        float most = 0;
        for (long j = std::max(k - hold + 1, 0L); j <= k; ++j) most = std::max(most, fine[static_cast<size_t>(j)]);
        return most;
    };
    std::vector<double> offsets;
    for (double beat : beats) {
        const auto centre = static_cast<long>(std::lround(beat / binSeconds));
        if (centre - 3 * reach < hold || centre + reach >= static_cast<long>(fine.size())) continue;
        // The loudest near the beat, and the quietest held level before it.
        long peak = centre - reach;
        for (long k = centre - reach; k <= centre + reach; ++k)
            if (fine[static_cast<size_t>(k)] > fine[static_cast<size_t>(peak)]) peak = k;
        const float top = fine[static_cast<size_t>(peak)];
        float floor = top;
        for (long k = peak - 2 * reach; k < peak; ++k) floor = std::min(floor, held(k));
        // A beat whose attack does not stand out of what precedes it tells nothing.
        ++fit.heard;
        if (!(top > 2.0f * floor)) continue;
        ++fit.attacks;
        const float threshold = floor + 0.2f * (top - floor);
        long start = peak;
        while (start > peak - 2 * reach && held(start - 1) > threshold) --start;
        offsets.push_back(static_cast<double>(start) * binSeconds - beat);
    }
    if (offsets.size() >= 8) fit.offset = std::clamp(median(offsets), -0.015, 0.015);
    return fit;
}

double BeatAnalyser::onsetPeak(double seconds) const {
    const std::vector<double>& df = onsets_->values;
    const double at = seconds * sampleRate_ / step_ + 1.0;
    const auto centre = static_cast<long>(std::lround(at));
    long best = -1;
    for (long k = centre - 2; k <= centre + 2; ++k)
        if (k >= 1 && k + 1 < static_cast<long>(df.size()) && (best < 0 || df[static_cast<size_t>(k)] > df[static_cast<size_t>(best)]))
            best = k;
    if (best < 0) return seconds;
    const double a = df[static_cast<size_t>(best - 1)], b = df[static_cast<size_t>(best)], c = df[static_cast<size_t>(best + 1)];
    const double curve = a - 2 * b + c;
    const double offset = curve < 0 ? std::clamp(0.5 * (a - c) / curve, -0.5, 0.5) : 0.0;
    return (static_cast<double>(best) + offset - 1.0) * step_ / sampleRate_;
}

double BeatAnalyser::snareAt(double seconds) const {
    const std::vector<float>& energy = onsets_->snare;
    const auto centre = static_cast<long>(std::floor(seconds * sampleRate_ / step_));
    double best = 0;
    for (long k = centre - 1; k <= centre + 1; ++k)
        if (k >= 1 && k < static_cast<long>(energy.size()))
            best = std::max(best, static_cast<double>(energy[static_cast<size_t>(k)] - energy[static_cast<size_t>(k - 1)]));
    return best;
}

double BeatAnalyser::gridStrength(double origin, double period, double from, double to) const {
    if (period <= 0) return 0;
    double sum = 0;
    int count = 0;
    for (double at = origin + std::ceil((from - origin) / period) * period; at <= to; at += period, ++count)
        sum += onsetAt(at);
    return count > 0 ? sum / count : 0;
}

int BeatAnalyser::barPhase(double first, double period) const {
    size_t length = 0;
    const float* sound = onsets_->bars->getBufferedAudio(length);
    std::vector<double> steps; // the grid's beats in steps
    const double stepsPerSecond = static_cast<double>(sampleRate_) / step_;
    const double end = static_cast<double>(length) * 16.0 / sampleRate_;
    for (double at = first; at < end && at >= 0; at += period) steps.push_back(at * stepsPerSecond);
    if (steps.size() < 9) return 0;
    std::vector<int> downbeats;
    onsets_->bars->findDownBeats(sound, length, steps, downbeats);
    // The change into each beat from the one before; a bar begins where it
    // is greatest on average. Where no beat plainly stands out (a click
    // track, a loop that never changes), the first beat is taken.
    std::vector<double> change;
    onsets_->bars->getBeatSD(change);
    double mean[4] = {};
    int count[4] = {};
    for (size_t k = 0; k < change.size(); ++k) mean[(k + 1) % 4] += change[k], ++count[(k + 1) % 4];
    int best = 0;
    for (int phase = 0; phase < 4; ++phase) {
        mean[phase] = count[phase] ? mean[phase] / count[phase] : 0;
        if (mean[phase] > mean[best]) best = phase;
    }
    double others = 0;
    for (int phase = 0; phase < 4; ++phase)
        if (phase != best) others = std::max(others, mean[phase]);
    // On the beat corpus a bar's first beat changes 1.6 to 6 times as much
    // as the next most changing beat; a click track's beats differ by noise.
    return mean[best] > 1.4 * others ? best : 0;
}
