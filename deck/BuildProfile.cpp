#include "deck/BuildProfile.h"

namespace {
constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24 |
                                static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16 |
                                static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8 | static_cast<uint8_t>(d));
}
} // namespace

const BuildProfile compactProfile{"Trakvox VST 2 (compact)", fourCharCode('T', 'v', '2', 'c'), true, 50, 5, 256, 84};

const BuildProfile fullProfile{"Trakvox VST 2", fourCharCode('T', 'v', 'x', '2'), false, 52, 7, 256, 350};
