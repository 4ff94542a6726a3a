#pragma once
// The text of ".m3u" and ".m3u8" track lists as players write and read them.
// Reading takes UTF-8 (with or without a byte-order mark) and, where the
// bytes are not UTF-8, the system's code page; any line end; spaces around
// entries; "#" lines (#EXTM3U, #EXTINF) as comments; and file:// URLs.
// Writing makes UTF-8 with "#EXTM3U" and an "#EXTINF" line for each track
// whose length is known, which common players show.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace playlist {

// The entries of a list, in order, as UTF-8: paths as written (complete or
// relative to the list's folder), file:// URLs already made paths. Entries a
// URL names on another machine the system cannot reach are left out.
std::vector<std::string> entries(const uint8_t* bytes, size_t size);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view text);

// Text written in Windows' Western code page (1252, Latin-1 with its
// additions), as UTF-8: the lists of Windows players that find their way to
// other systems.
std::string fromWindows1252(std::string_view text);

// The path a file:// URL names ("" when it is no file URL or names a file
// on another machine the system cannot reach).
std::string pathOfFileUrl(std::string_view url);

struct Line {
    std::string entry;       // what the list names, relative or complete
    std::string title;       // shown by players beside the length
    int64_t seconds = -1;    // the track's length, -1 when not known
};

// The text of a list. byteOrderMark puts one in front, for Windows players
// that take a ".m3u" without one for their code page.
std::string text(const std::vector<Line>& lines, bool byteOrderMark);

// Whether path names a track list (".m3u" or ".m3u8", of any case).
bool namesList(std::string_view path);

} // namespace playlist
