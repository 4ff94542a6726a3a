// The LV2 bundle as a host loads it through lilv: its description, a state
// holding a track restored and rendered offline with MIDI at its frames,
// sample for sample as the VST 2 build renders it; hostile states and
// values; and its UI, the deck's editor, in a host's window.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/formats/Vst2Reference.h"
#include "tests/support/LoadedLibrary.h"

#include "tests/formats/X11HostWindow.h"

namespace {

using formats::TimedEvent;
constexpr uint32_t firstControl = 3, controlCount = 18, freeWheel = firstControl + controlCount;

// URIs as numbers, as a host maps them.
struct UridMap {
    std::vector<std::string> uris;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
                         auto& list = static_cast<UridMap*>(handle)->uris;
                         for (size_t i = 0; i < list.size(); ++i)
                             if (list[i] == uri) return static_cast<LV2_URID>(i + 1);
                         list.emplace_back(uri);
                         return static_cast<LV2_URID>(list.size());
                     }};
    LV2_URID operator()(const char* uri) { return map.map(this, uri); }
};

// A state as a host keeps it: key, bytes and type.
struct StoredState {
    LV2_URID key = 0, type = 0;
    std::vector<uint8_t> bytes;
};

class Lv2Bundle : public ::testing::Test {
protected:
    void SetUp() override {
        world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, TUNEDECK_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, "urn:tunedeck:trakvox");
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        ASSERT_NE(plugin, nullptr);
    }
    void TearDown() override {
        if (instance) lilv_instance_free(instance);
        lilv_world_free(world);
    }
    void instantiate() {
        instance = lilv_plugin_instantiate(plugin, 48000.0, features);
        ASSERT_NE(instance, nullptr);
        for (uint32_t i = 0; i < controlCount; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, firstControl + i);
            LilvNode* fallback = nullptr;
            lilv_port_get_range(plugin, port, &fallback, nullptr, nullptr);
            controls[i] = fallback ? lilv_node_as_float(fallback) : 0.0f;
            lilv_node_free(fallback);
            lilv_instance_connect_port(instance, firstControl + i, &controls[i]);
        }
        freeWheeling = 1.0f; // an export
        lilv_instance_connect_port(instance, freeWheel, &freeWheeling);
        lilv_instance_activate(instance);
    }
    const LV2_State_Interface* stateInterface() {
        return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    }
    LV2_State_Status restore(const StoredState& state) {
        return stateInterface()->restore(
            lilv_instance_get_handle(instance),
            [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
                const auto* s = static_cast<const StoredState*>(handle);
                if (key != s->key) return nullptr;
                *size = s->bytes.size();
                *type = s->type;
                *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
                return s->bytes.data();
            },
            const_cast<StoredState*>(&state), 0, features);
    }
    StoredState save() {
        StoredState saved;
        stateInterface()->save(lilv_instance_get_handle(instance),
                               [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t) {
                                   auto* s = static_cast<StoredState*>(handle);
                                   s->key = key;
                                   s->type = type;
                                   s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
                                   return LV2_STATE_SUCCESS;
                               },
                               &saved, 0, features);
        return saved;
    }
    StoredState chunk(const std::vector<uint8_t>& bytes) {
        return {urids("urn:tunedeck:trakvox#state"), urids(LV2_ATOM__Chunk), bytes};
    }
    // Blocks of frames: MIDI in the atom sequence at its frames, a port's
    // change splitting the block there (as hosts run automation).
    std::vector<float> render(int32_t blocks, uint32_t frames, const std::function<std::vector<TimedEvent>(int32_t)>& events) {
        std::vector<float> out, left(frames), right(frames);
        alignas(8) uint8_t buffer[8192];
        for (int32_t b = 0; b < blocks; ++b) {
            const std::vector<TimedEvent> all = events(b);
            uint32_t done = 0;
            const auto runTo = [&](uint32_t end) {
                if (end <= done) return;
                // The sequence of MIDI events within [done, end).
                auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(buffer);
                sequence->atom.type = urids(LV2_ATOM__Sequence);
                sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
                sequence->body.unit = 0;
                sequence->body.pad = 0;
                for (const TimedEvent& e : all) {
                    if (e.note < 0 || static_cast<uint32_t>(e.frame) < done || static_cast<uint32_t>(e.frame) >= end) continue;
                    auto* event = reinterpret_cast<LV2_Atom_Event*>(buffer + sizeof(LV2_Atom) + sequence->atom.size);
                    event->time.frames = e.frame - done;
                    event->body.type = urids(LV2_MIDI__MidiEvent);
                    event->body.size = 3;
                    auto* midi = reinterpret_cast<uint8_t*>(event + 1);
                    midi[0] = 0x90;
                    midi[1] = static_cast<uint8_t>(e.note);
                    midi[2] = 100;
                    sequence->atom.size += lv2_atom_pad_size(sizeof(LV2_Atom_Event) + 3);
                }
                lilv_instance_connect_port(instance, 0, sequence);
                lilv_instance_connect_port(instance, 1, left.data() + done);
                lilv_instance_connect_port(instance, 2, right.data() + done);
                lilv_instance_run(instance, end - done);
                done = end;
            };
            for (const TimedEvent& e : all) {
                if (e.parameter < 0) continue;
                runTo(static_cast<uint32_t>(e.frame));
                controls[e.parameter] = e.value; // the tests' switches and continuous values read alike
            }
            runTo(frames);
            out.insert(out.end(), left.begin(), left.end());
            out.insert(out.end(), right.begin(), right.end());
        }
        return out;
    }
    UridMap urids;
    LV2_Feature mapFeature{LV2_URID__map, &urids.map};
    const LV2_Feature* features[2] = {&mapFeature, nullptr};
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    float controls[controlCount] = {};
    float freeWheeling = 0.0f;
};

TEST_F(Lv2Bundle, RestoresAVst2StateAndRendersItAsTheVst2BuildDoes) {
    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), 22u);
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ(lilv_node_as_string(name), "Trakvox");
    lilv_node_free(name);
    formats::Vst2Reference vst2(TUNEDECK_FULL_SO);
    for (uint32_t i = 0; i < controlCount; ++i) {
        char shown[256] = {};
        vst2.effect()->dispatcher(vst2.effect(), effGetParamName, static_cast<int32_t>(i), 0, shown, 0.0f);
        LilvNode* portName = lilv_port_get_name(plugin, lilv_plugin_get_port_by_index(plugin, firstControl + i));
        EXPECT_STREQ(lilv_node_as_string(portName), shown);
        lilv_node_free(portName);
    }

    const std::vector<uint8_t> state = formats::toneTrackState();
    ASSERT_TRUE(vst2.load(state));
    instantiate();
    ASSERT_EQ(restore(chunk(state)), LV2_STATE_SUCCESS);
    const std::vector<float> expected = vst2.render(formats::scriptedBlocks, formats::scriptedFrames, formats::scriptedEvents);
    const std::vector<float> got = render(formats::scriptedBlocks, formats::scriptedFrames, formats::scriptedEvents);
    ASSERT_EQ(got.size(), expected.size());
    const formats::RenderComparison comparison = formats::compareRenders(got, expected);
    EXPECT_EQ(comparison.firstSound, 100u) << "the note's own sample";
    EXPECT_EQ(comparison.differing, 0u) << "sample for sample the VST 2 build's render";
    const StoredState saved = save();
    EXPECT_EQ(saved.type, urids(LV2_ATOM__Chunk));
    EXPECT_EQ(saved.bytes, vst2.save()) << "the one state every format keeps";
}

TEST_F(Lv2Bundle, HostileStatesAndValuesLeaveTheDeckAsItWas) {
    instantiate();
    const std::vector<uint8_t> good = formats::toneTrackState();
    ASSERT_EQ(restore(chunk(good)), LV2_STATE_SUCCESS);
    const std::vector<uint8_t> before = save().bytes;
    std::vector<uint8_t> noise(3000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
    EXPECT_NE(restore(chunk(noise)), LV2_STATE_SUCCESS);
    EXPECT_NE(restore(chunk({})), LV2_STATE_SUCCESS);
    EXPECT_NE(restore(chunk(std::vector<uint8_t>(good.begin(), good.begin() + 40))), LV2_STATE_SUCCESS);
    StoredState wrongType = chunk(good);
    wrongType.type = urids(LV2_ATOM__String);
    EXPECT_EQ(restore(wrongType), LV2_STATE_ERR_BAD_TYPE);
    EXPECT_EQ(restore(StoredState{}), LV2_STATE_ERR_NO_PROPERTY);
    EXPECT_EQ(save().bytes, before);

    // Wild port values and no buffers: silence or the values held, no crash.
    controls[10] = std::nanf("");
    controls[3] = 1e30f;
    controls[14] = -7.0f;
    lilv_instance_connect_port(instance, 0, nullptr);
    lilv_instance_connect_port(instance, 1, nullptr);
    lilv_instance_run(instance, 64);
    float left[64], right[64];
    lilv_instance_connect_port(instance, 1, left);
    lilv_instance_connect_port(instance, 2, right);
    alignas(8) uint8_t lying[64] = {};
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(lying);
    sequence->atom.size = 4; // shorter than a sequence's body
    lilv_instance_connect_port(instance, 0, sequence);
    lilv_instance_run(instance, 64);
    for (float sample : left) EXPECT_TRUE(std::isfinite(sample));
    LilvInstance* refused = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
    EXPECT_EQ(refused, nullptr) << "no URID map: no instance";
}

// The UI: the instance's editor in the host's window; a click on Play is
// written to the Playing port, as the host's control.
TEST_F(Lv2Bundle, TheEditorOpensInTheHostsWindowAndWritesItsEditsToThePorts) {
    if (!X11HostWindow::available()) GTEST_SKIP() << "the window needs an X display that answers (run under xvfb-run)";
    instantiate();
    const std::vector<uint8_t> good = formats::toneTrackState();
    ASSERT_EQ(restore(chunk(good)), LV2_STATE_SUCCESS);
    LoadedLibrary library(TUNEDECK_LV2_BUNDLE "/tunedeck.so");
    auto uiEntry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(library.symbol("lv2ui_descriptor"));
    ASSERT_NE(uiEntry, nullptr);
    const LV2UI_Descriptor* ui = uiEntry(0);
    ASSERT_NE(ui, nullptr);
    EXPECT_STREQ(ui->URI, "urn:tunedeck:trakvox#ui");
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);

    X11HostWindow parent;
    ASSERT_TRUE(parent.opened());
    struct Written {
        uint32_t port;
        float value;
    };
    std::vector<Written> written;
    LV2_Feature parentFeature{LV2_UI__parent, parent.handle()};
    LV2_Feature access{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance)};
    // The host at 200 %, and the sizes the UI asks it for.
    const LV2_URID scaleFactor = urids.map.map(urids.map.handle, LV2_UI__scaleFactor);
    const LV2_URID atomFloat = urids.map.map(urids.map.handle, LV2_ATOM__Float);
    float twice = 2.0f;
    const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, scaleFactor, sizeof(float), atomFloat, &twice},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    std::vector<std::pair<int, int>> resizes;
    LV2UI_Resize resize{&resizes, [](LV2UI_Feature_Handle handle, int width, int height) {
                            static_cast<std::vector<std::pair<int, int>>*>(handle)->emplace_back(width, height);
                            return 0;
                        }};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* uiFeatures[] = {&mapFeature, &parentFeature, &access, &optionsFeature, &resizeFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle handle = ui->instantiate(
        ui, "urn:tunedeck:trakvox", TUNEDECK_LV2_BUNDLE "/",
        [](LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
            if (size == sizeof(float) && protocol == 0)
                static_cast<std::vector<Written>*>(controller)->push_back({port, *static_cast<const float*>(buffer)});
        },
        &written, &widget, uiFeatures);
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(widget, nullptr) << "the editor's window";
    const auto idleFor = [&](int times) {
        for (int i = 0; i < times; ++i) {
            idle->idle(handle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    idleFor(40);
    EXPECT_EQ(parent.children(), 1u) << "the editor's window inside the host's";
    EXPECT_EQ(parent.childSize(), (std::pair<int, int>{512, 700})) << "at the host's ui:scaleFactor";
    EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{512, 700}}));
    parent.clickPlay(idleFor, 2);
    bool played = false;
    for (const Written& w : written) played = played || (w.port == firstControl && w.value == 1.0f);
    EXPECT_TRUE(played) << "Playing's port is written";
    // The host's scale changed while the window shows.
    const auto* optionsInterface =
        static_cast<const LV2_Options_Interface*>(ui->extension_data(LV2_OPTIONS__interface));
    ASSERT_NE(optionsInterface, nullptr);
    float smaller = 1.5f;
    const LV2_Options_Option changed[] = {{LV2_OPTIONS_INSTANCE, 0, scaleFactor, sizeof(float), atomFloat, &smaller},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    EXPECT_EQ(optionsInterface->set(handle, changed), LV2_OPTIONS_SUCCESS);
    idleFor(2);
    EXPECT_EQ(resizes.back(), (std::pair<int, int>{384, 525}));
    EXPECT_EQ(parent.childSize(), (std::pair<int, int>{384, 525}));
    ui->cleanup(handle);
    EXPECT_EQ(parent.children(), 0u) << "the editor's window is gone";
}

} // namespace
