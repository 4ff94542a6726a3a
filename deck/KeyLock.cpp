// Key lock: the transport renders the track at its speed as ever, pitch
// and all, and the pipeline (KeyShifter) brings the pitch back to the
// track's own, shifted by the Key control. Everything the transport does
// stays exact; the sound is heard the pipeline's latency later, and the
// deck reports where the listener is (heardPosition) from a trail of where
// the track was at each frame handed in.
//
// Switching the pipeline in or out while the deck sounds fades from one to
// the other over a few milliseconds; switching it in starts the pipeline
// empty, so the sound pauses for its latency. Reverse play and scratching
// bypass it, as a record's sound does.
//
// Everything here runs on the audio thread; the settings it reads are
// Relaxed words any thread writes.
#include <algorithm>
#include <cmath>

#include "deck/Deck.h"

namespace {
constexpr int32_t switchFadeFrames = 256;
} // namespace

bool Deck::lockKey(AudioThread audio, float* const* out, int32_t frames, bool sounding, double factor, bool bypass) {
    const bool wanted = keyLockWanted();
    const bool wasReady = shifterReady;
    const int32_t m = std::min(frames, switchFadeFrames);
    auto rampUp = [&](int32_t j) { return static_cast<float>(j + 1) / static_cast<float>(m + 1); };
    const auto mode = static_cast<KeyLockMode>(keyLockMode.load());
    const bool faster = mode == KeyLockMode::Fast || finerTooSlow;
    const auto engine = faster ? KeyShifter::Engine::Faster : KeyShifter::Engine::Finer;
    if (wanted && shifting && shifterReady && !keyShifter.matches(hostRate(), engine, largestBlock)) {
        // Another engine, rate or block size makes a new pipeline: what
        // this one holds fades out, and the new one starts empty.
        keyShifter.process(audio, out, frames, keyScale);
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < frames; ++j) out[ch][j] *= j < m ? 1.0f - rampUp(j) : 0.0f;
        shifterReady = keyShifter.prepare(audio, hostRate(), engine, largestBlock, false);
        shifting = false;
        shifterDrain = 0;
        plainSounded = false;
        heardLags = false;
        heardTrail.clear();
        return true;
    }
    if (wanted) {
        shifterReady = keyShifter.prepare(audio, hostRate(), engine, largestBlock, shifterFresh);
        shifterFresh = false;
    }

    if (wanted && !shifterReady && !bypass) {
        // The pipeline is being built: silence rather than the wrong key.
        if (sounding && plainSounded)
            for (int ch = 0; ch < 2; ++ch)
                for (int32_t j = 0; j < frames; ++j) out[ch][j] *= j < m ? 1.0f - rampUp(j) : 0.0f;
        else
            for (int ch = 0; ch < 2; ++ch) std::fill_n(out[ch], frames, 0.0f);
        shifting = false;
        plainSounded = false;
        heardLags = false;
        heardTrail.clear();
        return sounding;
    }
    if (!wanted || !shifterReady || bypass) {
        if (shifting && sounding) {
            // Out of the pipeline: what it still holds fades into the plain sound.
            if (wasReady && shifterReady) {
                for (int ch = 0; ch < 2; ++ch) std::copy_n(out[ch], frames, keyPlain[ch]);
                keyShifter.process(audio, out, frames, keyScale);
                for (int ch = 0; ch < 2; ++ch) {
                    for (int32_t j = 0; j < m; ++j) out[ch][j] += rampUp(j) * (keyPlain[ch][j] - out[ch][j]);
                    std::copy(keyPlain[ch] + m, keyPlain[ch] + frames, out[ch] + m);
                }
            } else {
                for (int ch = 0; ch < 2; ++ch)
                    for (int32_t j = 0; j < m; ++j) out[ch][j] *= rampUp(j);
            }
        }
        if (shifting) shifterFresh = true; // the next pipeline starts without this one's tail
        shifting = false;
        shifterDrain = 0;
        heardLags = false;
        heardTrail.clear();
        plainSounded = sounding;
        return sounding;
    }
    if (!sounding && !shifting) {
        // Nothing playing and nothing left to come out.
        heardLags = false;
        heardTrail.clear();
        plainSounded = false;
        return false;
    }

    if (sounding) keyScale = keyScaleFor(factor);
    const bool switchingIn = sounding && plainSounded && !shifting;
    if (switchingIn) {
        // Into the pipeline: the plain sound fades out while the pipeline
        // fills, and the sound handed in fades in from its silence.
        for (int ch = 0; ch < 2; ++ch) {
            std::copy_n(out[ch], m, keyPlain[ch]);
            for (int32_t j = 0; j < m; ++j) out[ch][j] *= rampUp(j);
        }
    }
    // A sound that starts after silence (the pipeline is new) fades in
    // where it comes out.
    const bool onset = sounding && !shifting;
    const bool complete = keyShifter.process(audio, out, frames, keyScale, onset);
    if (switchingIn)
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < m; ++j) out[ch][j] += (1.0f - rampUp(j)) * keyPlain[ch][j];
    // A late worker: the sound dips rather than clicks, as a late decode
    // does. The finer engine late three times in real time is more than
    // this machine gives: the faster one takes over until key lock is set
    // again.
    // (Lateness more than ten seconds apart is a passing load: it is forgotten.)
    finerCalm = complete ? finerCalm + frames : 0;
    if (finerCalm > 10 * static_cast<int64_t>(hostRate())) finerLate = 0;
    if (!complete && shifting && !blockWaits && engine == KeyShifter::Engine::Finer && ++finerLate >= 3) {
        finerTooSlow = true;
        finerLate = 0;
        markChanged(KeyLock);
    }
    if (!complete) {
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < frames; ++j) out[ch][j] *= 1.0f - static_cast<float>(j + 1) / frames;
        shiftStarved = true;
    } else if (shiftStarved) {
        shiftStarved = false;
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < m; ++j) out[ch][j] *= rampUp(j);
    }

    const int32_t latency = keyShifter.heardLatency();
    shifterDrain = sounding ? keyShifter.latencyAt(keyScale) + 2 * switchFadeFrames : shifterDrain - frames;
    shifting = sounding || shifterDrain > 0;
    // Drained: the next sound goes into a new pipeline, built meanwhile,
    // so that it sounds the same whatever played before (an export).
    if (!shifting) shifterFresh = true;
    plainSounded = false;
    double heard = 0.0;
    if (heardTrail.at(keyShifter.handedIn() - latency, heard)) {
        heardAt = heard;
        heardLatency = latency;
        heardLags = shifting;
    }
    // The trail holds only what the pipeline holds: the next sound starts a new one.
    if (!shifting) heardTrail.clear();
    return true;
}
