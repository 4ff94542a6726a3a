// The library's entry point. Hosts look for VSTPluginMain first and fall back
// to main; both names lead here.
#include "deck/BuildProfile.h"
#include "vst2/EffectFactory.h"

#if defined(_WIN32)
// The DLL's exports are named in plugin/win32/exports.def, main among them:
// an assembler label cannot give that name on 32-bit Windows.
extern "C" AEffect* VSTPluginMain(HostCallback host) { return createPlayerEffect(host, activeBuildProfile()); }
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback host) {
    return createPlayerEffect(host, activeBuildProfile());
}

// A C++ function may not be called main with this signature; the assembler
// label gives the exported symbol that name, and the alias makes it the very
// same function as VSTPluginMain.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect* entryMain(HostCallback host)
    __asm__("main");
#endif
