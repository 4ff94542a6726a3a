#pragma once
// One track's facts, byte for byte as they lie in shared memory and in the
// store file (little-endian, 17,044 bytes).
#include <cstddef>
#include <cstdint>

struct TrackInfoRecord {
    enum Flags : int32_t { TempoRecorded = 1, LengthRecorded = 2, BitmapRecorded = 4 };
    // The overview picture kept: 3 bytes a pixel (blue, green, red), rows
    // top down, the picture the deck draws.
    static constexpr int32_t bitmapWide = 248, bitmapHigh = 16, bitmapBytes = bitmapWide * bitmapHigh * 3;

    int32_t signature[4];
    int32_t flags;
    char name[1024];
    float tempo;
    int32_t length;
    int32_t bitmapWidth;
    int32_t bitmapHeight;
    uint8_t bitmap[bitmapBytes];
    uint8_t reserved1[2028];
    char path[1024];
    int32_t stored;
    uint8_t reserved2[1024];
};

static_assert(sizeof(TrackInfoRecord) == 17044, "record size");
static_assert(offsetof(TrackInfoRecord, flags) == 16);
static_assert(offsetof(TrackInfoRecord, name) == 20);
static_assert(offsetof(TrackInfoRecord, tempo) == 1044);
static_assert(offsetof(TrackInfoRecord, length) == 1048);
static_assert(offsetof(TrackInfoRecord, bitmapWidth) == 1052);
static_assert(offsetof(TrackInfoRecord, bitmapHeight) == 1056);
static_assert(offsetof(TrackInfoRecord, bitmap) == 1060);
static_assert(offsetof(TrackInfoRecord, reserved1) == 12964);
static_assert(offsetof(TrackInfoRecord, path) == 14992);
static_assert(offsetof(TrackInfoRecord, stored) == 16016);
static_assert(offsetof(TrackInfoRecord, reserved2) == 16020);

// The shared header: instances attached, records in use, whether the store
// file was read whole, and room the original kept its lock in (the lock
// follows the header here).
struct TrackInfoHeader {
    int32_t users;
    int32_t count;
    int32_t loaded;
    uint8_t unused[20];
};
static_assert(sizeof(TrackInfoHeader) == 32, "header size");
