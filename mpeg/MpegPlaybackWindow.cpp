// Reads of an MPEG track: a window of decoded, equalised samples around the
// play position, filled on demand and slid forward as playback passes its
// middle. A read outside the window starts the decoder at the indexed frame
// that holds the position (after the few frames that prepare it), so the
// window's labels are exact; only before the loader's index reaches the
// position is the start a proportional guess, relabelled once it does.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "mpeg/MpegSource.h"
#include "log/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t guessDiscards = 2;     // frames dropped after a guessed position
constexpr int32_t reverseLead = 16384;   // frames decoded before the position when playing backwards
constexpr int32_t skipDecodeFrames = 4;  // a jump further ahead than this many frames seeks instead
constexpr int32_t nearStartFrames = 24;  // before the index is there, jumps this close to the start decode from it
constexpr int32_t splitAt = 32768;       // requests this long are split ...
constexpr int32_t largestPiece = 32765;  // ... into pieces of at most this
} // namespace

bool MpegSource::getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool) {
    if (!out || !out[0] || !out[1] || count < 0) return false;
    if (!std::isfinite(position) || !std::isfinite(ratio)) position = 0.0, ratio = 0.0;
    // A piece's reach (its values times the ratio) must fit half the window.
    const double reachPerValue = std::max(std::fabs(ratio), 1.0);
    const auto fitting = static_cast<int32_t>((halfWindow - 2 * ResamplingKernel::widest) / reachPerValue);
    if (count + 3 < splitAt && count <= fitting) return readWindow(out, count, position, ratio, replace);
    if (count + 3 >= splitAt) writeLogf("Big getSound : HALF_BUF/2 : %d, length : %d \n", splitAt, count);
    const int32_t largest = std::max(std::min(largestPiece, fitting), 1);
    bool result = false;
    for (int32_t done = 0; done < count;) {
        int32_t piece = std::min(count - done, largest);
        float* part[2] = {out[0] + done, out[1] + done};
        // Each piece starts where the read position has got to at this ratio.
        result = readWindow(part, piece, position + done * ratio, ratio, replace);
        done += piece;
    }
    return result;
}

bool MpegSource::decodeNext() {
    if (exhausted || !file) return false;
    const MpegStreamLayout& layout = file->layout;
    const MpegFrameIndex& index = file->index;
    while (mad_frame_decode(&frame, &stream) != 0) {
        if (!MAD_RECOVERABLE(stream.error)) {
            endOfStream();
            return false;
        }
    }
    const int64_t offset = stream.this_frame - view;
    streamPos = stream.next_frame - view;
    // The stream ends where the loader's walk ends it; before the walk has
    // got there, at anything that is not a frame of this stream.
    const int32_t indexed = index.size();
    const bool pastIndex = index.isComplete() && (indexed == 0 || offset > index.at(indexed - 1).offset);
    if (offset >= layout.audioEnd || !layout.agrees(frame.header) || pastIndex) {
        endOfStream();
        return false;
    }
    if (offset < synthFrom) return true; // only refills the bit reservoir

    if (pendingPhase >= 0) {
        // The filter's phase as a straight decode has it here, so that the
        // synthesis repeats it operation for operation.
        synth.phase = static_cast<unsigned int>(pendingPhase);
        pendingPhase = -1;
    }
    mad_synth_frame(&synth, &frame);
    if (offset < keepFrom) return true; // only prepares the synthesis filter
    if (discards > 0) {
        --discards;
        return true;
    }
    if (!windowExact && anchorOffset < 0) {
        anchorOffset = offset;
        anchorSample = static_cast<int64_t>(window.start) + window.fill;
    }
    const int32_t n = std::min<int32_t>(synth.pcm.length, windowFrames - window.fill);
    // Both rows are written for every frame (a mono frame twice), so the
    // window never holds a row that the decoder did not fill.
    for (int c = 0; c < 2; ++c) {
        const mad_fixed_t* samples = synth.pcm.samples[c < synth.pcm.channels ? c : 0];
        float* row = window.rows[c] + window.fill;
        for (int32_t i = 0; i < n; ++i) row[i] = static_cast<float>(samples[i]) * fixedToFloat;
    }
    window.fill += n;
    return true;
}

void MpegSource::endOfStream() {
    exhausted = true;
    // Where the decoded sound ends, once the window's labels are exact.
    if (windowExact && !discards) dataEnd = static_cast<int32_t>(std::min<int64_t>(window.end(), 2147483647));
}

void MpegSource::reposition(int32_t from) {
    const MpegStreamLayout& layout = file->layout;
    const MpegFrameIndex& index = file->index;
    exhausted = false;
    discards = 0;
    pendingPhase = -1;
    window.fill = 0;
    const int32_t indexed = index.size();
    const bool reached = indexed > 0 && (index.isComplete() || index.at(indexed - 1).firstSample > from);
    if (reached) {
        if (index.isComplete() && from >= index.totalSamples()) {
            // Past the end: nothing to decode.
            window.start = from;
            windowExact = true;
            exhausted = true;
            return;
        }
        const int32_t k = std::max(index.frameHolding(from, indexed), 0);
        const MpegFrameIndex::Entry& entry = index.at(k);
        const int32_t prepare = std::max(k - (layout.layer == MAD_LAYER_I ? 2 : 1), 0);
        restartDecoder(entry.restart, false);
        synthFrom = index.at(prepare).offset;
        keepFrom = entry.offset;
        pendingPhase = static_cast<int32_t>((index.at(prepare).firstSample / 32) % 16);
        window.start = static_cast<int32_t>(entry.firstSample);
        windowExact = true;
        return;
    }
    const int64_t span = layout.audioEnd - layout.firstFrame;
    const double fraction = length > 0 ? static_cast<double>(from) / length : 0.0;
    // Near the start, decoding from the first frame is exact and cheap enough.
    if (from < nearStartFrames * std::max(layout.samplesPerFrame, 384) || span <= 0) {
        restartDecoder(layout.firstFrame, false);
        synthFrom = keepFrom = 0;
        window.start = 0;
        windowExact = true;
        return;
    }
    // The index has not got here yet: a guess in proportion to the bytes.
    restartDecoder(layout.firstFrame + static_cast<int64_t>(std::min(fraction, 1.0) * span), true);
    synthFrom = keepFrom = 0;
    discards = guessDiscards;
    window.start = from;
    windowExact = false;
    anchorOffset = -1;
}

void MpegSource::correctLabels() {
    if (windowExact || anchorOffset < 0) return;
    const MpegFrameIndex& index = file->index;
    const int32_t k = index.frameAt(anchorOffset, index.size());
    if (k < 0) return;
    window.start = static_cast<int32_t>(window.start + (index.at(k).firstSample - anchorSample));
    windowExact = true;
}

bool MpegSource::readWindow(float* const* out, int32_t count, double position, double ratio, bool replace) {
    platform::ScopedLock guard(*lock);
    if (stopFlag || count <= 0) return false;
    if (!isOpen || !file || length <= 0) {
        if (replace) {
            std::fill_n(out[0], count, 0.0f);
            std::fill_n(out[1], count, 0.0f);
        }
        return false;
    }
    if (!std::isfinite(ratio) || !std::isfinite(position)) ratio = 0.0, position = 0.0;

    int32_t from = 0, highest = 0;
    SampleWindow::reach(position, count, ratio, from, highest);
    const int32_t frameSamples = std::max(file->layout.samplesPerFrame, 384);

    correctLabels();
    const int64_t windowEnd = static_cast<int64_t>(window.start) + window.fill;
    const bool fits = static_cast<int64_t>(highest) + frameSamples < static_cast<int64_t>(window.start) + windowFrames;
    // Far ahead of what is decoded, a seek is cheaper than decoding through
    // (and exact once the index is there).
    const bool farAhead = from > windowEnd + skipDecodeFrames * frameSamples && file->index.size() > 0;
    if (from < window.start || !fits || farAhead) reposition(ratio < 0 ? std::max(from - reverseLead, 0) : from);

    while (static_cast<int64_t>(window.start) + window.fill <= highest) {
        window.slideFor(from);
        // A request whose reach does not fit the window gets what fits;
        // the rest of it reads as silence.
        if (window.fill + frameSamples > windowFrames) break;
        if (!decodeNext()) break;
    }

    // Frames outside the decoded part of the window read as silence.
    resampler.read(out, count, position, ratio, replace,
                   [&](int64_t first, int32_t n, float* left, float* right) { window.copy(first, n, left, right); });
    return true;
}
