#pragma once
// Writes a stereo WAV file block by block: 32-bit float or 16-bit PCM.
#include <cstdint>
#include <cstdio>
#include <string>

class WavWriter {
public:
    WavWriter(const std::string& path, int sampleRate, bool pcm16);
    ~WavWriter();
    bool ok() const { return file != nullptr; }
    void write(const float* left, const float* right, int32_t frames);
    // Patches the sizes into the header and closes the file.
    bool finish();
    int64_t frames() const { return written; }

private:
    void header();
    FILE* file = nullptr;
    int rate;
    bool pcm16;
    int64_t written = 0;
};
