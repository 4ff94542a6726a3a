// Paths on Windows: backslashes, drive letters and UNC shares. Both slashes
// separate folders (the system takes either); the backslash is the one this
// code writes.
#include "platform/Paths.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <filesystem>

namespace platform::paths {

const char separator = '\\';

namespace {
bool isSlash(char c) { return c == '\\' || c == '/'; }

// Paths here are in the system's ANSI code page, as every file call takes
// them (CreateFileA and the like); MinGW's std::filesystem reads and writes
// narrow strings in another encoding, so paths pass through it as wide text.
std::filesystem::path fromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return std::filesystem::path(wide);
}

std::string toAnsi(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    std::string text(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}

size_t lastSlash(std::string_view path) {
    const size_t slash = path.find_last_of("\\/");
    // "C:name" names a file in the drive's current folder: the drive is its folder.
    if (slash == std::string_view::npos && path.size() >= 2 && path[1] == ':') return 1;
    return slash;
}
} // namespace

// "C:\music", "C:/music" and "\\server\share\music" name a file on their own.
bool isComplete(std::string_view path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && isSlash(path[2]))
        return true;
    return path.size() >= 2 && isSlash(path[0]) && isSlash(path[1]);
}

PathParts split(std::string_view path) {
    PathParts parts;
    const size_t slash = lastSlash(path);
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    parts.directory = std::string(path.substr(0, nameStart));
    std::string_view file = path.substr(nameStart);
    const size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        parts.name = std::string(file);
    } else {
        parts.name = std::string(file.substr(0, dot));
        parts.extension = std::string(file.substr(dot));
    }
    return parts;
}

std::string directoryOf(std::string_view path) { return split(path).directory; }

std::string parentStep() { return std::string("..") + separator; }

std::string join(std::string_view base, std::string_view relative) {
    std::string result(base);
    if (!result.empty() && !isSlash(result.back()) && result.back() != ':') result += separator;
    result += relative;
    return result;
}

std::string normalised(std::string_view path) {
    if (path.empty()) return {};
    std::string text = toAnsi(fromAnsi(path).lexically_normal());
    for (char& c : text)
        if (c == '/') c = separator;
    return text;
}

bool isDirectory(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeDirectories(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(fromAnsi(path), error);
    return isDirectory(path);
}

// Windows has no cheap question for this (ACLs, read-only media, virtualised
// Program Files): a file is made and deleted to find out.
bool takesNewFiles(const std::string& folder) {
    char name[MAX_PATH];
    if (!isDirectory(folder) || !GetTempFileNameA(folder.c_str(), "tdk", 0, name)) return false;
    DeleteFileA(name);
    return true;
}

std::string currentDirectory() {
    char buffer[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// The DLL's own file: hosts that give no folder of their own (most do not)
// find the store file beside the plug-in.
std::string userDataDirectory() {
    PWSTR folder = nullptr;
    std::string out;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &folder) == S_OK && folder) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, folder, -1, nullptr, 0, nullptr, nullptr);
        if (bytes > 1) {
            out.resize(static_cast<size_t>(bytes - 1));
            WideCharToMultiByte(CP_UTF8, 0, folder, -1, out.data(), bytes, nullptr, nullptr);
        }
    }
    CoTaskMemFree(folder);
    return out.empty() ? out : join(out, "");
}

std::string libraryDirectory() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&libraryDirectory), &module))
        return {};
    char buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(module, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return {};
    return directoryOf(std::string_view(buffer, n));
}

} // namespace platform::paths
