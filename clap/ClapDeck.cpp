#include "clap/ClapDeck.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "editor/PlayerEditor.h"

namespace {
constexpr uint32_t idlePeriodMs = 30; // the editor's idle, as VST 2 hosts call it

bool validParameter(clap_id id) { return id < static_cast<clap_id>(Deck::parameterCount); }

#if defined(_WIN32)
constexpr const char* guiApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* guiApi = CLAP_WINDOW_API_X11;
#endif
} // namespace

ClapDeck::ClapDeck(const clap_host_t* clapHost, const clap_plugin_descriptor_t* descriptor,
                   const BuildProfile& profile, std::string folder)
    : PluginDeck(profile, std::move(folder)), host(clapHost) {
    clapPlugin.desc = descriptor;
    clapPlugin.plugin_data = this;
    clapPlugin.init = [](const clap_plugin_t* plugin) {
        ClapDeck& self = of(plugin);
        const clap_host_t* h = self.host;
        self.hostParams = static_cast<const clap_host_params_t*>(h->get_extension(h, CLAP_EXT_PARAMS));
        self.hostState = static_cast<const clap_host_state_t*>(h->get_extension(h, CLAP_EXT_STATE));
        self.hostTimers = static_cast<const clap_host_timer_support_t*>(h->get_extension(h, CLAP_EXT_TIMER_SUPPORT));
        if (self.hostTimers && (!self.hostTimers->register_timer || !self.hostTimers->unregister_timer))
            self.hostTimers = nullptr;
        self.hostGui = static_cast<const clap_host_gui_t*>(h->get_extension(h, CLAP_EXT_GUI));
        // The window drawn at a new scale (a person's choice, another
        // monitor) asks the host for its new size.
        self.editor().onResize = [&self](int32_t width, int32_t height) {
            return self.hostGui && self.hostGui->request_resize &&
                   self.hostGui->request_resize(self.host, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        };
        return true;
    };
    clapPlugin.destroy = [](const clap_plugin_t* plugin) { delete &of(plugin); };
    clapPlugin.activate = [](const clap_plugin_t* plugin, double rate, uint32_t, uint32_t) {
        if (!(rate > 0.0) || !std::isfinite(rate)) return false;
        of(plugin).setSampleRate(rate);
        return true;
    };
    clapPlugin.deactivate = [](const clap_plugin_t*) {};
    clapPlugin.start_processing = [](const clap_plugin_t* plugin) {
        of(plugin).processing = true;
        return true;
    };
    clapPlugin.stop_processing = [](const clap_plugin_t* plugin) { of(plugin).processing = false; };
    clapPlugin.reset = [](const clap_plugin_t*) {};
    clapPlugin.process = [](const clap_plugin_t* plugin, const clap_process_t* process) {
        return of(plugin).process(process);
    };
    clapPlugin.get_extension = extension;
    clapPlugin.on_main_thread = [](const clap_plugin_t*) {};
}

ClapDeck::~ClapDeck() {
    destroyGui();
    endDeck();
}

// A person's edits: queued for process or flush, and the host asked for a
// flush should it not be processing.
void ClapDeck::queue(const Gesture& gesture) {
    gestures.push(gesture);
    if (!processing && hostParams && hostParams->request_flush) hostParams->request_flush(host);
}

void ClapDeck::beginEdit(int32_t index) { queue({Gesture::Begin, index, 0.0f}); }
void ClapDeck::automate(int32_t index, float value) { queue({Gesture::Value, index, value}); }
void ClapDeck::endEdit(int32_t index) { queue({Gesture::End, index, 0.0f}); }

void ClapDeck::sendGestures(const clap_output_events_t* out) {
    Gesture gesture{};
    while (gestures.pop(gesture)) {
        if (!out || !out->try_push || !validParameter(static_cast<clap_id>(gesture.index))) continue;
        const clap_id id = static_cast<clap_id>(gesture.index);
        if (gesture.kind == Gesture::Value) {
            clap_event_param_value_t event{};
            event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            event.param_id = id;
            event.note_id = -1;
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = parameterShape(gesture.index).plainFromDeck(gesture.value);
            out->try_push(out, &event.header);
        } else {
            clap_event_param_gesture_t event{};
            const uint16_t type = gesture.kind == Gesture::Begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END;
            event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, type, 0};
            event.param_id = id;
            out->try_push(out, &event.header);
        }
    }
}

void ClapDeck::takeEvents(const clap_input_events_t* events, uint32_t frames) {
    if (!events || !events->size || !events->get) return;
    const uint32_t count = events->size(events);
    for (uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* header = events->get(events, i);
        if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID) continue;
        const int32_t frame = static_cast<int32_t>(std::min(header->time, frames));
        switch (header->type) {
        case CLAP_EVENT_PARAM_VALUE: {
            if (header->size < sizeof(clap_event_param_value_t)) break;
            const auto* event = reinterpret_cast<const clap_event_param_value_t*>(header);
            if (!validParameter(event->param_id)) break;
            const int32_t index = static_cast<int32_t>(event->param_id);
            deck().takeParameter(AudioThread::claim(), frame, index, parameterShape(index).deckFromPlain(event->value));
            break;
        }
        case CLAP_EVENT_NOTE_ON: {
            if (header->size < sizeof(clap_event_note_t)) break;
            const auto* event = reinterpret_cast<const clap_event_note_t*>(header);
            if (event->key < 0 || event->key > 127) break;
            const long velocity = std::lround(std::clamp(event->velocity, 0.0, 1.0) * 127.0);
            const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(event->key), static_cast<uint8_t>(std::max(velocity, 1L))};
            deck().takeMidi(AudioThread::claim(), frame, bytes);
            break;
        }
        case CLAP_EVENT_MIDI: {
            if (header->size < sizeof(clap_event_midi_t)) break;
            const auto* event = reinterpret_cast<const clap_event_midi_t*>(header);
            deck().takeMidi(AudioThread::claim(), frame, event->data);
            break;
        }
        default: break;
        }
    }
}

void ClapDeck::readTransport(const clap_event_transport_t* transport) {
    constexpr uint32_t needed = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE;
    if (!transport || (transport->flags & needed) != needed) {
        setHostTime(nullptr);
        return;
    }
    HostTime time;
    time.tempo = transport->tempo;
    time.ppqPos = static_cast<double>(transport->song_pos_beats) / CLAP_BEATTIME_FACTOR;
    time.barStartPos = static_cast<double>(transport->bar_start) / CLAP_BEATTIME_FACTOR;
    time.rolling = (transport->flags & CLAP_TRANSPORT_IS_PLAYING) != 0;
    time.barQuarters = 4.0;
    if ((transport->flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) && transport->tsig_num > 0 && transport->tsig_denom > 0)
        time.barQuarters = 4.0 * transport->tsig_num / transport->tsig_denom;
    setHostTime(&time);
}

clap_process_status ClapDeck::process(const clap_process_t* process) {
    if (!process) return CLAP_PROCESS_ERROR;
    const uint32_t frames = process->frames_count;
    readTransport(process->transport);
    takeEvents(process->in_events, frames);
    sendGestures(process->out_events);
    float* left = nullptr;
    float* right = nullptr;
    if (process->audio_outputs && process->audio_outputs_count > 0 && process->audio_outputs[0].data32) {
        const clap_audio_buffer_t& out = process->audio_outputs[0];
        if (out.channel_count >= 1) left = out.data32[0];
        right = out.channel_count >= 2 ? out.data32[1] : left;
    }
    if (!left || !right || frames > static_cast<uint32_t>(INT32_MAX)) {
        // No outputs: the events still act.
        render(nullptr, nullptr, 0);
        return CLAP_PROCESS_CONTINUE;
    }
    render(left, right, static_cast<int32_t>(frames));
    process->audio_outputs[0].constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
}

bool ClapDeck::createGui(const char* api, bool floating) {
    if (floating || !api || std::strcmp(api, guiApi) != 0 || guiCreated) return false;
    guiCreated = true;
    if (hostTimers && !hostTimers->register_timer(host, idlePeriodMs, &idleTimer)) idleTimer = CLAP_INVALID_ID;
    return true;
}

void ClapDeck::destroyGui() {
    if (!guiCreated) return;
    editor().close();
    if (hostTimers && idleTimer != CLAP_INVALID_ID) hostTimers->unregister_timer(host, idleTimer);
    idleTimer = CLAP_INVALID_ID;
    guiCreated = false;
}

bool ClapDeck::setParent(const clap_window_t* window) {
    if (!guiCreated || !window || !window->api || std::strcmp(window->api, guiApi) != 0) return false;
#if defined(_WIN32)
    void* parent = window->win32;
#else
    void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(window->x11));
#endif
    if (!parent) return false;
    editor().close(); // a new parent takes the window from the old one
    return editor().open(parent);
}

namespace {
// A stream's bytes, read to its end (a state of any length a host hands in).
bool readAll(const clap_istream_t* stream, std::vector<uint8_t>& bytes) {
    constexpr size_t limit = 64u << 20; // far above any state the deck writes
    uint8_t buffer[16384];
    for (;;) {
        const int64_t got = stream->read(stream, buffer, sizeof buffer);
        if (got < 0 || got > static_cast<int64_t>(sizeof buffer)) return false;
        if (got == 0) return true;
        if (bytes.size() + static_cast<size_t>(got) > limit) return false;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool writeAll(const clap_ostream_t* stream, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t wrote = stream->write(stream, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

void copyText(char* to, size_t room, const char* text) {
    if (!to || room == 0) return;
    std::snprintf(to, room, "%s", text ? text : "");
}
} // namespace

const void* ClapDeck::extension(const clap_plugin_t*, const char* id) {
    if (!id) return nullptr;
    static const clap_plugin_audio_ports_t audioPorts{
        [](const clap_plugin_t*, bool input) -> uint32_t { return input ? 0 : 1; },
        [](const clap_plugin_t*, uint32_t index, bool input, clap_audio_port_info_t* info) {
            if (input || index != 0 || !info) return false;
            *info = clap_audio_port_info_t{};
            info->id = 0;
            copyText(info->name, sizeof info->name, "Deck");
            info->flags = CLAP_AUDIO_PORT_IS_MAIN;
            info->channel_count = 2;
            info->port_type = CLAP_PORT_STEREO;
            info->in_place_pair = CLAP_INVALID_ID;
            return true;
        }};
    static const clap_plugin_note_ports_t notePorts{
        [](const clap_plugin_t*, bool input) -> uint32_t { return input ? 1 : 0; },
        [](const clap_plugin_t*, uint32_t index, bool input, clap_note_port_info_t* info) {
            if (!input || index != 0 || !info) return false;
            *info = clap_note_port_info_t{};
            info->id = 0;
            info->supported_dialects = CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI;
            info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
            copyText(info->name, sizeof info->name, "Keys");
            return true;
        }};
    static const clap_plugin_params_t params{
        [](const clap_plugin_t*) -> uint32_t { return Deck::parameterCount; },
        [](const clap_plugin_t*, uint32_t index, clap_param_info_t* info) {
            if (!info || index >= static_cast<uint32_t>(Deck::parameterCount)) return false;
            const int32_t i = static_cast<int32_t>(index);
            const ParameterShape& shape = parameterShape(i);
            *info = clap_param_info_t{};
            info->id = index;
            info->flags = CLAP_PARAM_IS_AUTOMATABLE;
            if (shape.steps > 0) info->flags |= CLAP_PARAM_IS_STEPPED;
            char name[Deck::parameterTextRoom] = {};
            Deck::valueName(i, name);
            copyText(info->name, sizeof info->name, name);
            copyText(info->module, sizeof info->module, shape.group);
            info->min_value = 0.0;
            info->max_value = shape.steps > 0 ? shape.steps : 1.0;
            info->default_value = shape.plainFromDeck(shape.defaultValue);
            return true;
        },
        [](const clap_plugin_t* plugin, clap_id id, double* value) {
            if (!value || !validParameter(id)) return false;
            const int32_t index = static_cast<int32_t>(id);
            *value = parameterShape(index).plainFromDeck(of(plugin).deck().valueOf(index));
            return true;
        },
        [](const clap_plugin_t* plugin, clap_id id, double value, char* display, uint32_t size) {
            if (!display || size == 0 || !validParameter(id)) return false;
            const int32_t index = static_cast<int32_t>(id);
            char text[Deck::parameterTextRoom] = {};
            of(plugin).deck().valueText(index, parameterShape(index).deckFromPlain(value), text);
            copyText(display, size, text);
            return true;
        },
        [](const clap_plugin_t* plugin, clap_id id, const char* display, double* value) {
            if (!display || !value || !validParameter(id)) return false;
            const int32_t index = static_cast<int32_t>(id);
            return of(plugin).deck().valueOfText(index, display, *value) &&
                   (*value = parameterShape(index).plainFromDeck(static_cast<float>(*value)), true);
        },
        [](const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out) {
            ClapDeck& self = of(plugin);
            // Not processing: the changes act now, on the thread the host flushes from.
            self.takeEvents(in, 0);
            self.render(nullptr, nullptr, 0);
            self.sendGestures(out);
        }};
    static const clap_plugin_state_t state{
        [](const clap_plugin_t* plugin, const clap_ostream_t* stream) {
            return stream && stream->write && writeAll(stream, of(plugin).saveState());
        },
        [](const clap_plugin_t* plugin, const clap_istream_t* stream) {
            std::vector<uint8_t> bytes;
            if (!stream || !stream->read || !readAll(stream, bytes)) return false;
            return of(plugin).loadState(bytes.data(), bytes.size());
        }};
    static const clap_plugin_gui_t gui{
        [](const clap_plugin_t*, const char* api, bool floating) {
            return !floating && api && std::strcmp(api, guiApi) == 0;
        },
        [](const clap_plugin_t*, const char** api, bool* floating) {
            if (!api || !floating) return false;
            *api = guiApi;
            *floating = false;
            return true;
        },
        [](const clap_plugin_t* plugin, const char* api, bool floating) { return of(plugin).createGui(api, floating); },
        [](const clap_plugin_t* plugin) { of(plugin).destroyGui(); },
        [](const clap_plugin_t* plugin, double scale) {
            if (!std::isfinite(scale) || scale <= 0.0) return false;
            of(plugin).editor().setHostScale(scale);
            return true;
        },
        [](const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
            if (!width || !height) return false;
            const Rect size = of(plugin).editor().windowSize();
            *width = static_cast<uint32_t>(size.width());
            *height = static_cast<uint32_t>(size.height());
            return true;
        },
        [](const clap_plugin_t*) { return false; },
        [](const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; },
        [](const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
            if (!width || !height) return false;
            const Rect size = of(plugin).editor().windowSize();
            *width = static_cast<uint32_t>(size.width());
            *height = static_cast<uint32_t>(size.height());
            return true;
        },
        [](const clap_plugin_t* plugin, uint32_t width, uint32_t height) {
            const Rect size = of(plugin).editor().windowSize();
            return width == static_cast<uint32_t>(size.width()) && height == static_cast<uint32_t>(size.height());
        },
        [](const clap_plugin_t* plugin, const clap_window_t* window) { return of(plugin).setParent(window); },
        [](const clap_plugin_t*, const clap_window_t*) { return false; },
        [](const clap_plugin_t*, const char*) {},
        [](const clap_plugin_t*) { return true; },
        [](const clap_plugin_t*) { return true; }};
    static const clap_plugin_timer_support_t timers{[](const clap_plugin_t* plugin, clap_id timer) {
        ClapDeck& self = of(plugin);
        if (timer == self.idleTimer) self.editor().idle();
    }};
    static const clap_plugin_latency_t latency{[](const clap_plugin_t*) -> uint32_t { return 0; }};
    static const clap_plugin_render_t renderMode{
        [](const clap_plugin_t*) { return false; },
        [](const clap_plugin_t* plugin, clap_plugin_render_mode mode) {
            of(plugin).setOffline(mode == CLAP_RENDER_OFFLINE);
            return true;
        }};
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &audioPorts;
    if (std::strcmp(id, CLAP_EXT_NOTE_PORTS) == 0) return &notePorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &state;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &gui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &timers;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latency;
    if (std::strcmp(id, CLAP_EXT_RENDER) == 0) return &renderMode;
    return nullptr;
}
