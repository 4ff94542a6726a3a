#include "platform/win32/WideText.h"

#include <windows.h>

namespace platform::win32 {

std::wstring widened(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::wstring widened(std::string_view utf8) { return widened(utf8, CP_UTF8); }

std::string narrowed(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}

std::wstring systemPath(std::string_view utf8) {
    std::wstring wide = widened(utf8);
    // Short paths, relative ones and those already in the long form go as they are.
    constexpr size_t roomy = MAX_PATH - 12; // a folder's limit: room for an 8.3 name
    if (wide.size() < roomy || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    // The long form takes no "." or ".." steps and no forward slashes: the
    // system's own full path resolves them first.
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return wide;
    full.resize(got);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace platform::win32
