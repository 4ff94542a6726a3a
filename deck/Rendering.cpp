// The transport: filling each host block from the current track at the
// speed ratio, beat loops with their crossfade, reverse play, the end of a
// track, and the operations that move the play position.
//
// The play position is fractional: each block advances it by exactly
// frames x ratio, and every read starts from its fraction, so the speed is
// the same at every block size. Loops and the end of the track are found in
// track frames, at the output value where the read position crosses them.
//
// renderBlock runs on the audio thread and takes no lock; it reads the
// track only through decodeAhead, which never waits unless the host renders
// offline. seek, move, setLoop and jog run on
// the GUI thread, on the thread that sets host values, or on the audio
// thread for a MIDI key; they write single Relaxed words. Rendering publishes its new position only
// if no jump arrived during the block, and a move's fade is read by the
// audio thread at its next block.
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Clock.h"
#include "log/DebugLog.h"
#include "deck/FrameMath.h"
#include "deck/Deck.h"
#include "sources/ControlLaws.h"

namespace {
constexpr int32_t crossfadeFrames = 1024;

void writeZeros(float* const* out, int32_t from, int32_t count) {
    if (count <= 0) return;
    std::fill_n(out[0] + from, count, 0.0f);
    std::fill_n(out[1] + from, count, 0.0f);
}

// Output values until a read position moving forward by ratio per value
// has covered distance frames (at least one, at most most).
int32_t valuesUntil(double distance, double ratio, int32_t most) {
    const double values = std::ceil(distance / ratio);
    if (!(values >= 1.0)) return 1;
    return values >= most ? most : static_cast<int32_t>(values);
}
} // namespace

float Deck::hostRate() const {
    const float rate = deckHost.hostSampleRate();
    return rate > 0 ? rate : 44100.0f;
}

double Deck::loopLengthFrames(double trackRate) const {
    if (!beatList.empty()) {
        const double end = loopEnd;
        const double frames = end - beatList.frameAt(beatList.beatAt(end) - loopBeats);
        return std::isfinite(frames) && frames > 0 ? std::min(frames, 2147483647.0) : 0.0;
    }
    const double beatTempo = tempo > 0 ? static_cast<double>(tempo) : 120.0;
    const double frames = 60.0 * trackRate / beatTempo * loopBeats;
    return std::isfinite(frames) && frames > 0 ? std::min(frames, 2147483647.0) : 0.0;
}

void Deck::updateTimeDisplay() {
    int32_t frames = length;
    float rate = trackRateOrZero();
    if (frames <= 0 || rate <= 0) return;
    int32_t at = getPosition();
    editorView->showTime(static_cast<float>(at) / frames, static_cast<int32_t>(at / rate),
                         static_cast<int32_t>(frames / rate));
}

void Deck::renderBlock(AudioThread audio, float** outputs, int32_t frames, bool replace) {
    const bool waiting = deckHost.rendersOffline() || hostRunsAhead(audio, frames);
    decodeAhead.setWaiting(waiting);
    keyShifter.setWaiting(waiting);
    blockWaits = waiting;
    // An export that starts as a session's track opens (a host renders
    // right after restoring) waits for it, as it waits for decoding,
    // rather than putting silence where the track belongs.
    for (uint32_t start = platform::tickCount(); waiting && isOpening() && platform::tickCount() - start < openingWaitMs;)
        platform::sleepMs(1);
    largestBlock = std::max(largestBlock, frames);
    if (frames > 0) followHost(audio, frames);
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1]) {
        // The block's keys still act, at its start.
        for (int32_t i = 0; i < keyEventCount; ++i) actOn(audio, keyEvents[i]);
        keyEventCount = 0;
        return;
    }
    // The block is split at its MIDI keys' and parameter changes' frames:
    // each acts on its own sample. Events past the block's end act at its end.
    int32_t done = 0;
    for (int32_t i = 0; i < keyEventCount; ++i) {
        const int32_t at = std::min(keyEvents[i].frame, frames);
        if (at > done) {
            renderSpan(audio, outputs, done, at - done, replace);
            done = at;
        }
        actOn(audio, keyEvents[i]);
    }
    keyEventCount = 0;
    if (done < frames) renderSpan(audio, outputs, done, frames - done, replace);
    if (syncOn) noteSyncedBlock(audio);
}

void Deck::renderSpan(AudioThread audio, float** outputs, int32_t from, int32_t frames, bool replace) {
    for (int32_t done = 0; done < frames;) {
        // While the pitch glides, spans are short so that the speed follows
        // it closely whatever the host's block size. A deck that starts
        // playing starts at its pitch.
        const double target = pitch;
        int32_t n = std::min(frames - done, mixFrames);
        // A synced deck is silent until the host reaches its beat.
        syncMuted = syncSilence > 0;
        if (syncMuted) {
            n = std::min(n, syncSilence);
            syncSilence -= n;
        }
        if (!trackPlayed) glidingPitch = target;
        if (glidingPitch != target) {
            constexpr int32_t glideStep = 32;
            n = std::min(n, glideStep);
            // About 10 ms from one end of the range to the other, at a
            // constant rate: no step of speed is ever heard as a click.
            const double most = 64.0 * n / (0.010 * hostRate());
            glidingPitch = std::clamp(target, glidingPitch - most, glidingPitch + most);
        }
        if (replace) {
            float* part[2] = {outputs[0] + from + done, outputs[1] + from + done};
            renderTrack(audio, part, n);
            outputGuard.limit(part, n);
        } else {
            // Accumulating: the deck's sound is made in its own block and
            // added, so a crossfade never scales what the host already put
            // in the buffer.
            float* block[2] = {mixBlock[0], mixBlock[1]};
            if (renderTrack(audio, block, n)) {
                outputGuard.limit(block, n);
                for (int ch = 0; ch < 2; ++ch)
                    for (int32_t j = 0; j < n; ++j) outputs[ch][from + done + j] += mixBlock[ch][j];
            }
        }
        done += n;
    }
}

bool Deck::renderTrack(AudioThread audio, float* const* out, int32_t frames) {
    TrackSource* source = currentSource;
    // While a track is being opened the old source must not play on.
    if (length <= 0 || !playing || syncMuted || !source || isOpening()) {
        fadePending = false;
        writeZeros(out, 0, frames);
        // A stop fades the sound out from where it was, as a jump does,
        // rather than cutting it (the old source's sound never plays on
        // while another track opens).
        const bool stopping = trackPlayed && (!playing || syncMuted) && source && length > 0 && !isOpening();
        trackPlayed = false;
        if (stopping) {
            crossfadeLead = 1;
            renderCrossfadeTail(audio, renderedPosition, renderedRatio);
        }
        bool sounding = false;
        if (crossfadeRemaining > 0 && source && !isOpening()) {
            mixCrossfade(audio, out, frames);
            sounding = true;
        } else {
            starved = false;
            crossfadeRemaining = 0;
        }
        if (keyLockWanted()) heardTrail.note(keyShifter.handedIn(), position, 0.0);
        // With key lock, what was played before the stop is still on its way out.
        if (!lockKey(audio, out, frames, sounding, 1.0, false)) {
            bandEqualiser.reset();
            return false;
        }
        equalise(audio, out, frames, lastTrackRate);
        return true;
    }

    const double trackRate = source->getSampleRate();
    lastTrackRate = trackRate;
    const double bent = static_cast<double>(currentBend()) * 0.01;
    const double factor = syncDrives ? syncFactor + bent : glidingPitch * 0.01 + 1.0 + bent;
    const double ratio = trackRate * factor / hostRate();
    const double total = length;
    const bool looping = loopOn;
    const double loopEndNow = loopEnd;
    const double loopStart = std::max(loopEndNow - loopLengthFrames(trackRate), 0.0);
    // A loop shorter than a frame (an extreme tempo) is not looped.
    const bool loopActive = looping && loopEndNow - loopStart >= 1.0;
    const bool wrap = autoRewind == 1;

    if (fadePending.exchange(false)) {
        // A jump: the sound from where the deck was fades into the new place.
        // A cue's new sound is heard from its very sample on.
        crossfadeLead = cueFade.exchange(false) ? 1 : 0;
        const double unbent = trackRate * std::max(pitch * 0.01 + 1.0, 0.01) / hostRate();
        renderCrossfadeTail(audio, renderedPosition, unbent);
    }

    double start = position;
    double pos = start;
    bool complete = true;
    // Where the track is at each frame, for key lock to say what is heard.
    const int64_t handedIn = keyShifter.handedIn();
    const bool trailed = keyLockWanted();
    for (int32_t done = 0; done < frames;) {
        float* part[2] = {out[0] + done, out[1] + done};
        int32_t n = frames - done;
        if (trailed) heardTrail.note(handedIn + done, pos, ratio);
        if (ratio == 0.0 || !std::isfinite(ratio)) {
            writeZeros(part, 0, n);
            break;
        }
        if (ratio < 0) {
            // Backwards: value j reads at pos + (j + 1) x ratio, down to frame 0.
            const auto available = static_cast<int32_t>(std::min<double>(n, std::floor(pos / -ratio)));
            if (available > 0)
                complete = decodeAhead.read(audio, part, available, pos + ratio, ratio, trackRate, true) && complete;
            writeZeros(part, std::max(available, 0), n - std::max(available, 0));
            mixCrossfade(audio, part, n);
            pos = std::max(pos + n * ratio, 0.0);
            done += n;
            continue;
        }
        if (loopActive && pos >= loopEndNow) {
            // The read has reached the loop's end: the rest continues from the
            // loop's start plus the overshoot, and the sound that would have
            // followed the end fades out over the jump.
            writeLog("Loop back...");
            const double overshoot = std::fmod(pos - loopEndNow, loopEndNow - loopStart);
            renderCrossfadeTail(audio, pos, ratio);
            writeLog("Done\n");
            syncWrappedBeats += beatAt(loopStart + overshoot, trackRate) - beatAt(pos, trackRate);
            pos = loopStart + overshoot;
            continue;
        }
        if (loopActive) n = valuesUntil(loopEndNow - pos, ratio, n);
        if (wrap) {
            if (pos >= total) {
                syncWrappedBeats += beatAt(std::fmod(pos, total), trackRate) - beatAt(pos, trackRate);
                pos = std::fmod(pos, total);
                continue;
            }
            n = valuesUntil(total - pos, ratio, n);
        }
        complete = decodeAhead.read(audio, part, n, pos, ratio, trackRate, true) && complete;
        mixCrossfade(audio, part, n);
        pos += n * ratio;
        done += n;
    }
    fadeAroundGaps(audio, out, frames, complete);
    // Scratching (the jog far from the speed) and reverse play bypass key lock.
    lockKey(audio, out, frames, true, factor, ratio < 0 || factor < 0.5 || factor > 2.0);

    equalise(audio, out, frames, trackRate);
    trackPlayed = true;

    refreshCounter += frames;
    renderedPosition = pos;
    renderedRatio = ratio > 0 && std::isfinite(ratio) ? ratio : trackRate / hostRate();
    decodeAhead.follow(audio, pos, ratio);
    expectJumps(audio, pos, trackRate);
    // Every source knows its exact length once it is open; a length not
    // yet known (no track) never ends one.
    const double end = lengthKnown || autoRewind == 1 || source->lengthIsExact() ? total : HUGE_VAL;
    // A jump made by another thread during this block wins over the block.
    if (position.compareExchange(start, pos) && pos > end) {
        writeLog("End file\n");
        switch (autoRewind) {
        case 0:
            position = 0.0;
            if (nextFile())
                requestOpen(+1);
            else
                setPlaying(false);
            break;
        case 1: position = std::fmod(pos, total); break;
        default:
            position = 0.0;
            setPlaying(false);
            break;
        }
    }
    if (refreshCounter >= 2000 || !playing) updateTimeDisplay();
    refreshCounter %= 2000;
    if (playing) sendTimeInfo();
    return true;
}

void Deck::equalise(AudioThread, float* const* out, int32_t frames, double trackRate) {
    BandEqualiser::Settings bands;
    // The crossovers sit at the edges of the MPEG decoder's 32 subbands, in
    // the track's own spectrum, so every kind of track splits where MP3s did.
    for (int i = 0; i < 2; ++i) bands.crossoverHz[i] = crossoverSubband(crossovers[i]) * trackRate / 64.0;
    for (int i = 0; i < 3; ++i) bands.gains[i] = gains[i], bands.cuts[i] = cuts[i];
    bands.level = static_cast<float>(volumeFactor(volume));
    bandEqualiser.process(out, frames, bands, hostRate());
}

void Deck::renderCrossfadeTail(AudioThread audio, double from, double ratio) {
    TrackSource* source = currentSource;
    if (!source) return;
    float* tails[2] = {crossfade[0], crossfade[1]};
    decodeAhead.read(audio, tails, crossfadeFrames, from, ratio, source->getSampleRate(), true);
    crossfadeRemaining = crossfadeFrames;
}

void Deck::fadeAroundGaps(AudioThread, float* const* out, int32_t frames, bool complete) {
    // Frames the worker had not decoded yet read as silence: the sound
    // fades out over the block that met them and back in once they are
    // there, so a late chunk is a short dip, never a click.
    constexpr int32_t fadeFrames = 256;
    if (!complete) {
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < frames; ++j) out[ch][j] *= 1.0f - static_cast<float>(j + 1) / frames;
        starved = true;
        return;
    }
    if (!starved) return;
    starved = false;
    const int32_t m = std::min(frames, fadeFrames);
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t j = 0; j < m; ++j) out[ch][j] *= static_cast<float>(j) / fadeFrames;
}

bool Deck::hostRunsAhead(AudioThread, int32_t frames) {
    // Judged over a quarter of a second (or a second of sound): a host that
    // plays in real time delivers about one second of blocks a second,
    // bursts included; an export runs through them as fast as it can.
    const auto now = std::chrono::steady_clock::now();
    if (paceFrames == 0) paceStart = now;
    paceFrames += frames;
    const double elapsed = std::chrono::duration<double>(now - paceStart).count();
    const double sound = static_cast<double>(paceFrames) / hostRate();
    if (elapsed >= 0.25 || sound >= 1.0) {
        runningAhead = sound > 1.5 * std::max(elapsed, 0.001);
        paceFrames = 0;
    }
    return runningAhead;
}

void Deck::expectJumps(AudioThread audio, double at, double trackRate) {
    // Where the deck may be sent next: its beat jumps either way, the loop's
    // start, a twentieth of the track either way, and the track's start.
    double targets[DecodeAhead::maxTargets];
    int32_t count = 0;
    const double beatTempo = tempo > 0 ? static_cast<double>(tempo) : 120.0;
    const double framesPerBeat = 60.0 * trackRate / beatTempo;
    for (const float beats : jumpBeats) {
        targets[count++] = at + beats * framesPerBeat;
        targets[count++] = at - beats * framesPerBeat;
    }
    if (loopOn) targets[count++] = loopEnd - loopLengthFrames(trackRate);
    targets[count++] = at + 0.05 * length;
    targets[count++] = at - 0.05 * length;
    targets[count++] = 0.0;
    decodeAhead.expect(audio, targets, count);
}

void Deck::mixCrossfade(AudioThread, float* const* out, int32_t count) {
    int32_t remaining = crossfadeRemaining;
    if (remaining <= 0 || count <= 0) return;
    int32_t k = crossfadeFrames - remaining;
    int32_t m = std::min(remaining, count);
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t j = 0; j < m; ++j) {
            float w = static_cast<float>(k + j + crossfadeLead) / crossfadeFrames;
            float t = crossfade[ch][k + j];
            out[ch][j] = t + w * (out[ch][j] - t);
        }
    crossfadeRemaining = remaining - m;
}

float Deck::currentBend() {
    uint32_t elapsed = platform::tickCount() - lastJogTime;
    if (elapsed > 500)
        bend = 0.0f;
    else if (elapsed > 250)
        bend = static_cast<float>(500 - elapsed) * bendSnapshot * 0.001f;
    return bend;
}

void Deck::jog(float value) {
    uint32_t now = platform::tickCount();
    auto dt = static_cast<int32_t>(now - lastJogTime);
    if (dt <= 0) return;
    float d = value - lastJogValue;
    if (d > 0.5f) d -= 1.0f;
    if (d < -0.5f) d += 1.0f;
    if ((bend > 0) != (d > 0))
        bend = d * 32000.0f / static_cast<float>(dt);
    else
        bend = d * 8000.0f / static_cast<float>(dt) + 0.75f * bend;
    bendSnapshot = static_cast<float>(bend);
    lastJogValue = value;
    lastJogTime = now;
}

void Deck::seek(float fraction) {
    const double old = position;
    int32_t frames = length;
    float clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0f, 1.0f) : 0.0f;
    const double target = std::floor(static_cast<double>(frames) * clamped);
    position = target;
    if (target != old) {
        cueFade = true;
        fadePending = true;
    }
    float rate = trackRateOrZero();
    if (target == 0.0 && old < rate && previousFile()) {
        writeLog("Backward\n");
        requestOpen(-1);
    }
    updateTimeDisplay();
    if (frames > 0 && loopOn) loopEnd = std::min(target + loopLengthFrames(rate), static_cast<double>(frames));
}

void Deck::move(float beats) {
    int32_t frames = length;
    if (frames <= 0 || !std::isfinite(beats)) return;
    writeLog("Move...");
    const double rate = trackRateOrZero();
    const double at = position;
    // So many beats of the grid on from a frame, at the same place in the beat.
    auto shiftFrom = [&](double frame) {
        return std::clamp(frameAt(beatAt(frame, rate) + beats, rate) - frame, -4.0e9, 4.0e9);
    };
    double target;
    if (loopOn) {
        const double end = std::max(std::min(loopEnd + shiftFrom(loopEnd), frames - 1.0), loopLengthFrames(rate));
        target = std::max(end - (loopEnd - at), 0.0);
        loopEnd = end;
    } else {
        target = std::clamp(at + shiftFrom(at), 0.0, frames - 1.0);
    }
    position = target;
    fadePending = true;
    writeLog("done\n");
    updateTimeDisplay();
}

// With a beat grid, a loop starts on the grid (a beat, or for loops
// shorter than a beat their own division of it) at or before the play
// position and lasts its beats, as DJs quantise; without one it is the
// last beats up to the play position.
void Deck::setLoop(bool on, float beats, int32_t index) {
    if (on && loopOn && index == loopIndex) return;
    // Where the listener is: with key lock the track is read a little ahead.
    const double at = heardPosition();
    double end = at;
    const double rate = trackRateOrZero();
    if (on && tempoKnown && tempo > 0 && rate > 0) {
        const double unit = std::min(static_cast<double>(beats), 1.0);
        // A hair's leeway, so that a position on the beat counts as on it.
        const double first = std::floor(beatAt(at, rate) / unit + 1e-6) * unit;
        const double start = frameAt(first, rate);
        end = std::max(start, 0.0) + (frameAt(first + beats, rate) - start);
    }
    loopOn = on;
    loopBeats = beats;
    loopEnd = end;
    loopIndex = index;
    markChanged(Loop);
}

void Deck::forward() {
    if (!nextFile()) return;
    writeLog("Forward\n");
    requestOpen(+1);
}
