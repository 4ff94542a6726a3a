// The VST 3 module as a host drives it, through GetPluginFactory and the
// interfaces only: both builds, their parameters against the VST 2 build's,
// MIDI and automation on their samples against the VST 2 build's render,
// the one state every format keeps, hostile input, and the editor in a
// host's window on the host's run loop.
#include "vst3_c_api.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/formats/Vst2Reference.h"
#include "tests/support/LoadedLibrary.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "tests/formats/X11HostWindow.h"
#endif

namespace {

using formats::TimedEvent;

bool sameId(const void* a, const void* b) { return std::memcmp(a, b, 16) == 0; }

std::string narrow(const Steinberg_char16* text) {
    std::string out;
    for (size_t i = 0; i < 128 && text[i]; ++i) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

void widen(const char* text, Steinberg_Vst_String128 to) {
    size_t i = 0;
    for (; text[i] && i < 127; ++i) to[i] = static_cast<unsigned char>(text[i]);
    to[i] = 0;
}

// A host's memory stream: it hands out at most 77 bytes a read and takes at
// most 100 a write, and may fail a read after some bytes.
struct Stream {
    Steinberg_IBStreamVtbl* table;
    std::vector<uint8_t> bytes;
    size_t at = 0;
    int64_t failAfter = -1;

    explicit Stream(std::vector<uint8_t> content = {}, int64_t failing = -1)
        : table(&vtable), bytes(std::move(content)), failAfter(failing) {}
    Steinberg_IBStream* stream() { return reinterpret_cast<Steinberg_IBStream*>(this); }
    static Stream& of(void* self) { return *static_cast<Stream*>(self); }
    static Steinberg_IBStreamVtbl vtable;
};
inline Steinberg_IBStreamVtbl Stream::vtable{
    [](void*, const Steinberg_TUID, void** obj) -> Steinberg_tresult {
        *obj = nullptr;
        return Steinberg_kNoInterface;
    },
    [](void*) -> Steinberg_uint32 { return 1; }, [](void*) -> Steinberg_uint32 { return 1; },
    [](void* self, void* buffer, Steinberg_int32 size, Steinberg_int32* got) -> Steinberg_tresult {
        Stream& s = of(self);
        if (s.failAfter >= 0 && static_cast<int64_t>(s.at) >= s.failAfter) return Steinberg_kResultFalse;
        const size_t n = std::min<size_t>({static_cast<size_t>(size), s.bytes.size() - s.at, 77});
        if (n > 0) std::memcpy(buffer, s.bytes.data() + s.at, n);
        s.at += n;
        if (got) *got = static_cast<Steinberg_int32>(n);
        return Steinberg_kResultOk;
    },
    [](void* self, void* buffer, Steinberg_int32 size, Steinberg_int32* wrote) -> Steinberg_tresult {
        Stream& s = of(self);
        const size_t n = std::min<size_t>(static_cast<size_t>(size), 100);
        s.bytes.insert(s.bytes.end(), static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + n);
        if (wrote) *wrote = static_cast<Steinberg_int32>(n);
        return Steinberg_kResultOk;
    },
    [](void*, Steinberg_int64, Steinberg_int32, Steinberg_int64*) -> Steinberg_tresult { return Steinberg_kNotImplemented; },
    [](void*, Steinberg_int64*) -> Steinberg_tresult { return Steinberg_kNotImplemented; }};

// The host's side of edits: what it was told, and the references it holds.
struct Handler {
    Steinberg_Vst_IComponentHandlerVtbl* table = &vtable;
    int references = 0;
    std::vector<std::pair<Steinberg_Vst_ParamID, double>> performed;
    int begun = 0, ended = 0;
    static Handler& of(void* self) { return *static_cast<Handler*>(self); }
    static Steinberg_Vst_IComponentHandlerVtbl vtable;
};
inline Steinberg_Vst_IComponentHandlerVtbl Handler::vtable{
    [](void*, const Steinberg_TUID, void** obj) -> Steinberg_tresult {
        *obj = nullptr;
        return Steinberg_kNoInterface;
    },
    [](void* self) -> Steinberg_uint32 { return static_cast<Steinberg_uint32>(++of(self).references); },
    [](void* self) -> Steinberg_uint32 { return static_cast<Steinberg_uint32>(--of(self).references); },
    [](void* self, Steinberg_Vst_ParamID) -> Steinberg_tresult { return ++of(self).begun, Steinberg_kResultOk; },
    [](void* self, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue value) -> Steinberg_tresult {
        of(self).performed.emplace_back(id, value);
        return Steinberg_kResultOk;
    },
    [](void* self, Steinberg_Vst_ParamID) -> Steinberg_tresult { return ++of(self).ended, Steinberg_kResultOk; },
    [](void*, Steinberg_int32) -> Steinberg_tresult { return Steinberg_kResultOk; }};

// A plug frame whose run loop keeps the timers it is given; the test fires them.
struct Frame {
    Steinberg_IPlugFrameVtbl* table = &frameTable;
    struct Loop {
        Steinberg_Linux_IRunLoopVtbl* table = &loopTable;
        Frame* frame;
    } loop{&loopTable, this};
    std::vector<std::pair<Steinberg_Linux_ITimerHandler*, uint64_t>> timers;
    std::vector<std::pair<int32_t, int32_t>> resized; // the sizes the view asked for
    int references = 0;

    static Steinberg_IPlugFrameVtbl frameTable;
    static Frame& ofLoop(void* self) { return *static_cast<Loop*>(self)->frame; }
    static Steinberg_Linux_IRunLoopVtbl loopTable;
};
inline Steinberg_IPlugFrameVtbl Frame::frameTable{
    [](void* self, const Steinberg_TUID iid, void** obj) -> Steinberg_tresult {
        auto* frame = static_cast<Frame*>(self);
        if (sameId(iid, Steinberg_Linux_IRunLoop_iid)) {
            ++frame->references;
            *obj = &frame->loop;
            return Steinberg_kResultOk;
        }
        *obj = nullptr;
        return Steinberg_kNoInterface;
    },
    [](void* self) -> Steinberg_uint32 {
        return static_cast<Steinberg_uint32>(++static_cast<Frame*>(self)->references);
    },
    [](void* self) -> Steinberg_uint32 {
        return static_cast<Steinberg_uint32>(--static_cast<Frame*>(self)->references);
    },
    [](void* self, Steinberg_IPlugView*, Steinberg_ViewRect* size) -> Steinberg_tresult {
        if (!size) return Steinberg_kInvalidArgument;
        static_cast<Frame*>(self)->resized.emplace_back(size->right - size->left, size->bottom - size->top);
        return Steinberg_kResultOk;
    }};
inline Steinberg_Linux_IRunLoopVtbl Frame::loopTable{
    [](void*, const Steinberg_TUID, void** obj) -> Steinberg_tresult {
        *obj = nullptr;
        return Steinberg_kNoInterface;
    },
    [](void* self) -> Steinberg_uint32 { return static_cast<Steinberg_uint32>(++ofLoop(self).references); },
    [](void* self) -> Steinberg_uint32 { return static_cast<Steinberg_uint32>(--ofLoop(self).references); },
    [](void*, Steinberg_Linux_IEventHandler*, Steinberg_Linux_FileDescriptor) -> Steinberg_tresult {
        return Steinberg_kNotImplemented;
    },
    [](void*, Steinberg_Linux_IEventHandler*) -> Steinberg_tresult { return Steinberg_kNotImplemented; },
    [](void* self, Steinberg_Linux_ITimerHandler* handler, Steinberg_Linux_TimerInterval ms) -> Steinberg_tresult {
        ofLoop(self).timers.emplace_back(handler, ms);
        return Steinberg_kResultOk;
    },
    [](void* self, Steinberg_Linux_ITimerHandler* handler) -> Steinberg_tresult {
        std::erase_if(ofLoop(self).timers, [handler](const auto& t) { return t.first == handler; });
        return Steinberg_kResultOk;
    }};

// A block's parameter points, one queue a parameter.
struct Changes {
    struct Queue {
        Steinberg_Vst_IParamValueQueueVtbl* table;
        Steinberg_Vst_ParamID id;
        std::vector<std::pair<Steinberg_int32, double>> points;
    };
    Steinberg_Vst_IParameterChangesVtbl* table = &changesTable;
    std::vector<std::unique_ptr<Queue>> queues;

    void add(Steinberg_Vst_ParamID id, Steinberg_int32 offset, double value) {
        queues.push_back(std::make_unique<Queue>(Queue{&queueTable, id, {{offset, value}}}));
    }
    Steinberg_Vst_IParameterChanges* changes() { return reinterpret_cast<Steinberg_Vst_IParameterChanges*>(this); }
    static Queue& queue(void* self) { return *static_cast<Queue*>(self); }
    static Steinberg_Vst_IParamValueQueueVtbl queueTable;
    static Steinberg_Vst_IParameterChangesVtbl changesTable;
};
inline Steinberg_Vst_IParamValueQueueVtbl Changes::queueTable{
    nullptr, nullptr, nullptr, [](void* self) -> Steinberg_Vst_ParamID { return queue(self).id; },
    [](void* self) -> Steinberg_int32 { return static_cast<Steinberg_int32>(queue(self).points.size()); },
    [](void* self, Steinberg_int32 i, Steinberg_int32* offset, Steinberg_Vst_ParamValue* value) -> Steinberg_tresult {
        auto& points = queue(self).points;
        if (i < 0 || static_cast<size_t>(i) >= points.size()) return Steinberg_kInvalidArgument;
        *offset = points[static_cast<size_t>(i)].first;
        *value = points[static_cast<size_t>(i)].second;
        return Steinberg_kResultOk;
    },
    nullptr};
inline Steinberg_Vst_IParameterChangesVtbl Changes::changesTable{
    nullptr, nullptr, nullptr,
    [](void* self) -> Steinberg_int32 { return static_cast<Steinberg_int32>(static_cast<Changes*>(self)->queues.size()); },
    [](void* self, Steinberg_int32 i) -> Steinberg_Vst_IParamValueQueue* {
        auto& all = static_cast<Changes*>(self)->queues;
        if (i < 0 || static_cast<size_t>(i) >= all.size()) return nullptr;
        return reinterpret_cast<Steinberg_Vst_IParamValueQueue*>(all[static_cast<size_t>(i)].get());
    },
    nullptr};

struct Events {
    Steinberg_Vst_IEventListVtbl* table = &eventsTable;
    std::vector<Steinberg_Vst_Event> events;
    void noteOn(Steinberg_int32 offset, int16_t pitch, float velocity) {
        Steinberg_Vst_Event e{};
        e.sampleOffset = offset;
        e.type = Steinberg_Vst_Event_EventTypes_kNoteOnEvent;
        e.Steinberg_Vst_Event_noteOn.pitch = pitch;
        e.Steinberg_Vst_Event_noteOn.velocity = velocity;
        e.Steinberg_Vst_Event_noteOn.noteId = -1;
        events.push_back(e);
    }
    Steinberg_Vst_IEventList* list() { return reinterpret_cast<Steinberg_Vst_IEventList*>(this); }
    static Steinberg_Vst_IEventListVtbl eventsTable;
};
inline Steinberg_Vst_IEventListVtbl Events::eventsTable{
    nullptr, nullptr, nullptr,
    [](void* self) -> Steinberg_int32 { return static_cast<Steinberg_int32>(static_cast<Events*>(self)->events.size()); },
    [](void* self, Steinberg_int32 i, Steinberg_Vst_Event* e) -> Steinberg_tresult {
        auto& all = static_cast<Events*>(self)->events;
        if (i < 0 || static_cast<size_t>(i) >= all.size()) return Steinberg_kInvalidArgument;
        *e = all[static_cast<size_t>(i)];
        return Steinberg_kResultOk;
    },
    nullptr};

class Vst3Module : public ::testing::Test {
protected:
#if defined(_WIN32)
    static constexpr const char* exitName = "ExitDll";
#else
    static constexpr const char* exitName = "ModuleExit";
#endif
    using EntryFunction = bool (*)(void*);
    using FactoryFunction = Steinberg_IPluginFactory* (*)();

    void SetUp() override {
        library = std::make_unique<LoadedLibrary>(TUNEDECK_VST3);
        ASSERT_TRUE(library->loaded()) << library->error();
        auto getFactory = reinterpret_cast<FactoryFunction>(library->symbol("GetPluginFactory"));
#if defined(_WIN32)
        auto initDll = reinterpret_cast<bool (*)()>(library->symbol("InitDll"));
        ASSERT_TRUE(initDll && getFactory && library->symbol(exitName));
        ASSERT_TRUE(initDll());
#else
        auto entry = reinterpret_cast<EntryFunction>(library->symbol("ModuleEntry"));
        ASSERT_TRUE(entry && getFactory && library->symbol(exitName));
        ASSERT_TRUE(entry(nullptr));
#endif
        factory = getFactory();
        ASSERT_NE(factory, nullptr);
    }
    void TearDown() override {
        endAll();
        if (library && library->symbol(exitName)) reinterpret_cast<bool (*)()>(library->symbol(exitName))();
    }
    // Every instance made ends, as a host closes them.
    void endAll() {
        for (Instance& i : made) {
            i.controller->lpVtbl->terminate(i.controller);
            i.component->lpVtbl->terminate(i.component);
            i.processor->lpVtbl->release(i.processor);
            i.controller->lpVtbl->release(i.controller);
            i.component->lpVtbl->release(i.component);
        }
        made.clear();
    }

    struct Instance {
        Steinberg_Vst_IComponent* component = nullptr;
        Steinberg_Vst_IAudioProcessor* processor = nullptr;
        Steinberg_Vst_IEditController* controller = nullptr;
    };
    // An instance as hosts make a single-component effect: the component
    // first, then the controller asked of it.
    Instance make(int32_t build = 0) {
        Steinberg_PClassInfo info{};
        Instance i;
        if (factory->lpVtbl->getClassInfo(factory, build, &info) != Steinberg_kResultOk) return i;
        void* object = nullptr;
        if (factory->lpVtbl->createInstance(factory, info.cid, Steinberg_Vst_IComponent_iid, &object) != Steinberg_kResultOk)
            return i;
        i.component = static_cast<Steinberg_Vst_IComponent*>(object);
        Steinberg_TUID controllerId{};
        EXPECT_NE(i.component->lpVtbl->getControllerClassId(i.component, controllerId), Steinberg_kResultOk);
        EXPECT_EQ(i.component->lpVtbl->initialize(i.component, nullptr), Steinberg_kResultOk);
        EXPECT_EQ(i.component->lpVtbl->queryInterface(i.component, Steinberg_Vst_IAudioProcessor_iid, &object),
                  Steinberg_kResultOk);
        i.processor = static_cast<Steinberg_Vst_IAudioProcessor*>(object);
        EXPECT_EQ(i.component->lpVtbl->queryInterface(i.component, Steinberg_Vst_IEditController_iid, &object),
                  Steinberg_kResultOk);
        i.controller = static_cast<Steinberg_Vst_IEditController*>(object);
        EXPECT_EQ(i.controller->lpVtbl->initialize(i.controller, nullptr), Steinberg_kResultOk);
        made.push_back(i);
        return i;
    }
    std::string display(const Instance& i, Steinberg_Vst_ParamID id, double value) {
        Steinberg_Vst_String128 text{};
        if (i.controller->lpVtbl->getParamStringByValue(i.controller, id, value, text) != Steinberg_kResultOk)
            return "(refused)";
        return narrow(text);
    }
    bool parse(const Instance& i, Steinberg_Vst_ParamID id, const char* text, double& value) {
        Steinberg_Vst_String128 wide{};
        widen(text, wide);
        return i.controller->lpVtbl->getParamValueByString(i.controller, id, wide, &value) == Steinberg_kResultOk;
    }
    double value(const Instance& i, Steinberg_Vst_ParamID id) {
        return i.controller->lpVtbl->getParamNormalized(i.controller, id);
    }
    bool load(const Instance& i, std::vector<uint8_t> bytes, int64_t failAfter = -1) {
        Stream stream(std::move(bytes), failAfter);
        return i.component->lpVtbl->setState(i.component, stream.stream()) == Steinberg_kResultOk;
    }
    std::vector<uint8_t> save(const Instance& i) {
        Stream stream;
        EXPECT_EQ(i.component->lpVtbl->getState(i.component, stream.stream()), Steinberg_kResultOk);
        return stream.bytes;
    }
    bool startOffline(const Instance& i) {
        Steinberg_Vst_ProcessSetup setup{Steinberg_Vst_ProcessModes_kOffline, Steinberg_Vst_SymbolicSampleSizes_kSample32,
                                         4096, 48000.0};
        return i.processor->lpVtbl->setupProcessing(i.processor, &setup) == Steinberg_kResultOk &&
               i.component->lpVtbl->setActive(i.component, 1) == Steinberg_kResultOk &&
               i.processor->lpVtbl->setProcessing(i.processor, 1) == Steinberg_kResultOk;
    }
    // Blocks of frames; the left channel then the right, block after block.
    // A parameter's value is the VST 2 build's, which for the ones used here
    // is also the normalized value.
    std::vector<float> render(const Instance& i, int32_t blocks, int32_t frames,
                              const std::function<std::vector<TimedEvent>(int32_t)>& events) {
        std::vector<float> out, left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
        for (int32_t b = 0; b < blocks; ++b) {
            Changes changes;
            Events notes;
            for (const TimedEvent& e : events(b)) {
                if (e.note >= 0) notes.noteOn(e.frame, static_cast<int16_t>(e.note), 100.0f / 127.0f);
                else changes.add(static_cast<Steinberg_Vst_ParamID>(e.parameter), e.frame, e.value);
            }
            float* channels[2] = {left.data(), right.data()};
            Steinberg_Vst_AudioBusBuffers bus{};
            bus.numChannels = 2;
            bus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = channels;
            Steinberg_Vst_ProcessData data{};
            data.processMode = Steinberg_Vst_ProcessModes_kOffline;
            data.symbolicSampleSize = Steinberg_Vst_SymbolicSampleSizes_kSample32;
            data.numSamples = frames;
            data.numOutputs = 1;
            data.outputs = &bus;
            data.inputParameterChanges = changes.changes();
            data.inputEvents = notes.list();
            EXPECT_EQ(i.processor->lpVtbl->process(i.processor, &data), Steinberg_kResultOk);
            out.insert(out.end(), left.begin(), left.end());
            out.insert(out.end(), right.begin(), right.end());
        }
        return out;
    }

    std::unique_ptr<LoadedLibrary> library;
    Steinberg_IPluginFactory* factory = nullptr;
    std::vector<Instance> made;
};

// A class id as hosts write it in sessions: on Windows its first three
// fields are stored as COM stores a GUID's, so the text is the same there.
std::string hex(const char* id) {
#if defined(_WIN32)
    constexpr int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
#else
    constexpr int order[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
#endif
    std::string text;
    char two[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(id[order[i]]));
        text += two;
    }
    return text;
}

TEST_F(Vst3Module, OffersBothBuildsWithTheVst2BuildsParametersTextsAndBuses) {
    Steinberg_PFactoryInfo factoryInfo{};
    ASSERT_EQ(factory->lpVtbl->getFactoryInfo(factory, &factoryInfo), Steinberg_kResultOk);
    EXPECT_STREQ(factoryInfo.vendor, "Quillmark");
    ASSERT_EQ(factory->lpVtbl->countClasses(factory), 2);
    void* object = nullptr;
    ASSERT_EQ(factory->lpVtbl->queryInterface(factory, Steinberg_IPluginFactory2_iid, &object), Steinberg_kResultOk);
    auto* factory2 = static_cast<Steinberg_IPluginFactory2*>(object);
    Steinberg_PClassInfo2 classes[2]{};
    for (int32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(factory2->lpVtbl->getClassInfo2(factory2, i, &classes[i]), Steinberg_kResultOk);
        EXPECT_STREQ(classes[i].category, "Audio Module Class");
        EXPECT_STREQ(classes[i].subCategories, "Instrument|Sampler");
        EXPECT_STREQ(classes[i].vendor, "Quillmark");
        EXPECT_STREQ(classes[i].sdkVersion, "VST 3.8.1");
    }
    EXPECT_STREQ(classes[0].name, "Trakvox");
    EXPECT_STREQ(classes[1].name, "Trakvox (compact)");
    // The ids are the plug-ins' identity in saved sessions.
    EXPECT_EQ(hex(classes[0].cid), "0A32A3EBACDD4ECC8CDDEBB56C2DC33A");
    EXPECT_EQ(hex(classes[1].cid), "3E7EB78A5EB24D169201E7D809E75D59");
    EXPECT_NE(factory2->lpVtbl->getClassInfo2(factory2, 2, &classes[0]), Steinberg_kResultOk);
    const char unknown[16] = {1, 2, 3};
    object = &object;
    EXPECT_NE(factory->lpVtbl->createInstance(factory, unknown, Steinberg_Vst_IComponent_iid, &object), Steinberg_kResultOk);
    EXPECT_EQ(object, nullptr);
    EXPECT_NE(factory->lpVtbl->createInstance(factory, nullptr, Steinberg_Vst_IComponent_iid, &object), Steinberg_kResultOk);
    EXPECT_NE(factory->lpVtbl->createInstance(factory, classes[0].cid, unknown, &object), Steinberg_kResultOk)
        << "an interface the deck has not: nothing made, nothing leaked";

    formats::Vst2Reference vst2(TUNEDECK_FULL_SO);
    ASSERT_NE(vst2.effect(), nullptr);
    const Instance deck = make();
    ASSERT_NE(deck.controller, nullptr);
    ASSERT_EQ(deck.controller->lpVtbl->getParameterCount(deck.controller), 18);
    ASSERT_EQ(deck.component->lpVtbl->queryInterface(deck.component, Steinberg_Vst_IUnitInfo_iid, &object),
              Steinberg_kResultOk);
    auto* units = static_cast<Steinberg_Vst_IUnitInfo*>(object);
    for (int32_t i = 0; i < 18; ++i) {
        Steinberg_Vst_ParameterInfo info{};
        ASSERT_EQ(deck.controller->lpVtbl->getParameterInfo(deck.controller, i, &info), Steinberg_kResultOk);
        char name[256] = {}, shown[256] = {};
        AEffect* e = vst2.effect();
        e->dispatcher(e, effGetParamName, i, 0, name, 0.0f);
        e->dispatcher(e, effGetParamDisplay, i, 0, shown, 0.0f);
        EXPECT_EQ(narrow(info.title), name) << "the same names as the VST 2 build's, so sessions read alike";
        EXPECT_EQ(display(deck, info.id, value(deck, info.id)), shown) << name;
        EXPECT_EQ(value(deck, info.id), info.defaultNormalizedValue) << name << ": a fresh deck holds the defaults";
        EXPECT_TRUE(info.flags & Steinberg_Vst_ParameterInfo_ParameterFlags_kCanAutomate);
        Steinberg_Vst_UnitInfo unit{};
        ASSERT_EQ(units->lpVtbl->getUnitInfo(units, info.unitId, &unit), Steinberg_kResultOk);
        if (i == 10) {
            EXPECT_EQ(narrow(unit.name), "Equaliser") << "Vol's group";
        }
    }
    units->lpVtbl->release(units);
    Steinberg_Vst_ParameterInfo info{};
    EXPECT_NE(deck.controller->lpVtbl->getParameterInfo(deck.controller, 18, &info), Steinberg_kResultOk);
    ASSERT_EQ(deck.controller->lpVtbl->getParameterInfo(deck.controller, 17, &info), Steinberg_kResultOk);
    EXPECT_EQ(info.stepCount, 12) << "Key's whole semitones";
    // Steps evenly over 0..1; texts of values the deck does not hold.
    EXPECT_EQ(display(deck, 17, 9.0 / 12), "+3");
    EXPECT_EQ(display(deck, 14, 3.0 / 9), "1 beat");
    EXPECT_EQ(display(deck, 10, 0.0), "-inf dB");
    EXPECT_EQ(display(deck, 3, 1.0), "+32.0 %");
    EXPECT_EQ(display(deck, 10, std::nan("")), display(deck, 10, 1.0));
    EXPECT_EQ(display(deck, 99, 0.5), "(refused)");
    double parsed = 0;
    EXPECT_TRUE(parse(deck, 17, "-2", parsed));
    EXPECT_DOUBLE_EQ(parsed, 4.0 / 12);
    EXPECT_TRUE(parse(deck, 3, "+8 %", parsed));
    EXPECT_NEAR(parsed, 0.625, 1e-6);
    for (const char* hostile : {"", "%", "nan", "1e999 dB", "\xff\xfe", "-", "2 parsecs"})
        EXPECT_FALSE(parse(deck, 10, hostile, parsed)) << hostile;
    EXPECT_FALSE(parse(deck, 99, "1", parsed));
    const char16_t lone[] = {0xD800, u'1', 0};
    EXPECT_NE(deck.controller->lpVtbl->getParamValueByString(deck.controller, 10, const_cast<char16_t*>(lone), &parsed),
              Steinberg_kResultOk);
    EXPECT_NE(deck.controller->lpVtbl->getParamValueByString(deck.controller, 1, nullptr, &parsed), Steinberg_kResultOk);

    // One stereo output, one event input, and nothing else.
    Steinberg_Vst_IComponent* c = deck.component;
    EXPECT_EQ(c->lpVtbl->getBusCount(c, Steinberg_Vst_MediaTypes_kAudio, Steinberg_Vst_BusDirections_kInput), 0);
    Steinberg_Vst_BusInfo bus{};
    ASSERT_EQ(c->lpVtbl->getBusInfo(c, Steinberg_Vst_MediaTypes_kAudio, Steinberg_Vst_BusDirections_kOutput, 0, &bus),
              Steinberg_kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(narrow(bus.name), "Deck");
    ASSERT_EQ(c->lpVtbl->getBusInfo(c, Steinberg_Vst_MediaTypes_kEvent, Steinberg_Vst_BusDirections_kInput, 0, &bus),
              Steinberg_kResultOk);
    EXPECT_EQ(narrow(bus.name), "Keys");
    EXPECT_NE(c->lpVtbl->getBusInfo(c, Steinberg_Vst_MediaTypes_kEvent, Steinberg_Vst_BusDirections_kInput, 1, &bus),
              Steinberg_kResultOk);
    EXPECT_EQ(deck.processor->lpVtbl->canProcessSampleSize(deck.processor, Steinberg_Vst_SymbolicSampleSizes_kSample64),
              Steinberg_kResultFalse);
}

TEST_F(Vst3Module, PlaysAVst2StateAsTheVst2BuildDoesWithMidiAndAutomationOnTheirSamples) {
    const std::vector<uint8_t> state = formats::toneTrackState();
    formats::Vst2Reference vst2(TUNEDECK_FULL_SO);
    ASSERT_TRUE(vst2.load(state));
    const Instance deck = make();
    ASSERT_NE(deck.processor, nullptr);
    ASSERT_TRUE(startOffline(deck));
    ASSERT_TRUE(load(deck, state));
    ASSERT_TRUE(formats::waitForLength([&] { return display(deck, 2, value(deck, 2)); }));

    const std::vector<float> expected = vst2.render(formats::scriptedBlocks, formats::scriptedFrames, formats::scriptedEvents);
    const std::vector<float> got = render(deck, formats::scriptedBlocks, formats::scriptedFrames, formats::scriptedEvents);
    EXPECT_EQ(value(deck, 0), 1.0) << "playing";
    ASSERT_EQ(got.size(), expected.size());
    const formats::RenderComparison comparison = formats::compareRenders(got, expected);
    EXPECT_EQ(comparison.firstSound, 100u) << "the note's own sample";
    EXPECT_EQ(comparison.differing, 0u) << "sample for sample the VST 2 build's render";
    EXPECT_EQ(save(deck), vst2.save()) << "the state each keeps now is the same block";
}

TEST_F(Vst3Module, HostileStatesProcessDataAndCallsLeaveTheDeckAsItWas) {
    const Instance deck = make(1);
    ASSERT_NE(deck.processor, nullptr);
    const std::vector<uint8_t> good = formats::toneTrackState();
    ASSERT_TRUE(load(deck, good));
    const std::vector<uint8_t> before = save(deck);
    ASSERT_FALSE(before.empty());

    std::mt19937 random(31);
    std::vector<uint8_t> noise(5000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    EXPECT_FALSE(load(deck, noise));
    EXPECT_FALSE(load(deck, {}));
    EXPECT_FALSE(load(deck, {good.begin(), good.begin() + static_cast<long>(good.size() / 2)}));
    EXPECT_FALSE(load(deck, good, static_cast<int64_t>(good.size() / 2))) << "a stream that fails part way";
    EXPECT_NE(deck.component->lpVtbl->setState(deck.component, nullptr), Steinberg_kResultOk);
    EXPECT_NE(deck.component->lpVtbl->getState(deck.component, nullptr), Steinberg_kResultOk);
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> flipped = good;
        flipped[random() % flipped.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        load(deck, flipped); // may be taken if the flip hit a path; must never crash
    }
    ASSERT_TRUE(load(deck, good));
    EXPECT_EQ(save(deck), before);

    // Wild process data: ids, offsets and pitches out of range, a NaN
    // value, a NaN tempo, missing buffers, no outputs, a flush.
    Steinberg_Vst_ProcessSetup wildSetup{Steinberg_Vst_ProcessModes_kRealtime, Steinberg_Vst_SymbolicSampleSizes_kSample32,
                                         64, std::nan("")};
    EXPECT_NE(deck.processor->lpVtbl->setupProcessing(deck.processor, &wildSetup), Steinberg_kResultOk);
    EXPECT_NE(deck.processor->lpVtbl->setupProcessing(deck.processor, nullptr), Steinberg_kResultOk);
    ASSERT_TRUE(startOffline(deck));
    Changes changes;
    changes.add(12345, 3, 0.5);
    changes.add(10, 100000, std::nan(""));
    changes.add(14, -7, 1e300);
    Events notes;
    notes.noteOn(-40, 4000, 1.0f);
    notes.noteOn(1 << 30, 27, std::nanf(""));
    Steinberg_Vst_ProcessContext context{};
    context.state = Steinberg_Vst_ProcessContext_StatesAndFlags_kTempoValid |
                    Steinberg_Vst_ProcessContext_StatesAndFlags_kProjectTimeMusicValid |
                    Steinberg_Vst_ProcessContext_StatesAndFlags_kTimeSigValid;
    context.tempo = std::nan("");
    context.timeSigDenominator = 0;
    float left[64], right[64];
    float* channels[2] = {left, right};
    float* missing[2] = {nullptr, nullptr};
    Steinberg_Vst_AudioBusBuffers bus{};
    bus.numChannels = 2;
    bus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = channels;
    Steinberg_Vst_ProcessData data{};
    data.symbolicSampleSize = Steinberg_Vst_SymbolicSampleSizes_kSample32;
    data.numSamples = 64;
    data.numOutputs = 1;
    data.outputs = &bus;
    data.inputParameterChanges = changes.changes();
    data.inputEvents = notes.list();
    data.processContext = &context;
    EXPECT_EQ(deck.processor->lpVtbl->process(deck.processor, &data), Steinberg_kResultOk);
    EXPECT_EQ(value(deck, 10), 1.0) << "a NaN volume is no volume";
    EXPECT_EQ(value(deck, 14), 1.0) << "a wild value lands on the last step";
    bus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = missing;
    EXPECT_EQ(deck.processor->lpVtbl->process(deck.processor, &data), Steinberg_kResultOk);
    bus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = nullptr;
    EXPECT_EQ(deck.processor->lpVtbl->process(deck.processor, &data), Steinberg_kResultOk);
    data.numOutputs = 0;
    data.outputs = nullptr;
    data.inputEvents = nullptr;
    data.inputParameterChanges = nullptr;
    data.numSamples = -5;
    EXPECT_EQ(deck.processor->lpVtbl->process(deck.processor, &data), Steinberg_kResultOk);
    // A flush: no samples, a change that still acts.
    Changes flush;
    flush.add(10, 0, 0.25);
    data.numSamples = 0;
    data.inputParameterChanges = flush.changes();
    EXPECT_EQ(deck.processor->lpVtbl->process(deck.processor, &data), Steinberg_kResultOk);
    EXPECT_EQ(value(deck, 10), 0.25);
    // One output channel: the mix of both, in place.
    bus.numChannels = 1;
    bus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = channels;
    data.outputs = &bus;
    data.numOutputs = 1;
    data.numSamples = 64;
    EXPECT_EQ(deck.processor->lpVtbl->process(deck.processor, &data), Steinberg_kResultOk);
    EXPECT_NE(deck.processor->lpVtbl->process(deck.processor, nullptr), Steinberg_kResultOk);

    void* object = &object;
    const char unknown[16] = {9};
    EXPECT_EQ(deck.component->lpVtbl->queryInterface(deck.component, unknown, &object), Steinberg_kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(deck.controller->lpVtbl->createView(deck.controller, "nonsense"), nullptr);
    EXPECT_EQ(deck.controller->lpVtbl->createView(deck.controller, nullptr), nullptr);
    Steinberg_Vst_ParameterInfo info{};
    EXPECT_NE(deck.controller->lpVtbl->getParameterInfo(deck.controller, -1, &info), Steinberg_kResultOk);
    EXPECT_NE(deck.controller->lpVtbl->getParameterInfo(deck.controller, 0, nullptr), Steinberg_kResultOk);
}

// The editor in a host's window, idled on the host's run loop; a click on
// Play reaches the host's handler as an edit, and the handler's references
// are given back when the deck ends.
#if defined(_WIN32)
// The editor in a Windows host's window: no run loop there, the editor's
// own window carries its idle timer.
TEST_F(Vst3Module, TheEditorOpensInAWindowsHostsWindow) {
    const Instance deck = make();
    ASSERT_NE(deck.controller, nullptr);
    Steinberg_IPlugView* view = deck.controller->lpVtbl->createView(deck.controller, "editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->lpVtbl->isPlatformTypeSupported(view, "HWND"), Steinberg_kResultTrue);
    EXPECT_NE(view->lpVtbl->isPlatformTypeSupported(view, "X11EmbedWindowID"), Steinberg_kResultTrue);
    HWND parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(view->lpVtbl->attached(view, parent, "HWND"), Steinberg_kResultOk);
    HWND editor = GetWindow(parent, GW_CHILD);
    EXPECT_NE(editor, nullptr) << "the editor's window inside the host's";
    // The idle timer's messages come through the host's own loop.
    MSG message;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
    EXPECT_EQ(view->lpVtbl->removed(view), Steinberg_kResultOk);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    view->lpVtbl->release(view);
    DestroyWindow(parent);
    endAll();
}

#else
TEST_F(Vst3Module, TheEditorOpensInTheHostsWindowAndItsEditsReachTheHost) {
    Handler handler;
    Frame frame;
    {
        const Instance deck = make();
        ASSERT_NE(deck.controller, nullptr);
        ASSERT_EQ(deck.controller->lpVtbl->setComponentHandler(
                      deck.controller, reinterpret_cast<Steinberg_Vst_IComponentHandler*>(&handler)),
                  Steinberg_kResultOk);
        EXPECT_GT(handler.references, 0);
        Steinberg_IPlugView* view = deck.controller->lpVtbl->createView(deck.controller, "editor");
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->lpVtbl->isPlatformTypeSupported(view, "X11EmbedWindowID"), Steinberg_kResultTrue);
        EXPECT_NE(view->lpVtbl->isPlatformTypeSupported(view, "HWND"), Steinberg_kResultTrue);
        Steinberg_ViewRect size{};
        ASSERT_EQ(view->lpVtbl->getSize(view, &size), Steinberg_kResultOk);
        EXPECT_EQ(size.right - size.left, 256);
        EXPECT_EQ(size.bottom - size.top, 350);
        EXPECT_NE(view->lpVtbl->canResize(view), Steinberg_kResultTrue);
        // The host's scale: the size follows, and wild factors are refused.
        void* scaling = nullptr;
        ASSERT_EQ(view->lpVtbl->queryInterface(view, Steinberg_IPlugViewContentScaleSupport_iid, &scaling),
                  Steinberg_kResultOk);
        auto* scale = static_cast<Steinberg_IPlugViewContentScaleSupport*>(scaling);
        for (float wild : {0.0f, -2.0f, std::nanf("")})
            EXPECT_EQ(scale->lpVtbl->setContentScaleFactor(scale, wild), Steinberg_kInvalidArgument);
        ASSERT_EQ(scale->lpVtbl->setContentScaleFactor(scale, 2.0f), Steinberg_kResultOk);
        ASSERT_EQ(view->lpVtbl->getSize(view, &size), Steinberg_kResultOk);
        EXPECT_EQ(size.right - size.left, 512);
        EXPECT_EQ(size.bottom - size.top, 700);
        scale->lpVtbl->setContentScaleFactor(scale, 1.0f);
        scale->lpVtbl->release(scale);

        if (!X11HostWindow::available()) {
            view->lpVtbl->release(view);
            endAll(); // before the handler goes
            GTEST_SKIP() << "the window needs an X display that answers (run under xvfb-run)";
        }
        ASSERT_TRUE(load(deck, formats::toneTrackState()));
        ASSERT_TRUE(formats::waitForLength([&] { return display(deck, 2, value(deck, 2)); }));
        X11HostWindow parent;
        ASSERT_TRUE(parent.opened());
        ASSERT_EQ(view->lpVtbl->setFrame(view, reinterpret_cast<Steinberg_IPlugFrame*>(&frame)), Steinberg_kResultOk);
        void* parentId = parent.handle();
        EXPECT_NE(view->lpVtbl->attached(view, parentId, "HWND"), Steinberg_kResultOk);
        ASSERT_EQ(view->lpVtbl->attached(view, parentId, "X11EmbedWindowID"), Steinberg_kResultOk);
        ASSERT_EQ(frame.timers.size(), 1u) << "the editor idles on the host's run loop";
        EXPECT_GE(frame.timers[0].second, 10u);
        EXPECT_LE(frame.timers[0].second, 50u);
        const auto idle = [&](int times) {
            for (int i = 0; i < times && !frame.timers.empty(); ++i) {
                Steinberg_Linux_ITimerHandler* timer = frame.timers[0].first;
                timer->lpVtbl->onTimer(timer);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        };
        idle(40);
        EXPECT_EQ(parent.children(), 1u) << "the editor's window inside the host's";

        parent.clickPlay(idle);
        EXPECT_EQ(value(deck, 0), 1.0) << "the click reached Play";
        // A new scale while the window shows: the view asks the frame for
        // its new size.
        view->lpVtbl->queryInterface(view, Steinberg_IPlugViewContentScaleSupport_iid, &scaling);
        scale = static_cast<Steinberg_IPlugViewContentScaleSupport*>(scaling);
        scale->lpVtbl->setContentScaleFactor(scale, 1.5f);
        scale->lpVtbl->release(scale);
        idle(2);
        EXPECT_EQ(frame.resized, (std::vector<std::pair<int32_t, int32_t>>{{384, 525}}));
        bool told = false;
        for (const auto& [id, v] : handler.performed) told = told || (id == 0 && v == 1.0);
        EXPECT_TRUE(told) << "the host hears Playing's new value";
        EXPECT_EQ(handler.begun, handler.ended) << "every gesture begun is ended";

        EXPECT_EQ(view->lpVtbl->removed(view), Steinberg_kResultOk);
        EXPECT_TRUE(frame.timers.empty());
        EXPECT_EQ(parent.children(), 0u);
        view->lpVtbl->setFrame(view, nullptr);
        EXPECT_EQ(frame.references, 0) << "the frame and its run loop given back";
        view->lpVtbl->release(view);
        endAll(); // the deck ends here, while the handler still lives
    }
    EXPECT_EQ(handler.references, 0) << "the deck let go of the host's handler";
}

#endif

} // namespace
