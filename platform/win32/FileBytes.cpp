// Track files on Windows are read whole into memory, as on Linux: a view of
// a file on a network share or a removable drive faults when the file goes
// away, and the audio thread must never wait for a disk. The file is opened
// sharing reads, writes and deletes so that the user's other programs are not
// locked out while it loads.
#include "platform/FileBytes.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace platform {

std::shared_ptr<const FileBytes> FileBytes::open(const char* path) {
    if (!path || !*path) return nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > largest) {
        CloseHandle(file);
        return nullptr;
    }
    const auto expected = static_cast<uint64_t>(size.QuadPart);
    auto* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(expected + zeroGuard)));
    if (!bytes) {
        CloseHandle(file);
        return nullptr;
    }
    // The file may change while it is read: what was read is what the track is.
    uint64_t got = 0;
    while (got < expected) {
        const uint64_t left = expected - got;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!ReadFile(file, bytes + got, chunk, &n, nullptr) || n == 0) break;
        got += n;
    }
    CloseHandle(file);
    if (got == 0) {
        std::free(bytes);
        return nullptr;
    }
    std::memset(bytes + got, 0, zeroGuard);
    return std::shared_ptr<const FileBytes>(new FileBytes(bytes, got));
}

FileBytes::~FileBytes() { std::free(data_); }

} // namespace platform
