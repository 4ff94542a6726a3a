#pragma once
// The plug-ins' and the UI's URIs: their identity in hosts' sessions.
// Never change them.
namespace lv2uris {
constexpr const char* full = "urn:tunedeck:trakvox";
constexpr const char* compact = "urn:tunedeck:trakvox-compact";
constexpr const char* ui = "urn:tunedeck:trakvox#ui";
} // namespace lv2uris
