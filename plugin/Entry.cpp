// The library's entry point. Linux hosts look for VSTPluginMain first and
// fall back to main; both names lead here.
#include "plugin/BuildProfile.h"
#include "plugin/EffectFactory.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback host) {
    return createPlayerEffect(host, activeBuildProfile());
}

// A C++ function may not be called main with this signature; the assembler
// label gives the exported symbol that name, and the alias makes it the very
// same function as VSTPluginMain.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect* entryMain(HostCallback host)
    __asm__("main");
