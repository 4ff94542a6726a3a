#pragma once
// Text at the edge of Windows: the deck keeps paths and names in UTF-8, and
// every call into the system takes them as UTF-16 (the wide "W" functions),
// so that a name outside the code page arrives whole.
#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring widened(std::string_view utf8);
// Text in another of the system's code pages (CP_ACP: the ANSI one).
std::wstring widened(std::string_view text, unsigned codePage);
std::string narrowed(std::wstring_view wide);

// The form of a UTF-8 path that wide file calls take: a complete path too
// long for the old limit of 260 characters gets the "\\?\" form (and a
// share's the "\\?\UNC\" form), which the system takes at any length.
std::wstring systemPath(std::string_view utf8);

} // namespace platform::win32
