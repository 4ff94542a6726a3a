#include "sources/WavSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Clock.h"
#include "log/DebugLog.h"

namespace {

constexpr int32_t loaderBlock = 1024;
constexpr int64_t windowBytes = 256 * 1024;

// Frames first .. first + n - 1 of one channel, scaled by gain; frames the
// track does not have are zeros, or with wrap the track read round again.
void fetchChannel(const WavFormat& format, FileWindow& bytes, int channel, int64_t first, int32_t n, float gain,
                  bool wrap, float* row) {
    const int64_t total = format.length;
    const auto most = static_cast<int32_t>(std::max<int64_t>(bytes.capacity() / format.frameBytes, 1));
    for (int32_t j = 0; j < n;) {
        int64_t frame = first + j;
        if (wrap) {
            frame %= total;
            if (frame < 0) frame += total;
        }
        if (frame < 0 || frame >= total) {
            const auto run = static_cast<int32_t>(frame < 0 ? std::min<int64_t>(n - j, -frame) : n - j);
            std::fill_n(row + j, run, 0.0f);
            j += run;
            continue;
        }
        const auto run = static_cast<int32_t>(std::min<int64_t>({n - j, total - frame, most}));
        const uint8_t* at = bytes.at(format.dataOffset + frame * format.frameBytes, int64_t{run} * format.frameBytes);
        wavSamples(format, at, run, channel, gain, row + j);
        j += run;
    }
}

// Frames first .. first + n - 1 of the deck's left or right side: the
// channel itself for mono and stereo, else every channel's share of it.
void fetchSide(const WavFormat& format, const StereoMix& mix, FileWindow& bytes, int side, int64_t first, int32_t n,
               bool wrap, float* row) {
    if (mix.plain()) {
        fetchChannel(format, bytes, std::min(side, format.channels - 1), first, n, 1.0f, wrap, row);
        return;
    }
    const float* shares = side == 0 ? mix.left : mix.right;
    std::fill_n(row, n, 0.0f);
    float part[1024];
    for (int c = 0; c < mix.channels; ++c) {
        if (shares[c] == 0.0f) continue;
        for (int32_t j = 0; j < n; j += 1024) {
            const int32_t run = std::min<int32_t>(n - j, 1024);
            fetchChannel(format, bytes, c, first + j, run, shares[c], wrap, part);
            for (int32_t k = 0; k < run; ++k) row[j + k] += part[k];
        }
    }
}

void writeZeros(float* const* out, int32_t offset, int32_t n) {
    std::fill_n(out[0] + offset, n, 0.0f);
    std::fill_n(out[1] + offset, n, 0.0f);
}


} // namespace

WavSource::WavSource(SourceOwner* owner) {
    init(owner);
    bitRate = 352800;
}

WavSource::~WavSource() {
    abandonReads();
    stopLoader();
    closeFile();
}

bool WavSource::acceptsFile(const char* path) { return hasExtension(path, ".wav"); }

bool WavSource::openFile() {
    writeLog("openfile start (wav)\n");
    if (!hasExtension(fileName, ".wav")) return false;
    closeFile();
    auto file = readFileWithDefaults(352800);
    if (!file) return false;

    auto wav = std::make_shared<OpenWav>();
    auto window = std::make_unique<FileWindow>(file, windowBytes);
    wav->format = walkWavChunks(*window);
    wav->mix = stereoMixOf(wav->format);
    // A file with no samples this source can play is refused, so the user
    // sees it cannot be opened instead of a deck that plays silence for good.
    if (wav->format.length <= 0 || wav->format.dataOffset < 0 || wav->format.encoding == WavEncoding::Unplayable) {
        writeLog("openfile refused: no samples this source plays\n");
        return false;
    }
    wav->file = std::move(file);
    platform::ScopedLock guard(*lock);
    channels = wav->format.channels;
    sampleRate = wav->format.sampleRate;
    bitRate = wav->format.bitRate;
    length = wav->format.length;
    open = std::move(wav);
    reads = std::move(window);
    isOpen = true;
    return true;
}

void WavSource::closeFile() {
    if (open) open->file->abandon();
    std::shared_ptr<const OpenWav> released;
    platform::ScopedLock guard(*lock);
    if (!isOpen) return;
    released = std::move(open);
    reads.reset();
    isOpen = false;
}

bool WavSource::getSignature(int32_t out[4]) {
    platform::ScopedLock guard(*lock);
    if (!isOpen || !open) return false;
    return sampleSignature(*open->file, 100, out);
}

bool WavSource::getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool wrap) {
    if (!out || !out[0] || !out[1] || count <= 0) return true;
    platform::ScopedLock guard(*lock);
    const OpenWav* wav = open.get();
    // A read while a file switch is under way, or with nothing to read, is
    // silence in replacing mode; the buffer never keeps stale values.
    if (stopFlag || !wav || !reads || wav->format.length <= 0 || !std::isfinite(position) || !std::isfinite(ratio)) {
        if (replace) writeZeros(out, 0, count);
        return true;
    }
    const WavFormat& format = wav->format;
    resampler.read(out, count, position, ratio, format.sampleRate, replace, [&](int64_t first, int32_t n, float* left, float* right) {
        fetchSide(format, wav->mix, *reads, 0, first, n, wrap, left);
        fetchSide(format, wav->mix, *reads, 1, first, n, wrap, right);
    });
    return true;
}

void WavSource::loadFunc(const LoaderRun& run) {
    const WavFormat& format = run.data<OpenWav>().format;
    FileWindow bytes(run.data<OpenWav>().file, windowBytes);
    const int32_t total = format.length;
    if (player) {
        player->setSize(total, false);
        drawOverview(0, 0, total, nullptr, nullptr);
        player->loadProgress(0);
    }
    float left[loaderBlock], right[loaderBlock];
    int32_t blocks = 0;
    int64_t i = 0;
    for (; i < total; i += loaderBlock) {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(total - i, loaderBlock));
        const StereoMix& mix = run.data<OpenWav>().mix;
        for (int side = 0; side < 2; ++side) {
            float* out = side == 0 ? left : right;
            fetchSide(format, mix, bytes, side, i, n, false, out);
            std::fill(out + n, out + loaderBlock, 0.0f);
        }
        noteSamples(run, left, right, n);
        drawOverview(static_cast<int32_t>(i), static_cast<int32_t>(std::min<int64_t>(i + loaderBlock, INT32_MAX)),
                     total, left, right);
        if (++blocks % 32 == 0 && player) player->loadProgress(static_cast<int32_t>(std::min<int64_t>(i + loaderBlock, INT32_MAX)));
        loaderPause();
        if (run.stopped()) {
            i += loaderBlock;
            break;
        }
    }
    if (!run.stopped() && i >= total) noteEnd(run);
    if (!run.stopped() && i >= total && total > 0 && player) {
        player->setSize(total, true);
        player->loadProgress(total);
    }
}
