#include "tests/formats/Vst2Reference.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "binding/PluginDeck.h"
#include "deck/DeckState.h"
#include "tests/support/TestFiles.h"

namespace formats {

std::vector<uint8_t> toneTrackState() {
    testdata::WavRecipe recipe;
    recipe.frames = 3 * 44100;
    recipe.sample = [](int frame, int channel) {
        return static_cast<int>(12000.0 * std::sin(2.0 * M_PI * (channel ? 550.0 : 440.0) * frame / 44100.0));
    };
    DeckState state;
    state.entries.push_back({testdata::writeWav("format-tone.wav", recipe), false});
    for (int32_t i = 0; i < DeckState::parameterCount; ++i) state.parameters[i] = parameterShape(i).defaultValue;
    return state.write();
}

bool waitForLength(const std::function<std::string()>& show) {
    for (int i = 0; i < 500; ++i) {
        if (show().find("/ 0:03.0") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::vector<TimedEvent> scriptedEvents(int32_t block) {
    if (block == 0) return {{100, 24 + 3}};
    if (block == 10) return {{37, 15}};
    if (block == 20) return {{200, -1, 10, 0.5f}};
    if (block == 30) return {{411, -1, 11, 1.0f}};
    return {};
}

RenderComparison compareRenders(const std::vector<float>& got, const std::vector<float>& expected) {
    RenderComparison result{got.size(), got.size() > expected.size() ? got.size() - expected.size() : 0};
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != 0.0f && result.firstSound == got.size()) result.firstSound = i;
        if (i < expected.size()) result.differing += got[i] != expected[i];
    }
    return result;
}

namespace {
intptr_t offlineHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetCurrentProcessLevel) return kVstProcessLevelOffline;
    return 0;
}
} // namespace

Vst2Reference::Vst2Reference(const char* path) : library(std::make_unique<LoadedLibrary>(path)) {
    auto entry = reinterpret_cast<AEffect* (*)(HostCallback)>(library->symbol("VSTPluginMain"));
    if (!entry) return;
    instance = entry(offlineHost);
    if (!instance) return;
    instance->dispatcher(instance, effOpen, 0, 0, nullptr, 0.0f);
    instance->dispatcher(instance, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    instance->dispatcher(instance, effSetBlockSize, 0, 512, nullptr, 0.0f);
    instance->dispatcher(instance, effMainsChanged, 0, 1, nullptr, 0.0f);
}

Vst2Reference::~Vst2Reference() {
    if (instance) instance->dispatcher(instance, effClose, 0, 0, nullptr, 0.0f);
}

bool Vst2Reference::load(const std::vector<uint8_t>& state) {
    if (!instance) return false;
    std::vector<uint8_t> copy = state;
    if (instance->dispatcher(instance, effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data(), 0.0f) != 1)
        return false;
    return waitForLength([this] {
        char text[256] = {};
        instance->dispatcher(instance, effGetParamDisplay, 2, 0, text, 0.0f);
        return std::string(text);
    });
}

std::vector<uint8_t> Vst2Reference::save() {
    void* data = nullptr;
    const intptr_t size = instance->dispatcher(instance, effGetChunk, 0, 0, &data, 0.0f);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return size > 0 && bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
}

std::vector<float> Vst2Reference::render(int32_t blocks, int32_t frames,
                                         const std::function<std::vector<TimedEvent>(int32_t)>& events) {
    std::vector<float> out;
    std::vector<float> left(frames), right(frames);
    for (int32_t b = 0; b < blocks; ++b) {
        std::vector<TimedEvent> all = events(b);
        std::vector<VstMidiEvent> midi;
        for (const TimedEvent& e : all)
            if (e.note >= 0) {
                VstMidiEvent m{};
                m.type = kVstMidiType;
                m.byteSize = sizeof m;
                m.deltaFrames = e.frame;
                m.midiData[0] = static_cast<char>(0x90);
                m.midiData[1] = static_cast<char>(e.note);
                m.midiData[2] = 100;
                midi.push_back(m);
            }
        std::vector<uint8_t> list(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*));
        auto* vstEvents = reinterpret_cast<VstEvents*>(list.data());
        vstEvents->numEvents = static_cast<int32_t>(midi.size());
        for (size_t i = 0; i < midi.size(); ++i) vstEvents->events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
        // A block's MIDI keys are timed by processEvents; its parameter
        // changes split it at their frames, the samples a timed format puts
        // them on (the tests keep the two kinds in different blocks).
        instance->dispatcher(instance, effProcessEvents, 0, 0, vstEvents, 0.0f);
        int32_t done = 0;
        auto renderTo = [&](int32_t end) {
            if (end <= done) return;
            float* outs[2] = {left.data() + done, right.data() + done};
            instance->processReplacing(instance, nullptr, outs, end - done);
            done = end;
        };
        for (const TimedEvent& e : all) {
            if (e.parameter < 0) continue;
            renderTo(e.frame);
            instance->setParameter(instance, e.parameter, e.value);
        }
        renderTo(frames);
        out.insert(out.end(), left.begin(), left.end());
        out.insert(out.end(), right.begin(), right.end());
    }
    return out;
}

} // namespace formats
