#pragma once
// Creates a player instance for a host callback, as the library's entry
// point does: null when the caller is no VST 2 host or the player cannot be
// made. Host programs built with the library call it with the build they want.
#include "deck/BuildProfile.h"
#include "vst2/vst2.h"

AEffect* createPlayerEffect(HostCallback host, const BuildProfile& profile);
