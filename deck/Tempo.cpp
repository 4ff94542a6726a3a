// The track's tempo: analysed or tapped, shown at the playing speed, and
// reported to the host as 4/4 musical time counted in bars from the
// grid's first beat (the analysed downbeat, or the last tap).
#include <algorithm>
#include <cmath>

#include "platform/Clock.h"
#include "deck/FrameMath.h"
#include "log/DebugLog.h"
#include "deck/Deck.h"

namespace {

constexpr int32_t maxTaps = 100;

float intervalWeight(int32_t i, int32_t n) {
    if (i < 10) return static_cast<float>(i + 1) * 0.1f;
    return i == n - 1 ? 0.5f : 1.0f;
}

bool withinBand(float interval, float mean, bool strict) {
    return strict ? (0.9090909f * interval <= mean && mean <= 1.1f * interval)
                  : (0.8333333f * interval <= mean && mean <= 1.2f * interval);
}

// The weighted mean beat interval of a series of taps, leaving out the
// intervals that lie too far from it; 0 when every interval is rejected.
float meanBeatInterval(const uint32_t* taps, int32_t count) {
    const int32_t n = count - 1;
    float intervals[maxTaps];
    bool rejected[maxTaps] = {};
    for (int32_t i = 0; i < n; ++i) intervals[i] = static_cast<float>(taps[i + 1] - taps[i]);

    float mean = 0.0f, weights = 0.0f;
    bool changed = true;
    for (int pass = 0; pass < 5 && changed; ++pass) {
        changed = false;
        float sum = 0.0f;
        weights = 0.0f;
        for (int32_t i = 0; i < n; ++i)
            if (!rejected[i]) {
                sum += intervals[i] * intervalWeight(i, n);
                weights += intervalWeight(i, n);
            }
        if (weights == 0.0f) break;
        mean = sum / weights;
        bool strict = true;
        for (int32_t i = 0; i < n; ++i) {
            bool passed = withinBand(intervals[i], mean, strict);
            if (rejected[i] == passed) changed = true;
            rejected[i] = !passed;
            if (strict && passed && i > 1) rejected[i - 2] = !withinBand(intervals[i - 2], mean, true);
            strict = strict ? false : !passed;
        }
    }
    return weights > 0.0f && mean > 0.0f ? mean : 0.0f;
}

} // namespace

void Deck::tapTempo() {
    uint32_t now = platform::tickCount();
    int32_t taps = std::clamp<int32_t>(tapCount, 0, maxTaps);
    if (taps > 0 && static_cast<int32_t>(now - tapTimes[taps - 1]) > 2400) taps = 0;
    if (taps == maxTaps) {
        std::copy(tapTimes + 1, tapTimes + maxTaps, tapTimes);
    } else {
        ++taps;
    }
    tapTimes[taps - 1] = now;
    tapCount = taps;

    // The tap is the beat: from the second tap in time the grid's phase,
    // and from the fifth its tempo, are the user's, and analysis never
    // replaces them. A single stray click leaves a good grid alone.
    if (taps >= 2) {
        beatOrigin = getPosition();
        beatList.setOrigin(getPosition());
    }
    if (taps >= 5) {
        float mean = meanBeatInterval(tapTimes, taps);
        float factor = speedFactor();
        if (mean > 0.0f && factor > 0.0f) setTempo(60000.0f / mean / factor);
    }
    sendTimeInfo();
}

// The user's tempo: kept in the store as theirs, never replaced by analysis.
void Deck::setTempo(float bpm) {
    writeLog("sewtbpm\n");
    {
        // The store's answer for a track just opened never undoes it.
        platform::MutexLock guard(identityMutex);
        tempo = bpm;
        tempoKnown = true;
        tempoByUser = true;
        beatList.clear();
    }
    editorView->showTempo(bpm * speedFactor());
    setInfos();
}

void Deck::scaleTempo(float factor) {
    const float scaled = tempo * factor;
    if (!(factor > 0.0f) || scaled < 20.0f || scaled > 400.0f) return;
    setTempo(scaled);
    sendTimeInfo();
}

double Deck::beatAt(double frame, double trackRate) const {
    if (!beatList.empty()) return beatList.beatAt(frame);
    const float bpm = tempo;
    const double framesPerBeat = 60.0 * trackRate / (bpm > 0 ? bpm : 120.0f);
    return framesPerBeat > 0 ? (frame - beatOrigin) / framesPerBeat : 0.0;
}

double Deck::frameAt(double beat, double trackRate) const {
    if (!beatList.empty()) return beatList.frameAt(beat);
    const float bpm = tempo;
    return beatOrigin + beat * 60.0 * trackRate / (bpm > 0 ? bpm : 120.0f);
}

float Deck::playedTempoNow() const {
    const double rate = trackRateOrZero();
    const float bpm = tempo;
    if (beatList.empty() || rate <= 0) return bpm * speedFactor();
    const double beat = beatList.beatAt(getPosition());
    const double frames = beatList.frameAt(beat + 2.0) - beatList.frameAt(beat - 2.0);
    return frames > 0 ? static_cast<float>(4.0 * 60.0 * rate / frames) * speedFactor() : bpm * speedFactor();
}

int32_t Deck::beatLight() const {
    const double rate = trackRateOrZero();
    if (!tempoKnown || rate <= 0) return 0;
    const double beats = beatAt(getPosition(), rate);
    const double beat = std::floor(beats);
    if (beats - beat >= 0.25) return 0;
    return std::fmod(beat, 4.0) == 0.0 ? 2 : 1;
}

// The audio thread sends after each block, the GUI thread after a tap.
void Deck::sendTimeInfo() {
    // With Sync the host is the clock: nothing is sent that could contradict it.
    if (syncOn) return;
    DeckTime info;
    TrackSource* source = currentSource;
    float rate = source ? static_cast<float>(source->getSampleRate()) : 0.0f;
    if (rate <= 0) return;
    float factor = speedFactor();
    int32_t at = getPosition();
    info.tempo = static_cast<double>(factor * tempo);
    info.samplePos = at;
    info.sampleRate = static_cast<double>(deckHost.hostSampleRate());

    // Beats are the track's: a beat lasts the same track frames at any
    // speed. Bars count from the grid's first beat, the grid reaching back
    // before it by whole bars so that the count starts at or above 0 at
    // the track's start; the grid itself is never moved.
    const double barsBefore = std::max(0.0, std::ceil(-beatAt(0.0, rate) / 4.0));
    const double beats = beatAt(at, rate) + 4.0 * barsBefore;
    info.ppqPos = beats;
    info.barStartPos = 4.0 * std::floor(beats / 4.0);
    deckHost.publishTime(info);
}
