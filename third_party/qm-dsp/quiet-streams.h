// Included ahead of every file that uses the library in the Windows builds.
// Its sources and headers include <iostream> for messages on paths the
// deck never takes; each such file would set up the standard streams when
// the DLL loads, which takes MinGW's winpthreads on the host's thread and
// leaves a thread handle and an event behind each time the DLL is unloaded.
// Here <iostream> is only <ostream>, and its two streams take what they are
// given and write it nowhere, with nothing made at load time.
#pragma once
#include <istream>
#include <ostream>
#define _GLIBCXX_IOSTREAM 1

#define cerr tunedeck_quiet_cerr
#define cout tunedeck_quiet_cout
namespace std {
struct tunedeck_quiet_stream {
    template <typename T>
    const tunedeck_quiet_stream& operator<<(const T&) const { return *this; }
    const tunedeck_quiet_stream& operator<<(ostream& (*)(ostream&)) const { return *this; }
};
inline constexpr tunedeck_quiet_stream tunedeck_quiet_cerr{};
inline constexpr tunedeck_quiet_stream tunedeck_quiet_cout{};
} // namespace std
