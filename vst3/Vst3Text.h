#pragma once
// Texts between the deck (UTF-8) and VST 3's records (UTF-16, fixed room).
#include <cstddef>
#include <cstdint>

#include "vst3_c_api.h"

namespace vst3text {

// Puts a UTF-8 text into a String128, cut to fit, always terminated. Bytes
// that are no UTF-8 become U+FFFD.
inline void put(Steinberg_Vst_String128 to, const char* text) {
    constexpr size_t room = 128;
    size_t at = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*s && at + 1 < room) {
        uint32_t code = 0xFFFD;
        int extra = 0;
        if (*s < 0x80) code = *s;
        else if ((*s & 0xE0) == 0xC0) code = *s & 0x1F, extra = 1;
        else if ((*s & 0xF0) == 0xE0) code = *s & 0x0F, extra = 2;
        else if ((*s & 0xF8) == 0xF0) code = *s & 0x07, extra = 3;
        ++s;
        for (int i = 0; i < extra; ++i, ++s) {
            if ((*s & 0xC0) != 0x80) {
                code = 0xFFFD;
                break;
            }
            code = (code << 6) | (*s & 0x3F);
        }
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        if (code >= 0x10000) {
            if (at + 2 >= room) break;
            code -= 0x10000;
            to[at++] = static_cast<char16_t>(0xD800 + (code >> 10));
            to[at++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            to[at++] = static_cast<char16_t>(code);
        }
    }
    to[at] = 0;
}

// Takes a host's UTF-16 text (read no further than 128 units, the room of
// its records) as UTF-8 into room bytes; false when it does not fit or is
// no UTF-16.
inline bool take(const Steinberg_Vst_TChar* text, char* to, size_t room) {
    size_t at = 0;
    for (size_t i = 0; i < 128 && text[i]; ++i) {
        uint32_t code = static_cast<uint16_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF) {
            const uint32_t low = i + 1 < 128 ? static_cast<uint16_t>(text[i + 1]) : 0;
            if (low < 0xDC00 || low > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        const size_t length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (at + length + 1 > room) return false;
        if (length == 1) {
            to[at++] = static_cast<char>(code);
        } else {
            static constexpr unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
            to[at++] = static_cast<char>(lead[length] | (code >> (6 * (length - 1))));
            for (size_t k = length - 1; k > 0; --k) to[at++] = static_cast<char>(0x80 | ((code >> (6 * (k - 1))) & 0x3F));
        }
    }
    to[at] = 0;
    return true;
}

} // namespace vst3text
