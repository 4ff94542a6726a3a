#pragma once
// A host callback for tests: answers like a plain VST 2 host and records
// what the plug-in asked of it.
#include <atomic>
#include <string>
#include <vector>

#include "vst2/vst2.h"
#include "tests/support/TestFiles.h"

struct TestHost {
    static inline std::atomic<int> versionAnswer{2400};
    // Tests render offline, so reads wait for the deck's decoding; a test of
    // real-time rendering says otherwise.
    static inline std::atomic<int> processLevel{kVstProcessLevelOffline};
    static inline std::string directory;
    // The host's time, for a deck that follows it; none when null.
    static inline std::atomic<VstTimeInfo*> time{nullptr};
    static inline std::vector<int32_t> opcodes;
    // Edit notices and new values, in order: opcode, parameter index, value.
    struct Edit {
        int32_t opcode, index;
        float value;
    };
    static inline std::vector<Edit> edits;
    // What audioMasterGetProductString answers ("" answers nothing).
    static inline std::string product;

    // The store file goes to this process's own test folder.
    static void reset() {
        versionAnswer = 2400;
        directory = testdata::tempPath("");
        opcodes.clear();
        processLevel = kVstProcessLevelOffline;
        edits.clear();
        product.clear();
        time = nullptr;
    }
    static size_t timesAsked(int32_t opcode) {
        size_t n = 0;
        for (int32_t op : opcodes) n += op == opcode;
        return n;
    }

    static intptr_t callback(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float value) {
        // The audio thread may call in; only the GUI-thread calls are recorded.
        if (opcode == audioMasterGetCurrentProcessLevel) return processLevel;
        if (opcode == audioMasterGetTime) return reinterpret_cast<intptr_t>(time.load());
        if (opcode != audioMasterSetTime) opcodes.push_back(opcode);
        if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
            edits.push_back({opcode, index, value});
        switch (opcode) {
        case audioMasterVersion: return versionAnswer;
        case audioMasterGetDirectory:
            return directory.empty() ? 0 : reinterpret_cast<intptr_t>(directory.c_str());
        case audioMasterWantMidi: return 1;
        case audioMasterGetProductString:
            if (product.empty() || !ptr) return 0;
            product.copy(static_cast<char*>(ptr), kVstMaxProductStrLen - 1);
            return 1;
        default: return 0;
        }
    }
};
