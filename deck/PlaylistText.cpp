#include "deck/PlaylistText.h"

#include <cctype>

#include "platform/Paths.h"

namespace playlist {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return startsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Notepad's "Unicode" lists: UTF-16 with its byte-order mark.
std::string fromUtf16(const uint8_t* bytes, size_t size, bool bigEndian) {
    std::string out;
    auto unit = [&](size_t i) {
        return bigEndian ? static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1])
                         : static_cast<uint32_t>(bytes[i + 1] << 8 | bytes[i]);
    };
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < size) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code < 0xE000) code = 0xFFFD; // a lone half
        appendUtf8(out, code);
    }
    return out;
}

// The list as UTF-8 text, whatever it was written in.
std::string decoded(const uint8_t* bytes, size_t size) {
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return std::string(reinterpret_cast<const char*>(bytes) + 3, size - 3);
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return fromUtf16(bytes + 2, size - 2, false);
    if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return fromUtf16(bytes + 2, size - 2, true);
    std::string_view raw(reinterpret_cast<const char*>(bytes), size);
    return isUtf8(raw) ? std::string(raw) : platform::paths::fromSystemCodePage(raw);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "" when an escape is broken or stands for a zero byte.
std::string percentDecoded(std::string_view text, bool& broken) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0)) {
            broken = true;
            return {};
        }
        out += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return out;
}

std::string_view trimmed(std::string_view line) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    while (!line.empty() && space(line.front())) line.remove_prefix(1);
    while (!line.empty() && space(line.back())) line.remove_suffix(1);
    return line;
}

} // namespace

bool isUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        uint32_t code, least;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = code << 6 | (s[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
        i += extra + 1;
    }
    return true;
}

std::string fromWindows1252(std::string_view text) {
    // Code points of 0x80 to 0x9F; the rest of the page is Latin-1's.
    static const uint16_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte);
    }
    return out;
}

std::string pathOfFileUrl(std::string_view url) {
    if (!startsWithNoCase(url, "file:")) return {};
    std::string_view rest = url.substr(5);
    std::string_view host;
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        host = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    // A query or fragment is no part of a file's name.
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.empty() || rest.front() != '/') return {};
    bool broken = false;
    const std::string path = percentDecoded(rest, broken);
    const std::string server = percentDecoded(host, broken);
    if (broken) return {};
    if (startsWithNoCase(server, "localhost") && server.size() == 9) return platform::paths::fromFileUrl("", path);
    return platform::paths::fromFileUrl(server, path);
}

std::vector<std::string> entries(const uint8_t* bytes, size_t size) {
    std::vector<std::string> found;
    if (!bytes) return found;
    const std::string text = decoded(bytes, size);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#' || line.find('\0') != std::string_view::npos) continue;
        if (startsWithNoCase(line, "file:")) {
            std::string path = pathOfFileUrl(line);
            if (!path.empty()) found.push_back(std::move(path));
            continue;
        }
        // Other URLs (streams) are no files.
        const size_t colon = line.find("://");
        if (colon != std::string_view::npos && colon > 1 && line.find_first_of("\\/") > colon) continue;
        found.emplace_back(line);
    }
    return found;
}

std::string text(const std::vector<Line>& lines, bool byteOrderMark) {
    std::string out = byteOrderMark ? "\xEF\xBB\xBF#EXTM3U\n" : "#EXTM3U\n";
    for (const Line& line : lines) {
        if (line.seconds >= 0) {
            // A title is one line: a line end in it would end the entry.
            std::string title = line.title;
            for (char& c : title)
                if (c == '\r' || c == '\n') c = ' ';
            out += "#EXTINF:" + std::to_string(line.seconds) + "," + title + "\n";
        }
        // Readers take a line that begins with "#" for a comment and trim
        // spaces: "./" keeps such a name an entry and means the same folder.
        const std::string& entry = line.entry;
        const bool needsStep = !entry.empty() && (entry.front() == '#' || entry.front() == ' ' || entry.front() == '\t');
        out += (needsStep ? std::string(".") + platform::paths::separator + entry : entry) + "\n";
    }
    return out;
}

bool namesList(std::string_view path) { return endsWithNoCase(path, ".m3u") || endsWithNoCase(path, ".m3u8"); }

} // namespace playlist
