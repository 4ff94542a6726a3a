// The transport: filling each host block from the current track at the
// speed ratio, beat loops with their crossfade, reverse play, the end of a
// track, and the operations that move the play position.
//
// renderBlock runs on the audio thread and takes no lock. seek, move,
// setLoop and jog run on the GUI thread (or, through the editor, on the
// thread that delivers MIDI); they write single Relaxed words, and the
// crossfade tail is a Relaxed array, so nothing they share with rendering
// is a data race.
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Clock.h"
#include "plugin/DebugLog.h"
#include "plugin/FrameMath.h"
#include "plugin/TrackPlayer.h"

namespace {
constexpr int32_t crossfadeFrames = 1024;
constexpr int32_t reverseScratchFrames = 44100;

void writeZeros(float* const* out, int32_t from, int32_t count) {
    if (count <= 0) return;
    std::fill_n(out[0] + from, count, 0.0f);
    std::fill_n(out[1] + from, count, 0.0f);
}
} // namespace

float TrackPlayer::hostRate() const {
    float rate = sampleRate;
    return rate > 0 ? rate : 44100.0f;
}

int32_t TrackPlayer::loopLengthFrames(float trackRate) const {
    float beatTempo = tempo > 0 ? static_cast<float>(tempo) : 120.0f;
    return std::max(saturatedFrames(60.0f * trackRate / beatTempo * loopBeats), 0);
}

void TrackPlayer::updateTimeDisplay() {
    int32_t frames = length;
    float rate = trackRateOrZero();
    if (frames <= 0 || rate <= 0) return;
    int32_t at = position;
    editorView->showTime(static_cast<float>(at) / frames, static_cast<int32_t>(at / rate),
                         static_cast<int32_t>(frames / rate));
}

void TrackPlayer::renderBlock(float** outputs, int32_t frames, bool replace) {
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1]) return;
    TrackSource* source = currentSource;
    // While a track is being opened the old source must not play on.
    if (length <= 0 || !playing || !source || isOpening()) {
        if (replace) writeZeros(outputs, 0, frames);
        return;
    }

    const float trackRate = static_cast<float>(source->getSampleRate());
    const float factor = (currentBend() + pitch) * 0.01f + 1.0f;
    const float ratio = trackRate * factor / hostRate();
    const int32_t loopLength = loopLengthFrames(trackRate);

    bool ok = true;
    if (loopOn && static_cast<int64_t>(position) + frames >= loopEnd) {
        int32_t p = position;
        int32_t done = 0;
        while (done < frames) {
            if (ok && p >= loopEnd) {
                writeLog("Loop back...");
                renderCrossfadeTail(position, ratio);
                writeLog("Done\n");
                p = std::max(loopEnd - loopLength, 0);
                position = p;
            }
            auto chunk = static_cast<int32_t>(std::min<int64_t>(frames - done, static_cast<int64_t>(loopEnd) - p));
            if (chunk <= 0) {
                // A loop of no frames, or a failed read past the loop's end:
                // the rest of the block is silent instead of spinning.
                if (replace) writeZeros(outputs, done, frames - done);
                break;
            }
            float* part[2] = {outputs[0] + done, outputs[1] + done};
            ok = pullBlock(part, chunk, p, ratio, replace, autoRewind);
            mixCrossfade(part, chunk);
            done += chunk;
            p += chunk;
        }
    } else {
        ok = pullBlock(outputs, frames, position, ratio, replace, autoRewind);
        mixCrossfade(outputs, frames);
    }
    if (!ok) {
        if (replace) writeZeros(outputs, 0, frames);
        return;
    }

    refreshCounter += frames;
    int64_t advanced = static_cast<int64_t>(position) + saturatedFrames(static_cast<float>(frames) * ratio);
    position = static_cast<int32_t>(std::clamp<int64_t>(advanced, 0, std::numeric_limits<int32_t>::max()));

    if (position > length) {
        writeLog("End file\n");
        switch (autoRewind) {
        case 0:
            position = 0;
            if (nextFile()) {
                requestOpen();
            } else {
                playing = false;
                editorView->showPlaying(false);
            }
            break;
        case 1: position = position - length; break;
        default:
            position = 0;
            playing = false;
            editorView->showPlaying(false);
            break;
        }
    }
    if (refreshCounter >= 2000 || !playing) updateTimeDisplay();
    refreshCounter %= 2000;
    if (playing) sendTimeInfo();
}

bool TrackPlayer::pullBlock(float* const* out, int32_t count, int32_t start, float ratio, bool replace,
                            int32_t wrapMode) {
    TrackSource* source = currentSource;
    if (ratio == 0.0f || !source) {
        if (replace) writeZeros(out, 0, count);
        return true;
    }
    const bool wrap = wrapMode == 1;
    if (ratio > 0) return source->getSound(out, count, start, ratio, replace, wrap);

    int32_t s = saturatedFrames(static_cast<double>(start) + saturatedFrames(static_cast<float>(count) * ratio));
    int32_t n = count;
    if (s < 0) {
        n = std::min(saturatedFrames(static_cast<float>(start) / -ratio), count);
        s = 0;
    }
    if (!replace && n > reverseScratchFrames) {
        // The scratch buffers hold one second: play that second backwards
        // from the start position and leave the rest of the block alone.
        n = reverseScratchFrames;
        s = std::max(saturatedFrames(static_cast<double>(start) + static_cast<float>(n) * ratio), 0);
    }
    if (n > 0) {
        float* target[2] = {out[0], out[1]};
        if (!replace) target[0] = reverseScratch[0], target[1] = reverseScratch[1];
        if (!source->getSound(target, n, s, -ratio, true, wrap)) return false;
    }
    if (replace) {
        for (int ch = 0; ch < 2; ++ch) std::reverse(out[ch], out[ch] + std::max(n, 0));
        writeZeros(out, std::max(n, 0), count - std::max(n, 0));
    } else {
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < n; ++j) out[ch][j] += reverseScratch[ch][n - 1 - j];
    }
    return true;
}

void TrackPlayer::renderCrossfadeTail(int32_t from, float ratio) {
    // Rendered on the stack, then stored word by word: the tail may be made
    // on the GUI thread (a move) while the audio thread mixes the previous one.
    float tail[2][crossfadeFrames];
    float* tails[2] = {tail[0], tail[1]};
    if (!pullBlock(tails, crossfadeFrames, from, ratio, true, 0)) return;
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t j = 0; j < crossfadeFrames; ++j) crossfade[ch][j] = tail[ch][j];
    crossfadeRemaining = crossfadeFrames;
}

void TrackPlayer::mixCrossfade(float* const* out, int32_t count) {
    int32_t remaining = crossfadeRemaining;
    if (remaining <= 0 || count <= 0) return;
    int32_t k = crossfadeFrames - remaining;
    int32_t m = std::min(remaining, count);
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t j = 0; j < m; ++j) {
            float w = static_cast<float>(k + j) / crossfadeFrames;
            float t = crossfade[ch][k + j];
            out[ch][j] = t + w * (out[ch][j] - t);
        }
    crossfadeRemaining = remaining - m;
}

float TrackPlayer::currentBend() {
    uint32_t elapsed = platform::tickCount() - lastJogTime;
    if (elapsed > 500)
        bend = 0.0f;
    else if (elapsed > 250)
        bend = static_cast<float>(500 - elapsed) * bendSnapshot * 0.001f;
    return bend;
}

void TrackPlayer::jog(float value) {
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

void TrackPlayer::seek(float fraction) {
    int32_t old = position;
    int32_t frames = length;
    float clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0f, 1.0f) : 0.0f;
    position = saturatedFrames(static_cast<float>(frames) * clamped);
    float rate = trackRateOrZero();
    if (position == 0 && static_cast<float>(old) < rate && previousFile()) {
        writeLog("Backward\n");
        requestOpen();
    }
    updateTimeDisplay();
    if (frames > 0 && loopOn)
        loopEnd = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(position) + loopLengthFrames(rate), frames));
}

void TrackPlayer::move(float beats) {
    int32_t frames = length;
    if (frames == 0) return;
    writeLog("Move...");
    float rate = trackRateOrZero();
    float beatTempo = tempo > 0 ? static_cast<float>(tempo) : 120.0f;
    float framesPerBeat = 60.0f * rate / beatTempo;
    int32_t at = position;
    int32_t target;
    if (loopOn) {
        int32_t loopLength = loopLengthFrames(rate);
        int64_t shift = saturatedFrames(framesPerBeat * beats);
        auto end = static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(loopEnd + shift, frames - 1), loopLength));
        target = static_cast<int32_t>(std::max<int64_t>(static_cast<int64_t>(end) - (loopEnd - at), 0));
        loopEnd = end;
    } else {
        target = std::clamp(saturatedFrames(framesPerBeat * beats + static_cast<float>(at)), 0, frames - 1);
    }
    renderCrossfadeTail(at, rate * std::max(pitch * 0.01f + 1.0f, 0.01f) / hostRate());
    writeLog("done\n");
    position = target;
    updateTimeDisplay();
}

void TrackPlayer::setLoop(bool on, float beats, int32_t index) {
    if (on && loopOn && index == loopIndex) return;
    loopOn = on;
    loopBeats = beats;
    loopEnd = position;
    loopIndex = index;
}

void TrackPlayer::forward() {
    if (!nextFile()) return;
    writeLog("Forward\n");
    openTrack();
}

void TrackPlayer::process(float**, float** outputs, int32_t frames) { renderBlock(outputs, frames, false); }

void TrackPlayer::processReplacing(float**, float** outputs, int32_t frames) { renderBlock(outputs, frames, true); }
