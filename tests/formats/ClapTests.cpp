// The CLAP module as a host drives it, through its entry, factory and
// extensions only: both builds, their parameters, MIDI and automation on
// their samples against the VST 2 build, the one state both formats keep,
// hostile input, and the editor in a host's window.
#include <clap/clap.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <chrono>
#include <string>
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

// A host with what the deck asks of one: params (flush requests), state
// (dirty marks) and timers, whose registrations the test fires by hand.
struct ClapTestHost {
    clap_host_t host{};
    clap_host_params_t params{};
    clap_host_state_t state{};
    clap_host_timer_support_t timers{};
    clap_host_gui_t gui{};
    int flushRequests = 0;
    std::vector<std::pair<uint32_t, uint32_t>> resizes; // the sizes the editor asked for
    bool refuseResizes = false;
    std::vector<std::pair<uint32_t, clap_id>> registered;

    ClapTestHost() {
        host.clap_version = CLAP_VERSION;
        host.host_data = this;
        host.name = "tunedeck test host";
        host.vendor = "tunedeck";
        host.url = "";
        host.version = "1";
        host.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
            auto* self = static_cast<ClapTestHost*>(h->host_data);
            if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &self->params;
            if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &self->state;
            if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &self->timers;
            if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &self->gui;
            return nullptr;
        };
        host.request_restart = [](const clap_host_t*) {};
        host.request_process = [](const clap_host_t*) {};
        host.request_callback = [](const clap_host_t*) {};
        params.rescan = [](const clap_host_t*, clap_param_rescan_flags) {};
        params.clear = [](const clap_host_t*, clap_id, clap_param_clear_flags) {};
        params.request_flush = [](const clap_host_t* h) { ++static_cast<ClapTestHost*>(h->host_data)->flushRequests; };
        state.mark_dirty = [](const clap_host_t*) {};
        gui.resize_hints_changed = [](const clap_host_t*) {};
        gui.request_resize = [](const clap_host_t* h, uint32_t width, uint32_t height) {
            auto* self = static_cast<ClapTestHost*>(h->host_data);
            self->resizes.emplace_back(width, height);
            return !self->refuseResizes;
        };
        gui.request_show = [](const clap_host_t*) { return true; };
        gui.request_hide = [](const clap_host_t*) { return true; };
        gui.closed = [](const clap_host_t*, bool) {};
        timers.register_timer = [](const clap_host_t* h, uint32_t period, clap_id* id) {
            auto* self = static_cast<ClapTestHost*>(h->host_data);
            *id = static_cast<clap_id>(self->registered.size() + 7);
            self->registered.emplace_back(period, *id);
            return true;
        };
        timers.unregister_timer = [](const clap_host_t* h, clap_id id) {
            auto& list = static_cast<ClapTestHost*>(h->host_data)->registered;
            std::erase_if(list, [id](const auto& entry) { return entry.second == id; });
            return true;
        };
    }
};

// A block's events as the host hands them in, and what the plug-in sends.
struct EventList {
    std::vector<std::vector<uint8_t>> events;
    clap_input_events_t in{this, [](const clap_input_events_t* list) {
                               return static_cast<uint32_t>(static_cast<EventList*>(list->ctx)->events.size());
                           },
                           [](const clap_input_events_t* list, uint32_t index) -> const clap_event_header_t* {
                               auto& all = static_cast<EventList*>(list->ctx)->events;
                               return index < all.size() ? reinterpret_cast<const clap_event_header_t*>(all[index].data())
                                                         : nullptr;
                           }};
    std::vector<std::vector<uint8_t>> sent;
    clap_output_events_t out{this, [](const clap_output_events_t* list, const clap_event_header_t* event) {
                                 auto* bytes = reinterpret_cast<const uint8_t*>(event);
                                 static_cast<EventList*>(list->ctx)->sent.emplace_back(bytes, bytes + event->size);
                                 return true;
                             }};
    template <typename Event> void add(const Event& event) {
        auto* bytes = reinterpret_cast<const uint8_t*>(&event);
        events.emplace_back(bytes, bytes + sizeof event);
    }
    void add(const TimedEvent& e) {
        if (e.note >= 0) {
            clap_event_midi_t midi{};
            midi.header = {sizeof midi, static_cast<uint32_t>(e.frame), CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
            midi.data[0] = 0x90;
            midi.data[1] = static_cast<uint8_t>(e.note);
            midi.data[2] = 100;
            add(midi);
        } else {
            clap_event_param_value_t value{};
            value.header = {sizeof value, static_cast<uint32_t>(e.frame), CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            value.param_id = static_cast<clap_id>(e.parameter);
            value.note_id = value.port_index = value.channel = value.key = -1;
            value.value = e.value;
            add(value);
        }
    }
};

class ClapModule : public ::testing::Test {
protected:
    void SetUp() override {
        library = std::make_unique<LoadedLibrary>(TUNEDECK_CLAP);
        ASSERT_TRUE(library->loaded()) << library->error();
        entry = static_cast<const clap_plugin_entry_t*>(library->symbol("clap_entry"));
        ASSERT_NE(entry, nullptr);
        ASSERT_TRUE(entry->init(TUNEDECK_CLAP));
        factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
        ASSERT_NE(factory, nullptr);
    }
    void TearDown() override {
        for (const clap_plugin_t* plugin : made) plugin->destroy(plugin);
        if (entry) entry->deinit();
    }
    const clap_plugin_t* make(const char* id = "org.tunedeck.trakvox") {
        const clap_plugin_t* plugin = factory->create_plugin(factory, &testHost.host, id);
        if (!plugin) return nullptr;
        made.push_back(plugin);
        EXPECT_TRUE(plugin->init(plugin));
        return plugin;
    }
    template <typename Extension> const Extension* ext(const clap_plugin_t* plugin, const char* id) {
        return static_cast<const Extension*>(plugin->get_extension(plugin, id));
    }
    std::string display(const clap_plugin_t* plugin, clap_id id, double value) {
        char text[CLAP_NAME_SIZE] = {};
        if (!ext<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS)->value_to_text(plugin, id, value, text, sizeof text))
            return "(refused)";
        return text;
    }
    double value(const clap_plugin_t* plugin, clap_id id) {
        double v = -1;
        ext<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS)->get_value(plugin, id, &v);
        return v;
    }
    static bool save(const clap_plugin_t* plugin, const clap_plugin_state_t* state, std::vector<uint8_t>& bytes) {
        clap_ostream_t stream{&bytes, [](const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t {
                                  auto* to = static_cast<std::vector<uint8_t>*>(s->ctx);
                                  // A host that takes a little at a time.
                                  const uint64_t n = std::min<uint64_t>(size, 100);
                                  to->insert(to->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n);
                                  return static_cast<int64_t>(n);
                              }};
        return state->save(plugin, &stream);
    }
    struct Reader {
        const std::vector<uint8_t>* bytes;
        size_t at = 0;
        int64_t failAfter = -1; // a read error after this many bytes
    };
    static bool load(const clap_plugin_t* plugin, const clap_plugin_state_t* state, Reader reader) {
        clap_istream_t stream{&reader, [](const clap_istream_t* s, void* data, uint64_t size) -> int64_t {
                                  auto* r = static_cast<Reader*>(s->ctx);
                                  if (r->failAfter >= 0 && static_cast<int64_t>(r->at) >= r->failAfter) return -1;
                                  const uint64_t n = std::min<uint64_t>({size, r->bytes->size() - r->at, 77});
                                  if (n > 0) std::memcpy(data, r->bytes->data() + r->at, n);
                                  r->at += n;
                                  return static_cast<int64_t>(n);
                              }};
        return state->load(plugin, &stream);
    }
    // Blocks of frames at 48 kHz, offline; the left channel then the right, block after block.
    std::vector<float> render(const clap_plugin_t* plugin, int32_t blocks, uint32_t frames,
                              const std::function<std::vector<TimedEvent>(int32_t)>& events) {
        std::vector<float> out, left(frames), right(frames);
        for (int32_t b = 0; b < blocks; ++b) {
            EventList list;
            for (const TimedEvent& e : events(b)) list.add(e);
            float* channels[2] = {left.data(), right.data()};
            clap_audio_buffer_t buffer{channels, nullptr, 2, 0, 0};
            clap_process_t process{};
            process.frames_count = frames;
            process.steady_time = -1;
            process.audio_outputs = &buffer;
            process.audio_outputs_count = 1;
            process.in_events = &list.in;
            process.out_events = &list.out;
            EXPECT_EQ(plugin->process(plugin, &process), CLAP_PROCESS_CONTINUE);
            out.insert(out.end(), left.begin(), left.end());
            out.insert(out.end(), right.begin(), right.end());
        }
        return out;
    }
    bool startOffline(const clap_plugin_t* plugin) {
        ext<clap_plugin_render_t>(plugin, CLAP_EXT_RENDER)->set(plugin, CLAP_RENDER_OFFLINE);
        return plugin->activate(plugin, 48000.0, 1, 4096) && plugin->start_processing(plugin);
    }

    std::unique_ptr<LoadedLibrary> library;
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    ClapTestHost testHost;
    std::vector<const clap_plugin_t*> made;
};

TEST_F(ClapModule, OffersBothBuildsWithTheVst2BuildsParametersTextsAndPorts) {
    ASSERT_EQ(factory->get_plugin_count(factory), 2u);
    EXPECT_STREQ(factory->get_plugin_descriptor(factory, 0)->id, "org.tunedeck.trakvox");
    EXPECT_STREQ(factory->get_plugin_descriptor(factory, 1)->id, "org.tunedeck.trakvox-compact");
    EXPECT_EQ(factory->get_plugin_descriptor(factory, 2), nullptr);
    EXPECT_STREQ(factory->get_plugin_descriptor(factory, 0)->features[0], CLAP_PLUGIN_FEATURE_INSTRUMENT);
    EXPECT_EQ(factory->create_plugin(factory, &testHost.host, "org.tunedeck.none"), nullptr);
    EXPECT_EQ(factory->create_plugin(factory, &testHost.host, nullptr), nullptr);

    formats::Vst2Reference vst2(TUNEDECK_FULL_SO);
    ASSERT_NE(vst2.effect(), nullptr);
    const clap_plugin_t* plugin = make();
    ASSERT_NE(plugin, nullptr);
    const auto* params = ext<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(plugin), 18u);
    for (uint32_t i = 0; i < 18; ++i) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin, i, &info));
        char name[256] = {}, shown[256] = {};
        AEffect* e = vst2.effect();
        e->dispatcher(e, effGetParamName, static_cast<int32_t>(i), 0, name, 0.0f);
        e->dispatcher(e, effGetParamDisplay, static_cast<int32_t>(i), 0, shown, 0.0f);
        EXPECT_STREQ(info.name, name) << "the same names as the VST 2 build's, so sessions read alike";
        EXPECT_EQ(display(plugin, info.id, value(plugin, info.id)), shown) << name;
        EXPECT_EQ(value(plugin, info.id), info.default_value) << name << ": a fresh deck holds the defaults";
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
    }
    clap_param_info_t info{};
    EXPECT_FALSE(params->get_info(plugin, 18, &info));
    // Steps as whole numbers; texts of values the deck does not hold.
    EXPECT_EQ(display(plugin, 17, 9.0), "+3");
    EXPECT_EQ(display(plugin, 14, 3.0), "1 beat");
    EXPECT_EQ(display(plugin, 10, 0.0), "-inf dB");
    EXPECT_EQ(display(plugin, 3, 1.0), "+32.0 %");
    double parsed = 0;
    EXPECT_TRUE(params->text_to_value(plugin, 17, "-2", &parsed));
    EXPECT_EQ(parsed, 4.0);
    EXPECT_TRUE(params->text_to_value(plugin, 3, "+8 %", &parsed));
    EXPECT_NEAR(parsed, 0.625, 1e-6);
    for (const char* hostile : {"", "%", "nan", "1e999 dB", "\xff\xfe", "-", "2 parsecs"})
        EXPECT_FALSE(params->text_to_value(plugin, 10, hostile, &parsed)) << hostile;
    EXPECT_FALSE(params->text_to_value(plugin, 99, "1", &parsed));
    EXPECT_FALSE(params->text_to_value(plugin, 1, nullptr, &parsed));
    EXPECT_EQ(display(plugin, 99, 0.5), "(refused)");
    EXPECT_EQ(display(plugin, 10, std::nan("")), display(plugin, 10, 1.0));

    const auto* audio = ext<clap_plugin_audio_ports_t>(plugin, CLAP_EXT_AUDIO_PORTS);
    const auto* notes = ext<clap_plugin_note_ports_t>(plugin, CLAP_EXT_NOTE_PORTS);
    ASSERT_TRUE(audio && notes);
    EXPECT_EQ(audio->count(plugin, true), 0u);
    clap_audio_port_info_t port{};
    ASSERT_TRUE(audio->get(plugin, 0, false, &port));
    EXPECT_EQ(port.channel_count, 2u);
    clap_note_port_info_t keys{};
    ASSERT_TRUE(notes->get(plugin, 0, true, &keys));
    EXPECT_TRUE(keys.supported_dialects & CLAP_NOTE_DIALECT_MIDI);
}

TEST_F(ClapModule, PlaysAVst2StateAsTheVst2BuildDoesWithMidiAndAutomationOnTheirSamples) {
    const std::vector<uint8_t> state = formats::toneTrackState();
    formats::Vst2Reference vst2(TUNEDECK_FULL_SO);
    ASSERT_TRUE(vst2.load(state));
    const clap_plugin_t* plugin = make();
    ASSERT_NE(plugin, nullptr);
    const auto* keep = ext<clap_plugin_state_t>(plugin, CLAP_EXT_STATE);
    ASSERT_TRUE(startOffline(plugin));
    ASSERT_TRUE(load(plugin, keep, {&state}));
    ASSERT_TRUE(formats::waitForLength([&] { return display(plugin, 2, value(plugin, 2)); }));

    const std::vector<float> expected = vst2.render(formats::scriptedBlocks, formats::scriptedFrames, formats::scriptedEvents);
    const std::vector<float> got = render(plugin, formats::scriptedBlocks, formats::scriptedFrames, formats::scriptedEvents);
    EXPECT_EQ(value(plugin, 0), 1.0) << "playing";
    ASSERT_EQ(got.size(), expected.size());
    const formats::RenderComparison comparison = formats::compareRenders(got, expected);
    EXPECT_EQ(comparison.firstSound, 100u) << "the note's own sample";
    EXPECT_EQ(comparison.differing, 0u) << "sample for sample the VST 2 build's render";

    // The state each keeps now is the same block.
    std::vector<uint8_t> saved;
    ASSERT_TRUE(save(plugin, keep, saved));
    EXPECT_EQ(saved, vst2.save());
}

TEST_F(ClapModule, HostileStatesEventsAndCallsLeaveTheDeckAsItWas) {
    const clap_plugin_t* plugin = make("org.tunedeck.trakvox-compact");
    ASSERT_NE(plugin, nullptr);
    const auto* keep = ext<clap_plugin_state_t>(plugin, CLAP_EXT_STATE);
    const std::vector<uint8_t> good = formats::toneTrackState();
    ASSERT_TRUE(load(plugin, keep, {&good}));
    std::vector<uint8_t> before;
    ASSERT_TRUE(save(plugin, keep, before));

    std::mt19937 random(31);
    std::vector<uint8_t> noise(5000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    const std::vector<uint8_t> empty, cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    EXPECT_FALSE(load(plugin, keep, {&noise}));
    EXPECT_FALSE(load(plugin, keep, {&empty}));
    EXPECT_FALSE(load(plugin, keep, {&cut}));
    EXPECT_FALSE(load(plugin, keep, {&good, 0, static_cast<int64_t>(good.size() / 2)})) << "a stream that fails part way";
    std::vector<uint8_t> flipped = good;
    for (int i = 0; i < 200; ++i) {
        flipped = good;
        flipped[random() % flipped.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        load(plugin, keep, {&flipped}); // may be taken if the flip hit a path; must never crash
    }
    ASSERT_TRUE(load(plugin, keep, {&good}));
    std::vector<uint8_t> after;
    ASSERT_TRUE(save(plugin, keep, after));
    EXPECT_EQ(after, before);

    // Events with wrong sizes, unknown ids, times past the block, keys out of range.
    ASSERT_TRUE(startOffline(plugin));
    EventList list;
    clap_event_param_value_t wild{};
    wild.header = {sizeof wild, 100000, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    wild.param_id = 12345;
    list.add(wild);
    wild.param_id = 10;
    wild.value = std::nan("");
    list.add(wild);
    clap_event_note_t note{};
    note.header = {sizeof note, 3, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
    note.key = 4000;
    list.add(note);
    clap_event_header_t shortEvent{4, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
    list.add(shortEvent);
    float left[64], right[64];
    float* channels[2] = {left, right};
    clap_audio_buffer_t buffer{channels, nullptr, 2, 0, 0};
    clap_process_t process{};
    process.frames_count = 64;
    process.audio_outputs = &buffer;
    process.audio_outputs_count = 1;
    process.in_events = &list.in;
    process.out_events = &list.out;
    EXPECT_EQ(plugin->process(plugin, &process), CLAP_PROCESS_CONTINUE);
    process.audio_outputs_count = 0;
    process.in_events = nullptr;
    EXPECT_EQ(plugin->process(plugin, &process), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(plugin->process(plugin, nullptr), CLAP_PROCESS_ERROR);
    EXPECT_EQ(value(plugin, 10), 1.0) << "a NaN volume is no volume";
    EXPECT_FALSE(plugin->activate(plugin, std::nan(""), 1, 64));
    EXPECT_EQ(plugin->get_extension(plugin, "clap.none"), nullptr);
}

#if defined(_WIN32)
// The editor in a Windows host's window, idled by the host's timer.
TEST_F(ClapModule, TheEditorOpensInAWindowsHostsWindow) {
    const clap_plugin_t* plugin = make();
    ASSERT_NE(plugin, nullptr);
    const auto* gui = ext<clap_plugin_gui_t>(plugin, CLAP_EXT_GUI);
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_WIN32, false));
    EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
    HWND parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_WIN32, false));
    ASSERT_EQ(testHost.registered.size(), 1u) << "the editor idles on the host's timer";
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_WIN32;
    window.win32 = parent;
    ASSERT_TRUE(gui->set_parent(plugin, &window));
    const auto* timer = ext<clap_plugin_timer_support_t>(plugin, CLAP_EXT_TIMER_SUPPORT);
    for (int i = 0; i < 10; ++i) timer->on_timer(plugin, testHost.registered[0].second);
    EXPECT_NE(GetWindow(parent, GW_CHILD), nullptr) << "the editor's window inside the host's";
    gui->destroy(plugin);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    EXPECT_TRUE(testHost.registered.empty());
    DestroyWindow(parent);
}

#else
// The editor in a host's window, idled by the host's timer; a click on Play
// reaches the host as a gesture when it flushes (it is not processing).
TEST_F(ClapModule, TheEditorOpensInTheHostsWindowAndItsEditsReachTheHost) {
    const clap_plugin_t* plugin = make();
    ASSERT_NE(plugin, nullptr);
    const auto* gui = ext<clap_plugin_gui_t>(plugin, CLAP_EXT_GUI);
    ASSERT_NE(gui, nullptr);
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(plugin, &api, &floating));
    EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
    EXPECT_FALSE(floating);
    EXPECT_FALSE(gui->create(plugin, CLAP_WINDOW_API_X11, true)) << "no floating window of its own";
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->get_size(plugin, &width, &height));
    EXPECT_EQ(width, 256u);
    EXPECT_EQ(height, 350u);
    // At the host's scale of 2 the window is twice the size; wild scales
    // are refused.
    EXPECT_FALSE(gui->set_scale(plugin, std::nan("")));
    EXPECT_FALSE(gui->set_scale(plugin, -1.0));
    ASSERT_TRUE(gui->set_scale(plugin, 2.0));
    ASSERT_TRUE(gui->get_size(plugin, &width, &height));
    EXPECT_EQ(width, 512u);
    EXPECT_EQ(height, 700u);
    EXPECT_TRUE(gui->can_resize(plugin) == false && gui->adjust_size(plugin, &width, &height));
    EXPECT_EQ(width, 512u);

    if (!X11HostWindow::available())
        GTEST_SKIP() << "the window needs an X display that answers (run under xvfb-run)";
    const std::vector<uint8_t> state = formats::toneTrackState();
    ASSERT_TRUE(load(plugin, ext<clap_plugin_state_t>(plugin, CLAP_EXT_STATE), {&state}));
    ASSERT_TRUE(formats::waitForLength([&] { return display(plugin, 2, value(plugin, 2)); }));
    X11HostWindow parent;
    ASSERT_TRUE(parent.opened());
    ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
    ASSERT_EQ(testHost.registered.size(), 1u) << "the editor idles on the host's timer";
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = parent.id();
    ASSERT_TRUE(gui->set_parent(plugin, &window));
    ASSERT_TRUE(gui->show(plugin));
    const auto* timer = ext<clap_plugin_timer_support_t>(plugin, CLAP_EXT_TIMER_SUPPORT);
    const auto idle = [&](int times) {
        for (int i = 0; i < times; ++i) {
            timer->on_timer(plugin, testHost.registered[0].second);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    idle(40);
    EXPECT_EQ(parent.children(), 1u) << "the editor's window inside the host's";
    EXPECT_EQ(parent.childSize(), (std::pair<int, int>{512, 700})) << "at the host's scale";
    parent.clickPlay(idle, 2);
    EXPECT_EQ(value(plugin, 0), 1.0) << "the click at the doubled place reached Play";
    // A new scale while the window shows: the host is asked for the size.
    ASSERT_TRUE(gui->set_scale(plugin, 1.5));
    idle(2);
    EXPECT_EQ(testHost.resizes, (std::vector<std::pair<uint32_t, uint32_t>>{{384, 525}}));
    EXPECT_EQ(parent.childSize(), (std::pair<int, int>{384, 525}));
    // A person's size that the host refuses is not taken: a right click on
    // the title (layout 20, 10) asks for 100 % and stays at 150 %.
    testHost.refuseResizes = true;
    parent.rightClick(30, 15, idle);
    EXPECT_EQ(testHost.resizes.size(), 2u) << "the host was asked";
    EXPECT_EQ(parent.childSize(), (std::pair<int, int>{384, 525})) << "and refused";
    uint32_t shownWidth = 0, shownHeight = 0;
    gui->get_size(plugin, &shownWidth, &shownHeight);
    EXPECT_EQ(shownWidth, 384u) << "the size the host keeps is the one reported";
    EXPECT_GT(testHost.flushRequests, 0) << "a host not processing is asked to flush";
    EventList list;
    ext<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS)->flush(plugin, &list.in, &list.out);
    bool told = false;
    for (const auto& bytes : list.sent) {
        const auto* header = reinterpret_cast<const clap_event_header_t*>(bytes.data());
        if (header->type != CLAP_EVENT_PARAM_VALUE) continue;
        const auto* event = reinterpret_cast<const clap_event_param_value_t*>(header);
        told = told || (event->param_id == 0 && event->value == 1.0);
    }
    EXPECT_TRUE(told) << "the host hears Playing's new value";

    gui->destroy(plugin);
    EXPECT_TRUE(testHost.registered.empty());
    EXPECT_EQ(parent.children(), 0u);
}

#endif

} // namespace
