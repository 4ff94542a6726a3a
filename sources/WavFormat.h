#pragma once
// The RIFF chunk walk of a ".wav" file: where the sample data lies and what
// format it has. It reads nothing outside the bytes it is given.
#include <cstdint>

struct WavFormat {
    int32_t channels = 2;
    int32_t sampleRate = 44100;
    int32_t bitRate = 352800;
    int32_t bitsPerSample = 0; // 0 until a "fmt " chunk gives it
    const uint8_t* sampleData = nullptr; // null when no "data" chunk was found
    uint64_t dataBytes = 0;              // bytes of sample data that lie inside the file
    int32_t length = 0;                  // frames that can be read; 0 when none
};

WavFormat walkWavChunks(const uint8_t* file, uint64_t size);
