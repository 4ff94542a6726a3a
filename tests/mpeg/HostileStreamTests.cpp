// Crafted MPEG streams aimed at the faults known in libmad 0.15.1b's
// decoders: frames that promise more bits than they hold (Layer I and II),
// side information whose Huffman data reaches past the frame (Layer III), and
// a bit reservoir that a large free-format frame would overflow. Each stream
// ends where an inaccessible page begins, so a read past it faults. A decoder
// that runs clean reports the hostile frames as errors and goes on.
#include <gtest/gtest.h>
#include <mad.h>

#include <cstdint>
#include <vector>

#include "tests/support/GuardedBytes.h"

namespace {

class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used % 8 == 0) bytes.push_back(0);
            if (value >> i & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> (used % 8));
            ++used;
        }
    }
    std::vector<uint8_t> bytes;

private:
    size_t used = 0;
};

std::vector<uint8_t> repeated(const std::vector<uint8_t>& frame, int times) {
    std::vector<uint8_t> stream;
    for (int i = 0; i < times; ++i) stream.insert(stream.end(), frame.begin(), frame.end());
    return stream;
}

// A frame of the given header bytes and size whose body is all fill.
std::vector<uint8_t> frameOf(uint8_t b1, uint8_t b2, uint8_t b3, size_t size, uint8_t fill) {
    std::vector<uint8_t> frame(size, fill);
    frame[0] = 0xFF;
    frame[1] = b1;
    frame[2] = b2;
    frame[3] = b3;
    return frame;
}

// A mono MPEG-1 Layer III frame: header, side information, then zeros.
std::vector<uint8_t> layerThreeFrame(uint8_t bitrateAndRate, size_t size, uint32_t mainDataBegin,
                                     uint32_t part23Length, uint32_t bigValues, uint32_t tableSelect) {
    BitWriter side;
    side.put(mainDataBegin, 9);
    side.put(0, 5); // private bits
    side.put(0, 4); // scfsi
    for (int granule = 0; granule < 2; ++granule) {
        side.put(part23Length, 12);
        side.put(bigValues, 9);
        side.put(150, 8); // global gain
        side.put(0, 4);   // scalefac_compress: no scalefactor bits
        side.put(0, 1);   // no window switching
        for (int region = 0; region < 3; ++region) side.put(tableSelect, 5);
        side.put(0, 4);
        side.put(0, 3);
        side.put(0, 3); // preflag, scalefac_scale, count1table_select
    }
    std::vector<uint8_t> frame = frameOf(0xFB, bitrateAndRate, 0xC0, size, 0);
    std::copy(side.bytes.begin(), side.bytes.end(), frame.begin() + 4);
    return frame;
}

struct DecodeReport {
    int frames = 0;
    int errors = 0;
    unsigned largestReservoir = 0;
};

// Decodes the whole stream as the MPEG source does, frame after frame,
// stepping over recoverable errors.
DecodeReport decodeAll(const std::vector<uint8_t>& bytes) {
    GuardedBytes guarded(bytes);
    mad_stream stream;
    mad_frame frame;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_stream_buffer(&stream, guarded.data(), guarded.size());
    DecodeReport report;
    for (int step = 0; step < 64; ++step) {
        const int result = mad_frame_decode(&frame, &stream);
        report.largestReservoir = std::max(report.largestReservoir, stream.md_len);
        if (result == 0) {
            ++report.frames;
            continue;
        }
        if (stream.error == MAD_ERROR_BUFLEN) break;
        if (!MAD_RECOVERABLE(stream.error)) break;
        if (stream.error != MAD_ERROR_LOSTSYNC || stream.this_frame != stream.next_frame) ++report.errors;
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return report;
}

} // namespace

// Layer I: 32 kbit/s at 48 kHz gives 32-byte frames; a body of 0xEE asks for
// 15 bits a sample in every subband, some 740 bytes.
TEST(HostileStream, LayerOneFrameAskingForMoreSamplesThanItHoldsIsRefused) {
    std::vector<uint8_t> stream = repeated(frameOf(0xFF, 0x14, 0xC0, 32, 0xEE), 3);
    stream.resize(stream.size() + MAD_BUFFER_GUARD, 0);
    const DecodeReport report = decodeAll(stream);
    EXPECT_GE(report.errors, 1);
}

// Layer II: 96-byte frames whose all-ones allocation asks for the largest
// samples in every subband.
TEST(HostileStream, LayerTwoFrameAskingForMoreSamplesThanItHoldsIsRefused) {
    std::vector<uint8_t> stream = repeated(frameOf(0xFD, 0x14, 0xC0, 96, 0xFF), 3);
    stream.resize(stream.size() + MAD_BUFFER_GUARD, 0);
    const DecodeReport report = decodeAll(stream);
    EXPECT_GE(report.errors, 1);
}

// Layer III: 96-byte frames whose side information claims 4,095 bits of
// Huffman data per granule, from a frame that holds 75 bytes of main data.
TEST(HostileStream, LayerThreeHuffmanDataLongerThanItsFrameIsRefused) {
    for (uint32_t table : {0u, 15u, 24u}) {
        std::vector<uint8_t> stream = repeated(layerThreeFrame(0x14, 96, 0, 4095, 288, table), 3);
        stream.resize(stream.size() + MAD_BUFFER_GUARD, 0);
        const DecodeReport report = decodeAll(stream);
        EXPECT_GE(report.errors, 1) << "table " << table;
        EXPECT_EQ(report.frames, 0) << "table " << table;
    }
}

// Layer III, free format at 512 kbit/s and 32 kHz: 2,304-byte frames. A
// frame that takes 511 reservoir bytes from the one before it and gives none
// to the next would need 2,794 bytes of main data, more than the reservoir
// holds; the decoder must refuse it rather than copy past its end.
TEST(HostileStream, FreeFormatFrameThatWouldOverflowTheBitReservoirIsRefused) {
    const size_t size = 2304;
    std::vector<uint8_t> stream;
    for (uint32_t mainDataBegin : {0u, 511u, 0u, 0u}) {
        const std::vector<uint8_t> frame = layerThreeFrame(0x08, size, mainDataBegin, 0, 0, 0);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    stream.resize(stream.size() + MAD_BUFFER_GUARD, 0);
    const DecodeReport report = decodeAll(stream);
    EXPECT_LE(report.largestReservoir, static_cast<unsigned>(MAD_BUFFER_MDLEN));
    EXPECT_GE(report.errors, 1);
    EXPECT_GE(report.frames, 1); // the honest frames around it still decode
}
