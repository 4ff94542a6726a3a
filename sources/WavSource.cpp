#include "sources/WavSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Clock.h"
#include "plugin/DebugLog.h"

namespace {

constexpr int32_t loaderBlock = 1024;

template <typename Sample>
float sampleValue(const uint8_t* data, int64_t index);

template <>
float sampleValue<uint8_t>(const uint8_t* data, int64_t index) {
    return (static_cast<int>(data[index]) - 128) / 128.0f;
}

template <>
float sampleValue<int16_t>(const uint8_t* data, int64_t index) {
    const uint8_t* p = data + index * 2;
    return static_cast<int16_t>(p[0] | p[1] << 8) / 32768.0f;
}

// Interpolated read of one channel. Frame indices are held inside the data,
// so the frame after the last one reads as the last one.
template <typename Sample>
void readChannel(const WavFormat& format, int channel, float* out, int32_t n, int32_t from, float ratio, float gain,
                 bool replace) {
    const int64_t last = format.length - 1;
    const int64_t stride = format.channels;
    for (int32_t j = 0; j < n; ++j) {
        double position = from + static_cast<double>(j) * ratio;
        auto i = static_cast<int64_t>(position);
        int64_t ia = std::clamp<int64_t>(i, 0, last), ib = std::clamp<int64_t>(i + 1, 0, last);
        float a = sampleValue<Sample>(format.sampleData, ia * stride + channel);
        float b = sampleValue<Sample>(format.sampleData, ib * stride + channel);
        float value = (a + (b - a) * static_cast<float>(position - static_cast<double>(i))) * gain;
        if (replace)
            out[j] = value;
        else
            out[j] += value;
    }
}

void writeZeros(float* const* out, int32_t offset, int32_t n) {
    std::fill_n(out[0] + offset, n, 0.0f);
    std::fill_n(out[1] + offset, n, 0.0f);
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

} // namespace

WavSource::WavSource(SourceOwner* owner) {
    init(owner);
    volume = 1.0f;
    bitRate = 352800;
}

WavSource::~WavSource() {
    stopLoader();
    closeFile();
}

bool WavSource::acceptsFile(const char* path) { return hasExtension(path, ".wav"); }

bool WavSource::openFile() {
    writeLog("openfile start (wav)\n");
    if (!hasExtension(fileName, ".wav")) return false;
    closeFile();
    auto mapping = mapFileWithDefaults(352800);
    if (!mapping) return false;

    auto wav = std::make_shared<OpenWav>();
    wav->format = walkWavChunks(mapping->data(), mapping->size());
    wav->mapping = std::move(mapping);
    fileSize = static_cast<int64_t>(wav->mapping->size());
    bitsPerSample = wav->format.bitsPerSample;
    channels = wav->format.channels;
    sampleRate = wav->format.sampleRate;
    bitRate = wav->format.bitRate;
    length = wav->format.length;
    open = std::move(wav);
    view.publish(open.get());
    isOpen = true;
    return true;
}

void WavSource::closeFile() {
    if (!isOpen) return;
    view.withdraw();
    open.reset();
    fileSize = 0;
    isOpen = false;
}

void WavSource::setEq(bool, const float*, const float*, float newVolume, const bool*) { volume = newVolume; }

bool WavSource::getSignature(int32_t out[4]) {
    if (!isOpen || !open || fileSize < 16) return false;
    const uint8_t* bytes = open->mapping->data();
    for (int i = 0; i < 4; ++i) {
        int64_t word = std::min<int64_t>(fileSize / 4 - i - 1, 17000 + 100 * i);
        out[i] = static_cast<int32_t>(le32(bytes + word * 4));
    }
    return true;
}

void WavSource::fill(const OpenWav* wav, float* const* out, int32_t offset, int32_t n, int32_t from, float ratio,
                     bool replace) const {
    if (n <= 0) return;
    // A read while a file switch is under way, or with nothing to read, is
    // silence in replacing mode; the host's buffer never keeps stale values.
    if (stopFlag || !wav || wav->format.length <= 0 || !wav->format.sampleData) {
        if (replace) writeZeros(out, offset, n);
        return;
    }
    const WavFormat& format = wav->format;
    float gain = volume;
    for (int ch = 0; ch < 2; ++ch) {
        int source = std::min(ch, format.channels - 1);
        if (format.bitsPerSample == 8)
            readChannel<uint8_t>(format, source, out[ch] + offset, n, from, ratio, gain, replace);
        else
            readChannel<int16_t>(format, source, out[ch] + offset, n, from, ratio, gain, replace);
    }
}

bool WavSource::getSound(float* const* out, int32_t count, int32_t position, float ratio, bool replace, bool wrap) {
    if (!out || !out[0] || !out[1] || count <= 0) return true;
    PublishedView<OpenWav>::Reader reader(view);
    const OpenWav* wav = reader.get();
    const int32_t total = wav ? wav->format.length : 0;

    if (static_cast<double>(count) * ratio + position <= total) {
        fill(wav, out, 0, count, position, ratio, replace);
        return true;
    }
    // Values whose read position lies before the end come from the track.
    int32_t inside = 0;
    if (position < total) {
        if (ratio > 0) {
            double reach = std::ceil((static_cast<double>(total) - position) / ratio);
            inside = static_cast<int32_t>(std::min<double>(reach, count));
        } else {
            inside = count;
        }
    }
    fill(wav, out, 0, inside, position, ratio, replace);
    int32_t rest = count - inside;
    if (wrap)
        fill(wav, out, inside, rest, 0, ratio, replace);
    else if (replace && rest > 0)
        writeZeros(out, inside, rest);
    return true;
}

void WavSource::loadFunc(const LoaderRun& run) {
    const WavFormat& format = run.data<OpenWav>().format;
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
        float gain = volume;
        for (int ch = 0; ch < 2; ++ch) {
            float* out = ch == 0 ? left : right;
            int source = std::min(ch, format.channels - 1);
            for (int32_t j = 0; j < n; ++j) {
                int64_t index = (i + j) * format.channels + source;
                out[j] = (format.bitsPerSample == 8 ? sampleValue<uint8_t>(format.sampleData, index)
                                                    : sampleValue<int16_t>(format.sampleData, index)) *
                         gain;
            }
            std::fill(out + n, out + loaderBlock, 0.0f);
        }
        drawOverview(static_cast<int32_t>(i), static_cast<int32_t>(std::min<int64_t>(i + loaderBlock, INT32_MAX)),
                     total, left, right);
        if (++blocks % 32 == 0 && player) player->loadProgress(static_cast<int32_t>(std::min<int64_t>(i + loaderBlock, INT32_MAX)));
        platform::sleepMs(1);
        if (run.stopped()) {
            i += loaderBlock;
            break;
        }
    }
    if (!run.stopped() && i >= total && total > 0 && player) {
        player->setSize(total, true);
        player->loadProgress(total);
    }
}
