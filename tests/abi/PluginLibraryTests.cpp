// Loads each built plug-in as a host does and talks to it through the entry
// point, the effect record and the dispatcher only. The same checks run on
// the Linux libraries and, under Wine, on the 64-bit Windows DLLs.
#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "vst2/vst2.h"
#include "tests/support/LoadedLibrary.h"

namespace {

using EntryPoint = AEffect* (*)(HostCallback);

int versionAnswer = 2400;

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? versionAnswer : 0;
}

struct Build {
    const char* library;
    const char* effectName;
    int32_t uniqueId;
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.effectName; }

class PluginLibrary : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override {
        versionAnswer = 2400;
        library = std::make_unique<LoadedLibrary>(GetParam().library);
        ASSERT_TRUE(library->loaded()) << library->error();
        vstMain = reinterpret_cast<EntryPoint>(library->symbol("VSTPluginMain"));
        main = reinterpret_cast<EntryPoint>(library->symbol("main"));
        ASSERT_NE(vstMain, nullptr);
        ASSERT_NE(main, nullptr);
    }
    void TearDown() override { library.reset(); }
    intptr_t call(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0.0f) {
        return e->dispatcher(e, opcode, index, value, ptr, opt);
    }
    std::string text(AEffect* e, int32_t opcode, int32_t index = 0) {
        char buffer[256];
        std::memset(buffer, 0, sizeof buffer);
        call(e, opcode, index, 0, buffer);
        return buffer;
    }

    std::unique_ptr<LoadedLibrary> library;
    EntryPoint vstMain = nullptr;
    EntryPoint main = nullptr;
};

TEST_P(PluginLibrary, BothEntryNamesCreateAnInstanceWithTheBuildsIdentity) {
    EXPECT_EQ(vstMain, main);
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, GetParam().uniqueId);
    EXPECT_EQ(e->flags, 0x139) << "editor, mono, replacing, chunks, synth";
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 18) << "Sync, Key lock and Key follow the first fifteen: sessions keep their indices";
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->version, 1);
    EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(text(e, effGetEffectName), GetParam().effectName);
    EXPECT_EQ(text(e, effGetVendorString), "Quillmark");
    EXPECT_EQ(text(e, effGetProductString), "Trakvox VST");
    EXPECT_EQ(call(e, effGetVendorVersion), 4);
    EXPECT_EQ(call(e, effGetVstVersion), 2200);
    EXPECT_EQ(call(e, effIdentify), fourCharCode('N', 'v', 'E', 'f'));
    EXPECT_EQ(call(e, effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(call(e, effGetVu), 0);
    EXPECT_EQ(call(e, effClose), 1);
}

TEST_P(PluginLibrary, AHostThatIsNotVst2GetsNoInstance) {
    versionAnswer = 0;
    EXPECT_EQ(main(host), nullptr);
    EXPECT_EQ(vstMain(host), nullptr);
}

TEST_P(PluginLibrary, TheOneProgramIsNoProgramAndCannotBeLeft) {
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(text(e, effGetProgramName), "No Program");
    call(e, effSetProgram, 0, 1);
    EXPECT_EQ(call(e, effGetProgram), 0);
    char longName[] = "A program name longer than twenty-four characters";
    call(e, effSetProgramName, 0, 0, longName);
    EXPECT_EQ(text(e, effGetProgramName), std::string(longName).substr(0, 24));
    call(e, effClose);
}

TEST_P(PluginLibrary, ParametersReportNamesStartValuesDisplaysAndLabels) {
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    const char* names[] = {"Playing", "AutoRewind", "Position", "Pitch", "Track", "Eq cut 1", "Eq cut 2", "Eq bass",
                           "Eq treble", "Eq tweet", "Vol", "Cut Bass", "Cut Treble", "Cut Tweet", "Loop", "Sync"};
    const float values[] = {0, 0, 0, 0.5f, 0, 0.33f, 0.67f, 0.5f, 0.5f, 0.5f, 1.0f, 0, 0, 0, 0, 0};
    const char* displays[] = {"no", "next track", "0:00.0 / 0:00.0", "+0.0 %", "", "1378 Hz", "6202 Hz", "-6.0 dB",
                              "-6.0 dB", "-6.0 dB", "0.0 dB", "no", "no", "no", "off", "no"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(text(e, effGetParamName, i), names[i]) << i;
        EXPECT_FLOAT_EQ(e->getParameter(e, i), values[i]) << names[i];
        EXPECT_EQ(text(e, effGetParamLabel, i), "") << "the display carries the unit: " << names[i];
        EXPECT_EQ(text(e, effGetParamDisplay, i), displays[i]) << names[i];
        EXPECT_EQ(call(e, effCanBeAutomated, i), 1);
    }
    call(e, effClose);
}

TEST_P(PluginLibrary, CanDoAnswersWhatTheDeckDoes) {
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    char send[] = "sendVstTimeInfo", receive[] = "receiveVstTimeInfo", events[] = "receiveVstEvents",
         midi[] = "receiveVstMidiEvent";
    EXPECT_EQ(call(e, effCanDo, 0, 0, send), 1);
    EXPECT_EQ(call(e, effCanDo, 0, 0, receive), 1);
    EXPECT_EQ(call(e, effCanDo, 0, 0, events), 1);
    EXPECT_EQ(call(e, effCanDo, 0, 0, midi), 1);
    EXPECT_EQ(call(e, effCanDo, 0, 0, nullptr), 0);
    call(e, effClose);
}

TEST_P(PluginLibrary, UnknownOpcodesAndMissingBuffersAnswerZeroWithoutHarm) {
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    for (int32_t opcode : {16, 17, 18, 20, 21, 33, 34, 36, 44, 50, 62, 64, 68, 69, 100, 12345, -1})
        EXPECT_EQ(call(e, opcode), 0) << opcode;
    for (int32_t opcode : {effGetProgramName, effSetProgramName, effGetParamLabel, effGetParamDisplay,
                           effGetParamName, effGetEffectName, effGetVendorString, effGetProductString,
                           effEditGetRect, effProcessEvents})
        call(e, opcode, 0, 0, nullptr);
    EXPECT_EQ(call(e, effKeysRequired), 1);
    EXPECT_EQ(call(e, effGetCurrentMidiProgram), -1);
    EXPECT_EQ(call(e, effGetNumProgramCategories), 1);
    EXPECT_EQ(call(e, effGetChunk), 0);
    call(e, effClose);
}

// Without a parent window the editor draws off-screen. A host that opens
// the window twice keeps the one window; one that closes the plug-in with
// the window open gets a clean close.
TEST_P(PluginLibrary, EditorOpenedTwiceAndLeftOpenClosesCleanly) {
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    call(e, effOpen);
    EXPECT_EQ(call(e, effEditOpen), 1);
    EXPECT_EQ(call(e, effEditOpen), 1);
    call(e, effEditIdle);
    call(e, effEditKeyDown, 'a', 0, nullptr, 0.0f);
    call(e, effClose);
}

TEST_P(PluginLibrary, RendersSilenceThroughALifecycleAsAHostDrivesIt) {
    AEffect* e = main(host);
    ASSERT_NE(e, nullptr);
    call(e, effOpen);
    call(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(call(e, effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
    call(e, effMainsChanged, 0, 1);
    float left[256], right[256];
    std::fill_n(left, 256, 7.0f);
    std::fill_n(right, 256, 7.0f);
    float* outs[2] = {left, right};
    e->processReplacing(e, nullptr, outs, 256);
    EXPECT_EQ(left[0], 0.0f);
    EXPECT_EQ(right[255], 0.0f);
    call(e, effMainsChanged, 0, 0);
    EXPECT_EQ(call(e, effClose), 1);
}

INSTANTIATE_TEST_SUITE_P(Builds, PluginLibrary,
                         ::testing::Values(Build{TUNEDECK_FULL_SO, "Trakvox VST 2", fourCharCode('T', 'v', 'x', '2')},
                                           Build{TUNEDECK_COMPACT_SO, "Trakvox VST 2 (compact)",
                                                 fourCharCode('T', 'v', '2', 'c')}),
                         [](const auto& info) { return info.index == 0 ? std::string("Full") : std::string("Compact"); });

} // namespace

namespace {

std::string storeDirectory;

intptr_t storeHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetDirectory) return reinterpret_cast<intptr_t>(storeDirectory.c_str());
    return 0;
}

TEST(PluginLibraries, TheCompactAndTheFullBuildInOneProcessOpenTheUsersOneStore) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tunedeck-abi-store-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    storeDirectory = (folder / "").string();
#ifdef _WIN32
    // The user's application data folder, as the shell names it.
    const char* appData = std::getenv("APPDATA");
    ASSERT_TRUE(appData);
    const std::filesystem::path data = appData;
#else
    setenv("XDG_DATA_HOME", storeDirectory.c_str(), 1);
    const std::filesystem::path data = folder;
#endif
    {
        LoadedLibrary full(TUNEDECK_FULL_SO), compact(TUNEDECK_COMPACT_SO);
        ASSERT_TRUE(full.loaded() && compact.loaded());
        auto fullMain = reinterpret_cast<EntryPoint>(full.symbol("VSTPluginMain"));
        auto compactMain = reinterpret_cast<EntryPoint>(compact.symbol("VSTPluginMain"));
        AEffect* a = fullMain(storeHost);
        AEffect* b = compactMain(storeHost);
        ASSERT_TRUE(a && b);
        a->dispatcher(a, effOpen, 0, 0, nullptr, 0.0f);
        b->dispatcher(b, effOpen, 0, 0, nullptr, 0.0f);
        a->dispatcher(a, effClose, 0, 0, nullptr, 0.0f);
        b->dispatcher(b, effClose, 0, 0, nullptr, 0.0f);
    }
    std::error_code error;
    EXPECT_TRUE(std::filesystem::is_regular_file(data / "tunedeck" / "tracks.db", error)) << data;
    EXPECT_FALSE(std::filesystem::exists(folder / "trakvox.dat", error)) << "no file is written beside the host";
#ifndef _WIN32
    unsetenv("XDG_DATA_HOME");
#endif
    std::filesystem::remove_all(folder, error);
}

} // namespace

#ifdef _WIN32
#include <windows.h>

namespace {

// The process's open handles, found by asking the system about each handle
// value in turn: wine's GetProcessHandleCount answers 0 whatever is open.
int openHandles() {
    int count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

// A host that scans plug-ins, or loads an updated DLL, loads and unloads the
// library many times in one process: each round must give back every handle
// it took and the editor's window class, which would otherwise point into
// code that is gone.
TEST(PluginLibraries, FiftyLoadsAndUnloadsLeaveNoHandleAndNoWindowClass) {
    // A host's process has the system's shell, COM and dialog libraries
    // loaded for good; wine's own keep registry keys open while loaded.
    for (const char* system : {"shell32.dll", "ole32.dll", "comdlg32.dll", "winmm.dll"}) LoadLibraryA(system);
    HWND frame = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    // Each round leaves the DLL's module address and the editor's class name.
    HMODULE module = nullptr;
    char className[64] = {};
    auto round = [&] {
        LoadedLibrary library(TUNEDECK_FULL_SO);
        ASSERT_TRUE(library.loaded());
        module = GetModuleHandleA("tunedeck.dll");
        ASSERT_NE(module, nullptr);
        wsprintfA(className, "tunedeckEditor%p", static_cast<void*>(module));
        auto vstMain = reinterpret_cast<EntryPoint>(library.symbol("VSTPluginMain"));
        AEffect* e = vstMain(storeHost);
        ASSERT_NE(e, nullptr);
        e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, frame, 0.0f), 1);
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetClassInfoExA(module, className, &info)) << "the editor's class while it is open";
        e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    };
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tunedeck-abi-rounds-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    storeDirectory = (folder / "").string();
    // The first round loads what the system keeps for the process (its DLLs' own handles).
    round();
    const int before = openHandles();
    int classesLeft = 0;
    for (int i = 0; i < 50; ++i) {
        round();
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        if (GetClassInfoExA(module, className, &info)) ++classesLeft;
    }
    EXPECT_EQ(openHandles(), before) << "handles gained over 50 rounds";
    EXPECT_EQ(classesLeft, 0) << "rounds that left the editor's window class registered";
    DestroyWindow(frame);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

} // namespace
#endif
