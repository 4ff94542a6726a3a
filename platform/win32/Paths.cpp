// Paths on Windows: backslashes, drive letters and UNC shares. Both slashes
// separate folders (the system takes either); the backslash is the one this
// code writes.
#include "platform/Paths.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/win32/WideText.h"

namespace platform::paths {

const char separator = '\\';

namespace {
bool isSlash(char c) { return c == '\\' || c == '/'; }

using win32::narrowed;
using win32::systemPath;
using win32::widened;

bool isDriveLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// How many characters of path name its root: "\\server\share\" (a
// share, whose two slashes are part of its name), "C:\", "C:" (a drive's
// current folder), "\" (the current drive's root), or none.
size_t rootLength(std::string_view path) {
    if (path.size() >= 2 && isSlash(path[0]) && isSlash(path[1])) {
        size_t server = path.find_first_of("\\/", 2);
        if (server == std::string_view::npos) return path.size();
        size_t share = path.find_first_of("\\/", server + 1);
        return share == std::string_view::npos ? path.size() : share + 1;
    }
    if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':')
        return path.size() >= 3 && isSlash(path[2]) ? 3 : 2;
    return !path.empty() && isSlash(path[0]) ? 1 : 0;
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

// Done here rather than by std::filesystem, whose MinGW form takes one of a
// share's two leading backslashes away.
std::string normalised(std::string_view path) {
    if (path.empty()) return {};
    // The long form means every character as it stands.
    if (path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) return std::string(path);
    const size_t rootSize = rootLength(path);
    std::string root(path.substr(0, rootSize));
    for (char& c : root)
        if (c == '/') c = separator;
    std::vector<std::string_view> steps;
    size_t start = rootSize;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view step = path.substr(start, end - start);
        start = end + 1;
        if (step.empty() || step == ".") continue;
        if (step == "..") {
            if (!steps.empty() && steps.back() != "..")
                steps.pop_back();
            else if (root.empty())
                steps.push_back(step); // a relative path may climb; a root has nothing above it
            continue;
        }
        steps.push_back(step);
    }
    std::string text = root;
    for (size_t i = 0; i < steps.size(); ++i) {
        if (i > 0) text += separator;
        text += steps[i];
    }
    if (!steps.empty() && isSlash(path.back())) text += separator;
    return text.empty() ? std::string(".") : text;
}

std::string resolved(std::string_view folder, std::string_view entry) {
    if (entry.empty()) return {};
    if (isComplete(entry)) return normalised(entry);
    const size_t folderRoot = rootLength(folder);
    // "\Music\x.mp3": from the root of the list's drive or share.
    if (isSlash(entry[0])) return normalised(std::string(folder.substr(0, folderRoot)) + std::string(entry));
    // "Z:..\x": from the list's folder when the list is on Z:, else from the
    // folder the system keeps current for Z:.
    if (entry.size() >= 2 && isDriveLetter(entry[0]) && entry[1] == ':') {
        if (folderRoot >= 2 && folder[1] == ':' &&
            std::toupper(static_cast<unsigned char>(folder[0])) == std::toupper(static_cast<unsigned char>(entry[0])))
            return normalised(join(folder, entry.substr(2)));
        const std::wstring wide = widened(entry);
        const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (n == 0) return {};
        std::wstring full(n, L'\0');
        const DWORD got = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
        if (got == 0 || got >= n) return {};
        full.resize(got);
        return normalised(narrowed(full));
    }
    return normalised(join(folder, entry));
}

std::string fromFileUrl(std::string_view host, std::string_view path) {
    std::string text;
    if (!host.empty()) {
        text = "\\\\" + std::string(host) + std::string(path); // file://server/share/x: a share
    } else {
        // "/C:/x" and the older "/C|/x" name a drive's file.
        if (path.size() >= 3 && path[0] == '/' && isDriveLetter(path[1]) && (path[2] == ':' || path[2] == '|')) {
            text = std::string(1, path[1]) + ":" + std::string(path.substr(3));
        } else {
            text = std::string(path);
        }
    }
    return normalised(text);
}

std::string fromSystemCodePage(std::string_view bytes) { return narrowed(widened(bytes, CP_ACP)); }

bool systemCodePageIsUtf8() { return GetACP() == CP_UTF8; }

bool sameVolume(std::string_view a, std::string_view b) {
    const size_t n = rootLength(a);
    if (n == 0 || n != rootLength(b)) return false;
    for (size_t i = 0; i < n; ++i) {
        const char x = isSlash(a[i]) ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(a[i])));
        const char y = isSlash(b[i]) ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(b[i])));
        if (x != y) return false;
    }
    return true;
}

bool isDirectory(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::string& path) {
    return !path.empty() && GetFileAttributesW(systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool makeDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (isDirectory(path)) return true;
    // Each folder from the root down, so that a share's root is never made.
    const std::string full = normalised(path);
    size_t at = rootLength(full);
    while (at < full.size()) {
        size_t end = full.find(separator, at);
        if (end == std::string::npos) end = full.size();
        const std::string upTo = full.substr(0, end);
        if (!isDirectory(upTo)) CreateDirectoryW(systemPath(upTo).c_str(), nullptr);
        at = end + 1;
    }
    return isDirectory(path);
}

// Windows has no cheap question for this (ACLs, read-only media, virtualised
// Program Files): a file is made and deleted to find out.
bool takesNewFiles(const std::string& folder) {
    if (!isDirectory(folder)) return false;
    const std::string probe = join(folder, "tunedeck-" + std::to_string(GetCurrentProcessId()) + "-" +
                                               std::to_string(GetTickCount()) + ".probe");
    HANDLE file = CreateFileW(systemPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string currentDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return {};
    std::wstring buffer(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, buffer.data());
    if (got == 0 || got >= n) return {};
    buffer.resize(got);
    return narrowed(buffer);
}

std::string userDataDirectory() {
    PWSTR folder = nullptr;
    std::string out;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &folder) == S_OK && folder)
        out = narrowed(folder);
    CoTaskMemFree(folder);
    return out.empty() ? out : join(out, "");
}

// The DLL's own file: hosts that give no folder of their own (most do not)
// find the store file beside the plug-in.
std::string libraryDirectory() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&libraryDirectory), &module))
        return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
    std::string path = narrowed(buffer);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) path = "\\\\" + path.substr(8);
    else if (path.rfind("\\\\?\\", 0) == 0) path = path.substr(4);
    return directoryOf(path);
}

} // namespace platform::paths
