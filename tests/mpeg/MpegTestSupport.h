#pragma once
// Helpers for the MPEG tests: the generated test files, a bare libmad
// decode of a whole file and of its music to compare against, and a source
// that can open a file without starting its loader.
#include <mad.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mpeg/MpegSource.h"

inline std::string mpegFile(const std::string& name) { return std::string(TUNEDECK_MPEG_DATA) + "/" + name; }

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Decoded {
    std::vector<float> left, right;
    int channels = 0;
};

// Every frame libmad decodes from the whole file, without an equaliser.
// The buffer ends with libmad's guard of zeros, so the last frame decodes.
inline Decoded decodeWhole(std::vector<uint8_t> bytes) {
    const size_t size = bytes.size();
    bytes.resize(size + MAD_BUFFER_GUARD, 0);
    Decoded out;
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, bytes.data(), bytes.size());
    while (true) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error)) continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        out.channels = synth.pcm.channels;
        for (int i = 0; i < synth.pcm.length; ++i) {
            out.left.push_back(static_cast<float>(synth.pcm.samples[0][i]) * (1.0f / (1 << 28)));
            out.right.push_back(static_cast<float>(synth.pcm.samples[synth.pcm.channels > 1 ? 1 : 0][i]) *
                                (1.0f / (1 << 28)));
        }
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return out;
}

// mpg123's decode of a whole file as 16-bit samples, its channels interleaved.
inline std::vector<int16_t> mpg123Decode(const std::string& path, bool gapless) {
    const std::string command =
        std::string("mpg123 ") + (gapless ? "" : "--no-gapless ") + "-q -s -e s16 \"" + path + "\" 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::vector<int16_t> samples;
    if (!pipe) return samples;
    int16_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 2, 4096, pipe)) > 0) samples.insert(samples.end(), buffer, buffer + n);
    pclose(pipe);
    return samples;
}

inline int16_t toPcm16(float v) {
    return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
}

// Where mpg123's decode starts within decoded (left channel, within one
// 16-bit step), among the first `search` offsets; -1 when nowhere.
inline int64_t alignmentOf(const std::vector<int16_t>& theirs, int channels, const std::vector<float>& decoded,
                           int64_t search) {
    const int64_t frames = static_cast<int64_t>(theirs.size()) / channels;
    int64_t best = -1, bestMatches = 0;
    for (int64_t offset = 0; offset <= search; ++offset) {
        int64_t matches = 0, n = 0;
        for (int64_t f = 0; f + offset < static_cast<int64_t>(decoded.size()) && f < frames && n < 3000; f += 3, ++n)
            matches += std::abs(toPcm16(decoded[f + offset]) - theirs[f * channels]) <= 1;
        if (matches > bestMatches && matches > n * 9 / 10) bestMatches = matches, best = offset;
    }
    return best;
}

// The music of a file as a gapless player plays it: libmad's straight
// decode, trimmed to what mpg123 (an independent decoder) keeps of it.
inline Decoded decodeMusic(const std::string& path) {
    Decoded whole = decodeWhole(readBytes(path));
    const std::vector<int16_t> theirs = mpg123Decode(path, true);
    const int channels = std::max(whole.channels, 1);
    const int64_t at = alignmentOf(theirs, channels, whole.left, 4000);
    const int64_t frames = static_cast<int64_t>(theirs.size()) / channels;
    if (at < 0) return {};
    Decoded music;
    music.channels = whole.channels;
    const int64_t end = std::min<int64_t>(at + frames, static_cast<int64_t>(whole.left.size()));
    music.left.assign(whole.left.begin() + at, whole.left.begin() + end);
    music.right.assign(whole.right.begin() + at, whole.right.begin() + end);
    return music;
}

class RecordingSourceOwner : public SourceOwner {
public:
    void setSize(int32_t frames, bool final) override {
        std::lock_guard<std::mutex> guard(mutex);
        sizes.emplace_back(frames, final);
        if (final) ++finals;
    }
    void loadProgress(int32_t frames) override {
        std::lock_guard<std::mutex> guard(mutex);
        progress.push_back(frames);
    }
    bool waitForFinal(int count = 1, int ms = 20000) {
        for (int i = 0; i < ms / 5 && finals < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return finals >= count;
    }
    std::mutex mutex;
    std::vector<std::pair<int32_t, bool>> sizes;
    std::vector<int32_t> progress;
    std::atomic<int> finals{0};
};

// Opens files without a loader.
class QuietMpegSource : public MpegSource {
public:
    using MpegSource::MpegSource;
    bool openOnly(const std::string& path) {
        std::snprintf(fileName, sizeof fileName, "%s", path.c_str());
        return openFile();
    }
    // Walks the file (the overview) on this thread.
    void walk() {
        LoaderRun run(*this, loaderData());
        loadFunc(run);
    }
};
