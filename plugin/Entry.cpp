// The library's entry point. Linux hosts look for VSTPluginMain first and
// fall back to main; both names lead here.
#include "plugin/BuildProfile.h"
#include "plugin/TrackPlayer.h"

namespace {
AEffect* createEffect(HostCallback host) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        return (new TrackPlayer(host, activeBuildProfile()))->record();
    } catch (...) {
        return nullptr; // a failed creation makes the host reject the plug-in
    }
}
} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback host) { return createEffect(host); }

// A C++ function may not be called main with this signature; the assembler
// label gives the exported symbol that name, and the alias makes it the very
// same function as VSTPluginMain.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect* entryMain(HostCallback host)
    __asm__("main");
