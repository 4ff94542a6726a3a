#include "tests/support/TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/DurableFiles.h"
#include "platform/Paths.h"

namespace testdata {
namespace {
void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void putId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}
} // namespace

std::string tempPath(const std::string& name) {
    // The process's own folder, made at its first use and removed with
    // everything in it when the process ends.
    struct Folder {
        std::string path;
        Folder() {
            auto dir =
                std::filesystem::temp_directory_path() / ("tunedeck-tests-" + std::to_string(platform::processId()));
            // A folder left by an earlier process with the same id starts empty.
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
            std::filesystem::create_directories(dir);
            path = dir.string();
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return platform::paths::join(folder.path, name);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = platform::openForWriting(path); // UTF-8 paths on every system
    if (!file) throw std::runtime_error("cannot write " + path);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::vector<uint8_t> makeWav(const WavRecipe& recipe) {
    std::vector<uint8_t> fmt, list, data;
    put16(fmt, static_cast<uint16_t>(recipe.extensible ? 0xFFFE : recipe.formatTag));
    put16(fmt, static_cast<uint16_t>(recipe.channels));
    put32(fmt, static_cast<uint32_t>(recipe.sampleRate));
    int bytesPerSample = recipe.bits / 8;
    put32(fmt, static_cast<uint32_t>(recipe.sampleRate * recipe.channels * bytesPerSample));
    put16(fmt, static_cast<uint16_t>(recipe.channels * bytesPerSample));
    put16(fmt, static_cast<uint16_t>(recipe.bits));
    if (recipe.extensible) {
        put16(fmt, 22);                                    // extra bytes
        put16(fmt, static_cast<uint16_t>(recipe.bits));   // valid bits
        put32(fmt, recipe.speakerMask ? recipe.speakerMask : recipe.channels == 1 ? 4u : 3u);
        put16(fmt, static_cast<uint16_t>(recipe.formatTag));
        const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), tail, tail + 14);
    }
    for (int f = 0; f < recipe.frames; ++f)
        for (int ch = 0; ch < recipe.channels; ++ch) {
            if (recipe.formatTag == 3) {
                const double v = recipe.floatSample(f, ch);
                uint8_t bytes[8];
                if (recipe.bits == 64) {
                    std::memcpy(bytes, &v, 8);
                } else {
                    const auto single = static_cast<float>(v);
                    std::memcpy(bytes, &single, 4);
                }
                data.insert(data.end(), bytes, bytes + recipe.bits / 8);
                continue;
            }
            // Integer samples, little-endian, in as many bytes as the depth takes.
            const auto v = static_cast<uint32_t>(recipe.sample(f, ch));
            for (int b = 0; b < std::max(recipe.bits / 8, 1); ++b) data.push_back(static_cast<uint8_t>(v >> (8 * b)));
        }

    std::vector<uint8_t> out;
    putId(out, "RIFF");
    put32(out, 0);
    putId(out, "WAVE");
    auto chunk = [&out](const char* id, const std::vector<uint8_t>& body, int64_t declared) {
        putId(out, id);
        put32(out, static_cast<uint32_t>(declared >= 0 ? declared : static_cast<int64_t>(body.size())));
        out.insert(out.end(), body.begin(), body.end());
        if (body.size() % 2) out.push_back(0);
    };
    if (recipe.listChunkBytes >= 0) chunk("LIST", std::vector<uint8_t>(recipe.listChunkBytes, 'x'), -1);
    if (recipe.withData && recipe.dataBeforeFmt) chunk("data", data, recipe.declaredDataBytes);
    if (recipe.withFmt) chunk("fmt ", fmt, -1);
    if (recipe.withData && !recipe.dataBeforeFmt) chunk("data", data, recipe.declaredDataBytes);
    uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    return out;
}

std::string writeWav(const std::string& name, const WavRecipe& recipe) {
    std::string path = tempPath(name);
    writeFile(path, makeWav(recipe));
    return path;
}

std::string encodedTrack(const std::string& name, const WavRecipe& recipe, const std::string& kind) {
    const std::string wav = writeWav(name + ".wav", recipe);
    if (kind == "wav") return wav;
    const std::string out = tempPath(name + "." + kind);
    const std::string command = kind == "flac" ? "flac --silent -f --channel-map=none -o '" + out + "' '" + wav + "'"
                                               : "lame --quiet -b 320 '" + wav + "' '" + out + "'";
    return std::system(command.c_str()) == 0 ? out : std::string();
}

} // namespace testdata
