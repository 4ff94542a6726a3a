// Reads of an MPEG track: a window of decoded, equalised samples around the
// play position, filled on demand, slid forward as playback passes its
// middle, and replaced by a proportional byte seek for jumps outside it.
#include <algorithm>
#include <cstring>
#include <cmath>

#include "mpeg/MpegSource.h"
#include "plugin/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t maxFrameSamples = 1152;
constexpr int32_t seekLead = 27810;      // frames before the position where decoding restarts
constexpr int32_t seekDiscards = 5;      // frames decoded and dropped to warm the decoder up
constexpr int32_t windowLead = 22050;    // frames kept before the position after a seek
constexpr int64_t endMargin = 2567;      // bytes before the end where reads stop decoding
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

bool MpegSource::decodeIntoWindow() {
    while (mad_frame_decode(&frame, &stream) != 0)
        if (!MAD_RECOVERABLE(stream.error)) return false;

    if (eqEnabled) {
        const int slots = frame.header.layer == MAD_LAYER_I                  ? 12
                          : frame.header.layer == MAD_LAYER_III &&
                                  (frame.header.flags & MAD_FLAG_LSF_EXT) ? 18
                                                                          : 36;
        int32_t gains[subbands];
        for (int b = 0; b < subbands; ++b) gains[b] = subbandGains[b];
        const int frameChannels = MAD_NCHANNELS(&frame.header);
        for (int c = 0; c < frameChannels; ++c)
            for (int s = 0; s < slots; ++s)
                for (int b = 0; b < subbands; ++b)
                    frame.sbsample[c][s][b] =
                        static_cast<mad_fixed_t>((static_cast<int64_t>(frame.sbsample[c][s][b]) * gains[b]) >> 28);
    }
    mad_synth_frame(&synth, &frame);
    const int32_t n = std::min<int32_t>(synth.pcm.length, windowFrames - windowFill);
    // Both rows are written for every frame (a mono frame twice), so the
    // window never holds a row that the decoder did not fill.
    for (int c = 0; c < 2; ++c) {
        const mad_fixed_t* samples = synth.pcm.samples[c < synth.pcm.channels ? c : 0];
        float* row = window[c] + windowFill;
        for (int32_t i = 0; i < n; ++i) row[i] = static_cast<float>(samples[i]) * fixedToFloat;
    }
    channels = synth.pcm.channels;
    streamPos = stream.next_frame ? stream.next_frame - view : fileSize;
    windowFill += n;
    return true;
}

bool MpegSource::readWindow(float* const* out, int32_t count, double position, double ratio, bool replace) {
    platform::ScopedLock guard(*lock);
    if (stopFlag || count <= 0) return false;
    if (!isOpen || length <= 0) {
        if (replace) {
            std::fill_n(out[0], count, 0.0f);
            std::fill_n(out[1], count, 0.0f);
        }
        return false;
    }
    if (!std::isfinite(ratio) || !std::isfinite(position)) ratio = 0.0, position = 0.0;

    // The frames this read touches, the kernel's reach included (a plain
    // copy at ratio 1 reaches no further than its own frames).
    const ResamplingKernel& kernel = ResamplingKernel::forRatio(ratio);
    const bool copy = ratio == 1.0 && position == std::floor(position);
    const double last = position + (count - 1) * ratio;
    const double before = copy ? 0.0 : kernel.before(), after = copy ? 0.0 : kernel.after();
    const double lowest = std::clamp(std::floor(std::min(position, last)) - before, 0.0, 2147483000.0);
    const double highest = std::clamp(std::floor(std::max(position, last)) + after, 0.0, 2147483000.0);
    const auto from = static_cast<int32_t>(lowest);

    bool atEnd = false;
    const int64_t reach = static_cast<int64_t>(highest) + 1 + maxFrameSamples;
    if (from >= windowStart && reach < static_cast<int64_t>(windowStart) + windowFrames) {
        mad_stream_buffer(&stream, view + streamPos, static_cast<unsigned long>(fileSize - streamPos));
    } else {
        if (from < length) {
            int32_t target = std::max(from - seekLead, 0);
            if (target == 0) {
                // Near the start the window is decoded from the file's first
                // frame, so it holds exactly the frames it is labelled with.
                restartDecoder(0, false);
                windowStart = 0;
            } else {
                restartDecoder(static_cast<int64_t>(static_cast<double>(fileSize) * target / length), true);
                for (int attempt = 0; attempt < seekDiscards; ++attempt)
                    if (mad_frame_decode(&frame, &stream) != 0 && !MAD_RECOVERABLE(stream.error)) {
                        atEnd = true;
                        break;
                    }
                streamPos = stream.next_frame ? stream.next_frame - view : fileSize;
                windowStart = from - windowLead;
            }
        } else {
            mad_stream_buffer(&stream, view + streamPos, static_cast<unsigned long>(fileSize - streamPos));
            atEnd = true;
            windowStart = from - windowLead;
        }
        windowFill = 0;
    }

    if (!atEnd) {
        const double need = highest + 1.0;
        while (static_cast<double>(windowStart) + windowFill < need) {
            if (from >= windowStart + halfWindow && from < windowStart + windowFrames && windowFill > halfWindow) {
                for (int c = 0; c < 2; ++c)
                    std::memmove(window[c], window[c] + halfWindow, sizeof(float) * (windowFill - halfWindow));
                windowStart += halfWindow;
                windowFill -= halfWindow;
            }
            // A request whose reach does not fit the window gets what fits;
            // the rest of it reads as silence below.
            if (windowFill + maxFrameSamples > windowFrames) break;
            if (streamPos >= fileSize - endMargin) {
                atEnd = true;
                break;
            }
            if (!decodeIntoWindow()) {
                atEnd = true;
                break;
            }
            if (streamPos >= fileSize) {
                atEnd = true;
                break;
            }
        }
    }

    if (atEnd) {
        length = std::max(windowStart + windowFill, 0);
        if (player) player->setSizeFromRead(length);
    }
    // Frames outside the decoded part of the window read as silence.
    const int64_t start = windowStart, filled = windowFill;
    resampler.read(out, count, position, ratio, replace, [&](int64_t first, int32_t n, float* left, float* right) {
        for (int c = 0; c < 2; ++c) {
            float* row = c == 0 ? left : right;
            const int64_t begin = std::clamp<int64_t>(start - first, 0, n);
            const int64_t end = std::clamp<int64_t>(start + filled - first, begin, n);
            std::fill(row, row + begin, 0.0f);
            if (end > begin) std::memcpy(row + begin, window[c] + (first + begin - start), sizeof(float) * (end - begin));
            std::fill(row + end, row + n, 0.0f);
        }
    });
    if (atEnd) {
        restartDecoder(0, false);
        windowStart = 0;
        windowFill = 0;
    }
    return true;
}
