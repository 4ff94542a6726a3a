// Track files on Windows are read whole into memory, as on Linux: a view of
// a file on a network share or a removable drive faults when the file goes
// away, and the audio thread must never wait for a disk. The file is opened
// sharing reads, writes and deletes so that the user's other programs are not
// locked out while it loads; pipes and devices are refused.
#include "platform/FileBytes.h"

#include <windows.h>

#include <cstdlib>

namespace platform {

namespace {
constexpr DWORD piece = 1u << 20;
}

FileBytes::Read FileBytes::read(const char* path, uint64_t most, const std::atomic<bool>* giveUp) {
    if (!path || !*path) return {nullptr, Problem::Missing};
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return {nullptr, Problem::Missing};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {nullptr, Problem::NotAFile};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {nullptr, Problem::Unreadable};
    LARGE_INTEGER size{};
    Problem problem = Problem::None;
    if (GetFileType(file) != FILE_TYPE_DISK)
        problem = Problem::NotAFile;
    else if (!GetFileSizeEx(file, &size))
        problem = Problem::Unreadable;
    else if (size.QuadPart <= 0)
        problem = Problem::Empty;
    else if (static_cast<uint64_t>(size.QuadPart) > most)
        problem = Problem::TooLarge;
    if (problem != Problem::None) {
        CloseHandle(file);
        return {nullptr, problem};
    }
    const auto expected = static_cast<uint64_t>(size.QuadPart);
    auto* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(expected + zeroGuard)));
    if (!bytes) {
        CloseHandle(file);
        return {nullptr, Problem::TooLarge};
    }
    // The file may change while it is read: what was read is what the track is.
    uint64_t got = 0;
    while (got < expected) {
        if (giveUp && giveUp->load(std::memory_order_relaxed)) {
            problem = Problem::GivenUp;
            break;
        }
        const uint64_t left = expected - got;
        const DWORD chunk = left > piece ? piece : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!ReadFile(file, bytes + got, chunk, &n, nullptr) || n == 0) break;
        got += n;
    }
    CloseHandle(file);
    if (problem != Problem::None || got == 0) {
        std::free(bytes);
        return {nullptr, problem != Problem::None ? problem : Problem::Unreadable};
    }
    return {adopt(bytes, got), Problem::None};
}

} // namespace platform
