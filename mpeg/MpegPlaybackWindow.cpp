// Reads of an MPEG track (on the deck's decode-ahead worker): a window of
// decoded samples around the play position, filled on demand and slid forward as playback passes its
// middle. A read outside the window starts the decoder at the indexed frame
// that holds the position (after the few frames that prepare it), so the
// window's labels are the straight decode's sample numbers.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "mpeg/MpegSource.h"
#include "log/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t reverseLead = 16384;   // frames decoded before the position when playing backwards
constexpr int32_t skipDecodeFrames = 4;  // a jump further ahead than this many frames seeks instead
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
    const MpegFrameIndex& index = file->index;
    const int32_t frames = index.size();
    while (mad_frame_decode(&frame, &stream) != 0) {
        if (MAD_RECOVERABLE(stream.error) || (feed && feed->refill(stream))) continue;
        exhausted = true;
        return false;
    }
    const int64_t offset = feed->offsetOf(stream.this_frame);
    streamPos = feed->offsetOf(stream.next_frame);
    // The stream is the index's frames: it ends after the last, and bytes
    // that only look like a frame are not played.
    if (offset > index.at(frames - 1).offset) {
        exhausted = true;
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
    const int32_t k = index.frameAt(offset, frames);
    if (k < 0) return true;
    // A frame that did not decode (damage) leaves its samples silent, so
    // that every frame after it keeps its place.
    const int64_t first = index.at(k).firstSample;
    if (first < window.end()) return true;
    const int32_t gap = static_cast<int32_t>(std::min<int64_t>(first - window.end(), SampleWindow::frames - window.fill));
    for (int c = 0; c < 2; ++c) std::fill_n(window.rows[c] + window.fill, gap, 0.0f);
    window.fill += gap;
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

void MpegSource::reposition(int64_t from) {
    const MpegFrameIndex& index = file->index;
    exhausted = false;
    pendingPhase = -1;
    window.fill = 0;
    if (from >= index.totalSamples()) {
        // Past the end: nothing to decode.
        window.start = static_cast<int32_t>(std::min<int64_t>(from, 2147483647));
        exhausted = true;
        return;
    }
    const int32_t k = std::max(index.frameHolding(from, index.size()), 0);
    const MpegFrameIndex::Entry& entry = index.at(k);
    const int32_t prepare = std::max(k - (file->layout.layer == MAD_LAYER_I ? 2 : 1), 0);
    restartDecoder(entry.restart);
    synthFrom = index.at(prepare).offset;
    keepFrom = entry.offset;
    pendingPhase = static_cast<int32_t>((index.at(prepare).firstSample / 32) % 16);
    window.start = static_cast<int32_t>(entry.firstSample);
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

    // The window holds decoded samples; the music's frame p is decoded sample p + lead.
    const int32_t lead = file->layout.leadingSamples;
    const int64_t music = length;
    int32_t from = 0, highest = 0;
    SampleWindow::reach(position + lead, count, ratio, from, highest);
    const int32_t frameSamples = std::max(file->layout.samplesPerFrame, 384);

    const bool fits = static_cast<int64_t>(highest) + frameSamples < static_cast<int64_t>(window.start) + windowFrames;
    // Far ahead of what is decoded, a seek is cheaper than decoding through.
    const bool farAhead = from > window.end() + skipDecodeFrames * frameSamples;
    if (from < window.start || !fits || farAhead) reposition(ratio < 0 ? std::max(from - reverseLead, 0) : from);

    while (window.end() <= highest) {
        window.slideFor(from);
        // A request whose reach does not fit the window gets what fits;
        // the rest of it reads as silence.
        if (window.fill + frameSamples > windowFrames) break;
        if (!decodeNext()) break;
    }

    // Outside the music, and where nothing is decoded, reads are silence.
    resampler.read(out, count, position, ratio, sampleRate, replace, [&](int64_t first, int32_t n, float* left, float* right) {
        window.copy(first + lead, n, left, right);
        const int64_t before = std::clamp<int64_t>(-first, 0, n), after = std::clamp<int64_t>(music - first, 0, n);
        std::fill(left, left + before, 0.0f);
        std::fill(right, right + before, 0.0f);
        std::fill(left + std::max(after, before), left + n, 0.0f);
        std::fill(right + std::max(after, before), right + n, 0.0f);
    });
    return true;
}
