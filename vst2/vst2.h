#pragma once
// The VST 2 binary interface as hosts on Linux use it, written from the
// published layout: the effect record, events, time info, the editor
// rectangle and the opcodes and flags this plug-in speaks.
#include <cstdint>

#if defined(_WIN32)
#define VST2_CALL __cdecl
#else
#define VST2_CALL
#endif

struct AEffect;

using HostCallback = intptr_t(VST2_CALL*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                          float opt);
using DispatcherProc = intptr_t(VST2_CALL*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                            float opt);
using ProcessProc = void(VST2_CALL*)(AEffect* effect, float** inputs, float** outputs, int32_t frames);
using ProcessDoubleProc = void(VST2_CALL*)(AEffect* effect, double** inputs, double** outputs, int32_t frames);
using SetParameterProc = void(VST2_CALL*)(AEffect* effect, int32_t index, float value);
using GetParameterProc = float(VST2_CALL*)(AEffect* effect, int32_t index);

constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P');

struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process; // accumulating, deprecated
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum EffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
};

enum EffectOpcodes : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28,
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,
    effConnectInput = 31,
    effConnectOutput = 32,
    effGetPlugCategory = 35,
    effSetBlockSizeAndSampleRate = 43,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetParameterProperties = 56,
    effKeysRequired = 57,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetCurrentMidiProgram = 63,
};

enum HostOpcodes : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterSetTime = 9,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

// What audioMasterGetCurrentProcessLevel answers: offline is a host that
// renders faster or slower than real time (an export).
enum VstProcessLevels : int32_t { kVstProcessLevelUnknown = 0, kVstProcessLevelRealtime = 2, kVstProcessLevelOffline = 4 };

constexpr intptr_t kPlugCategSynth = 2;
constexpr int32_t kVstMaxProgNameLen = 24;
constexpr int32_t kVstMaxEffectNameLen = 32;
constexpr int32_t kVstMaxVendorStrLen = 64;
constexpr int32_t kVstMaxProductStrLen = 64;

struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

enum VstEventTypes : int32_t { kVstMidiType = 1, kVstSysExType = 6 };

struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2]; // the host allocates as many as it sends
};

struct VstMidiEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

enum VstTimeInfoFlags : int32_t {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
};

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

enum VstParameterFlags : int32_t {
    kVstParameterIsSwitch = 1 << 0,
    kVstParameterUsesIntegerMinMax = 1 << 1,
    kVstParameterUsesFloatStep = 1 << 2,
    kVstParameterUsesIntStep = 1 << 3,
    kVstParameterSupportsDisplayIndex = 1 << 4,
    kVstParameterSupportsDisplayCategory = 1 << 5,
    kVstParameterCanRamp = 1 << 6,
};

struct VstParameterProperties {
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[64];
    int32_t flags;
    int32_t minInteger;
    int32_t maxInteger;
    int32_t stepInteger;
    int32_t largeStepInteger;
    char shortLabel[8];
    int16_t displayIndex;
    int16_t category;
    int16_t numParametersInCategory;
    int16_t reserved;
    char categoryLabel[24];
    char future[16];
};

struct VstKeyCode {
    int32_t character;
    unsigned char virt;
    unsigned char modifier;
};

static_assert(sizeof(AEffect) == (sizeof(void*) == 8 ? 192 : 144), "AEffect layout");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent layout");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo layout");
static_assert(sizeof(VstParameterProperties) == 152, "VstParameterProperties layout");
static_assert(sizeof(ERect) == 8, "ERect layout");

// Where the fields sit, for 64-bit hosts and for 32-bit ones (a 32-bit
// Windows host loads the i686 DLL): a host reads these records by offset.
#include <cstddef>
constexpr size_t vst2PointerBytes = sizeof(void*);
static_assert(offsetof(AEffect, dispatcher) == vst2PointerBytes, "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == 5 * vst2PointerBytes, "AEffect layout");
static_assert(offsetof(AEffect, flags) == 5 * vst2PointerBytes + 16, "AEffect layout");
static_assert(offsetof(AEffect, reserved1) == (vst2PointerBytes == 8 ? 64 : 40), "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == (vst2PointerBytes == 8 ? 92 : 60), "AEffect layout");
static_assert(offsetof(AEffect, object) == (vst2PointerBytes == 8 ? 96 : 64), "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == (vst2PointerBytes == 8 ? 112 : 72), "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == (vst2PointerBytes == 8 ? 120 : 80), "AEffect layout");
static_assert(offsetof(AEffect, future) == (vst2PointerBytes == 8 ? 136 : 88), "AEffect layout");
static_assert(offsetof(VstEvents, events) == 2 * vst2PointerBytes, "VstEvents layout");
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29, "VstMidiEvent layout");
static_assert(sizeof(VstEvent) == 32, "VstEvent layout");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, flags) == 84, "VstTimeInfo layout");
