#pragma once
// What differs between the compact and the full build. Everything else is
// one code path, so one test binary exercises both builds by choosing a
// profile.
#include <cstdint>

struct BuildProfile {
    const char* effectName;
    int32_t uniqueId;     // the plug-in's identity in hosts' sessions
    bool compact;
    int32_t loopTagBase;  // tag of the first of the nine loop buttons
    int32_t listRows;     // rows of the track list view
    int16_t editorWidth;
    int16_t editorHeight;
};

extern const BuildProfile compactProfile;
extern const BuildProfile fullProfile;

// The profile of the library being built; each plug-in build defines it.
const BuildProfile& activeBuildProfile();
