#include "lv2/Lv2Deck.h"

#include <cmath>
#include <limits>

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

Lv2Deck::Lv2Deck(const BuildProfile& profile, double rate, std::string folder, const LV2_URID_Map* map)
    : PluginDeck(profile, std::move(folder)) {
    setSampleRate(rate);
    const auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    uris = {id(LV2_MIDI__MidiEvent),   id(LV2_ATOM__Blank),          id(LV2_ATOM__Object),
            id(LV2_ATOM__Float),       id(LV2_ATOM__Double),         id(LV2_ATOM__Int),
            id(LV2_ATOM__Long),        id(LV2_ATOM__Chunk),          id(LV2_TIME__Position),
            id(LV2_TIME__bar),         id(LV2_TIME__barBeat),        id(LV2_TIME__beatsPerBar),
            id(LV2_TIME__beatUnit),    id(LV2_TIME__beatsPerMinute), id(LV2_TIME__speed),
            id(stateKey)};
    for (int32_t i = 0; i < Deck::parameterCount; ++i) seen[i] = std::numeric_limits<float>::quiet_NaN();
}

Lv2Deck::~Lv2Deck() { endDeck(); }

void Lv2Deck::connect(uint32_t port, void* data) {
    if (port == Events) events = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == Left) left = static_cast<float*>(data);
    else if (port == Right) right = static_cast<float*>(data);
    else if (port >= FirstControl && port < FreeWheel) controls[port - FirstControl] = static_cast<const float*>(data);
    else if (port == FreeWheel) freeWheel = static_cast<const float*>(data);
}

// A port's change acts at the block's start. The first block's values are
// what the host saved with the session: the position and the track have
// moved on by themselves since, and a reopened session waits stopped (as
// in every format), so those three count only once the host moves them.
void Lv2Deck::applyControls() {
    for (int32_t i = 0; i < Deck::parameterCount; ++i) {
        if (!controls[i]) continue;
        const float value = *controls[i];
        if (!std::isfinite(value) || value == seen[i]) continue;
        const bool first = std::isnan(seen[i]);
        seen[i] = value;
        if (first && (i == Deck::Position || i == Deck::Track || i == Deck::Playing)) continue;
        deck().takeParameter(AudioThread::claim(), 0, i, parameterShape(i).deckFromPlain(value));
    }
}

namespace {
bool number(const LV2_Atom* atom, LV2_URID f, LV2_URID d, LV2_URID i, LV2_URID l, double& value) {
    if (!atom) return false;
    if (atom->type == f && atom->size >= sizeof(float)) value = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    else if (atom->type == d && atom->size >= sizeof(double)) value = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    else if (atom->type == i && atom->size >= sizeof(int32_t)) value = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    else if (atom->type == l && atom->size >= sizeof(int64_t)) value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    else return false;
    return std::isfinite(value);
}
} // namespace

// time:Position: the bar and the beat in it, in the host's beat units.
void Lv2Deck::readTime(const LV2_Atom_Object* object) {
    const LV2_Atom *bar = nullptr, *barBeat = nullptr, *beatsPerBar = nullptr, *beatUnit = nullptr, *bpm = nullptr,
                   *speed = nullptr;
    lv2_atom_object_get(object, uris.timeBar, &bar, uris.timeBarBeat, &barBeat, uris.timeBeatsPerBar, &beatsPerBar,
                        uris.timeBeatUnit, &beatUnit, uris.timeBeatsPerMinute, &bpm, uris.timeSpeed, &speed, 0);
    const auto get = [this](const LV2_Atom* atom, double& value) {
        return number(atom, uris.atomFloat, uris.atomDouble, uris.atomInt, uris.atomLong, value);
    };
    double tempo = 0, barNumber = 0, beat = 0, perBar = 4, unit = 4, rolling = 0;
    if (!get(bpm, tempo) || !get(bar, barNumber) || !get(barBeat, beat)) {
        hostTimeKnown = false;
        return;
    }
    get(beatsPerBar, perBar);
    get(beatUnit, unit);
    get(speed, rolling);
    if (!(perBar > 0 && perBar <= 64) || !(unit > 0 && unit <= 64)) perBar = unit = 4;
    const double quarter = 4.0 / unit; // quarter notes a host beat lasts
    hostTime.tempo = tempo * quarter;  // quarter notes a minute
    hostTime.barQuarters = perBar * quarter;
    hostTime.barStartPos = barNumber * perBar * quarter;
    hostTime.ppqPos = hostTime.barStartPos + beat * quarter;
    hostTime.rolling = rolling != 0.0;
    hostSpeed = rolling;
    hostTimeKnown = true;
}

void Lv2Deck::readEvents(uint32_t frames) {
    if (!events || events->atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
    LV2_ATOM_SEQUENCE_FOREACH(events, event) {
        const int64_t at = std::clamp<int64_t>(event->time.frames, 0, frames);
        if (event->body.type == uris.midiEvent && event->body.size >= 3) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
            deck().takeMidi(AudioThread::claim(), static_cast<int32_t>(at), bytes);
        } else if ((event->body.type == uris.atomObject || event->body.type == uris.atomBlank) &&
                   event->body.size >= sizeof(LV2_Atom_Object_Body)) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            // The block's time is its first frame's: a position told later
            // in the block is taken back to it at the tempo it tells.
            if (object->body.otype == uris.timePosition) {
                readTime(object);
                if (hostTimeKnown && at > 0)
                    hostTime.ppqPos -= hostSpeed * static_cast<double>(at) * hostTime.tempo / 60.0 / hostSampleRate();
            }
        }
    }
}

void Lv2Deck::run(uint32_t frames) {
    setOffline(freeWheel && *freeWheel >= 0.5f);
    applyControls();
    readEvents(frames);
    setHostTime(hostTimeKnown ? &hostTime : nullptr);
    if (!left || !right || frames > 1u << 24) {
        render(nullptr, nullptr, 0);
        return;
    }
    render(left, right, static_cast<int32_t>(frames));
    // The host tells its position when it changes; between, it moves on.
    if (hostTimeKnown && hostSpeed != 0.0) hostTime.ppqPos += hostSpeed * frames * hostTime.tempo / 60.0 / hostSampleRate();
}

LV2_State_Status Lv2Deck::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!store) return LV2_STATE_ERR_UNKNOWN;
    const std::vector<uint8_t> bytes = saveState();
    return store(handle, uris.state, bytes.data(), bytes.size(), uris.atomChunk,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Deck::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!retrieve) return LV2_STATE_ERR_UNKNOWN;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, uris.state, &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != uris.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
    return loadState(data, size) ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

void Lv2Deck::attachUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch) {
    uiWrite = write;
    uiController = controller;
    uiTouch = touch && touch->touch ? touch : nullptr;
}

void Lv2Deck::beginEdit(int32_t index) {
    if (uiTouch && index >= 0 && index < Deck::parameterCount) uiTouch->touch(uiTouch->handle, FirstControl + index, true);
}

void Lv2Deck::automate(int32_t index, float value) {
    if (!uiWrite || index < 0 || index >= Deck::parameterCount) return;
    const auto plain = static_cast<float>(parameterShape(index).plainFromDeck(value));
    uiWrite(uiController, FirstControl + static_cast<uint32_t>(index), sizeof plain, 0, &plain);
}

void Lv2Deck::endEdit(int32_t index) {
    if (uiTouch && index >= 0 && index < Deck::parameterCount) uiTouch->touch(uiTouch->handle, FirstControl + index, false);
}
