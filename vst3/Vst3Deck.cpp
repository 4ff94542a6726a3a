#include "vst3/Vst3Deck.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "vst3/Vst3Text.h"
#include "vst3/Vst3View.h"

#define CALL SMTG_STDMETHODCALLTYPE

namespace {
bool sameId(const Steinberg_TUID a, const Steinberg_TUID b) { return std::memcmp(a, b, sizeof(Steinberg_TUID)) == 0; }

bool validParameter(Steinberg_Vst_ParamID id) { return id < static_cast<Steinberg_Vst_ParamID>(Deck::parameterCount); }

// The units a host groups the parameters under: the root and one for each
// of the deck's groups, in the order the parameters first name them.
constexpr const char* unitNames[] = {"Deck", "Transport", "Equaliser", "Loop", "Sync", "Key"};
constexpr int32_t unitCount = 6;

Steinberg_Vst_UnitID unitOf(int32_t index) {
    const char* group = parameterShape(index).group;
    for (int32_t unit = 1; unit < unitCount; ++unit)
        if (std::strcmp(group, unitNames[unit]) == 0) return unit;
    return Steinberg_Vst_kRootUnitId;
}

// A stream's bytes, read to its end (a state of any length a host hands in).
bool readAll(Steinberg_IBStream* stream, std::vector<uint8_t>& bytes) {
    constexpr size_t limit = 64u << 20; // far above any state the deck writes
    uint8_t buffer[16384];
    for (;;) {
        Steinberg_int32 got = 0;
        if (stream->lpVtbl->read(stream, buffer, sizeof buffer, &got) != Steinberg_kResultOk) return false;
        if (got < 0 || got > static_cast<Steinberg_int32>(sizeof buffer)) return false;
        if (got == 0) return true;
        if (bytes.size() + static_cast<size_t>(got) > limit) return false;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool writeAll(Steinberg_IBStream* stream, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const auto n = static_cast<Steinberg_int32>(std::min<size_t>(bytes.size() - done, 1u << 20));
        Steinberg_int32 wrote = 0;
        void* from = const_cast<uint8_t*>(bytes.data() + done);
        if (stream->lpVtbl->write(stream, from, n, &wrote) != Steinberg_kResultOk || wrote <= 0 || wrote > n)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}
} // namespace

double Vst3Deck::normalizedOf(int32_t index, float deckValue) {
    const ParameterShape& shape = parameterShape(index);
    if (shape.steps == 0) return std::isfinite(deckValue) ? std::clamp<double>(deckValue, 0.0, 1.0) : shape.defaultValue;
    return shape.plainFromDeck(deckValue) / shape.steps;
}

float Vst3Deck::deckValueOf(int32_t index, double normalized) {
    const ParameterShape& shape = parameterShape(index);
    // Held to 0..1 before the steps: a wild value far beyond the last step
    // would not round to a whole number at all.
    if (std::isfinite(normalized)) normalized = std::clamp(normalized, 0.0, 1.0);
    return shape.deckFromPlain(shape.steps == 0 ? normalized : normalized * shape.steps);
}

// The functions behind the vtables. Each finds its instance through the
// record the host called it on.
struct Vst3Deck::Calls {
    static Vst3Deck& of(void* self) { return *static_cast<Face*>(self)->owner; }

    static Steinberg_tresult CALL queryInterface(void* self, const Steinberg_TUID iid, void** object) {
        return of(self).query(iid, object);
    }
    static Steinberg_uint32 CALL addRef(void* self) { return of(self).addRef(); }
    static Steinberg_uint32 CALL release(void* self) { return of(self).release(); }
    // The component and the controller are one object: each is initialised
    // and terminated by the host, and neither has more to do.
    static Steinberg_tresult CALL initialize(void*, Steinberg_FUnknown*) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL terminate(void*) { return Steinberg_kResultOk; }

    // IComponent.
    static Steinberg_tresult CALL getControllerClassId(void*, Steinberg_TUID) { return Steinberg_kNotImplemented; }
    static Steinberg_tresult CALL setIoMode(void*, Steinberg_Vst_IoMode) { return Steinberg_kResultOk; }
    static bool isBus(Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection dir, Steinberg_int32 index) {
        if (index != 0) return false;
        return (type == Steinberg_Vst_MediaTypes_kAudio && dir == Steinberg_Vst_BusDirections_kOutput) ||
               (type == Steinberg_Vst_MediaTypes_kEvent && dir == Steinberg_Vst_BusDirections_kInput);
    }
    static Steinberg_int32 CALL getBusCount(void*, Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection dir) {
        return isBus(type, dir, 0) ? 1 : 0;
    }
    static Steinberg_tresult CALL getBusInfo(void*, Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection dir,
                                             Steinberg_int32 index, Steinberg_Vst_BusInfo* bus) {
        if (!bus || !isBus(type, dir, index)) return Steinberg_kInvalidArgument;
        *bus = Steinberg_Vst_BusInfo{};
        bus->mediaType = type;
        bus->direction = dir;
        const bool audio = type == Steinberg_Vst_MediaTypes_kAudio;
        bus->channelCount = audio ? 2 : 1;
        vst3text::put(bus->name, audio ? "Deck" : "Keys");
        bus->busType = Steinberg_Vst_BusTypes_kMain;
        bus->flags = Steinberg_Vst_BusInfo_BusFlags_kDefaultActive;
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL getRoutingInfo(void*, Steinberg_Vst_RoutingInfo*, Steinberg_Vst_RoutingInfo*) {
        return Steinberg_kNotImplemented;
    }
    static Steinberg_tresult CALL activateBus(void*, Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection dir,
                                              Steinberg_int32 index, Steinberg_TBool) {
        return isBus(type, dir, index) ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static Steinberg_tresult CALL setActive(void*, Steinberg_TBool) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL setState(void* self, Steinberg_IBStream* stream) {
        std::vector<uint8_t> bytes;
        if (!stream || !stream->lpVtbl || !readAll(stream, bytes)) return Steinberg_kResultFalse;
        return of(self).loadState(bytes.data(), bytes.size()) ? Steinberg_kResultOk : Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL getState(void* self, Steinberg_IBStream* stream) {
        if (!stream || !stream->lpVtbl) return Steinberg_kInvalidArgument;
        return writeAll(stream, of(self).saveState()) ? Steinberg_kResultOk : Steinberg_kResultFalse;
    }

    // IAudioProcessor.
    static Steinberg_tresult CALL setBusArrangements(void*, Steinberg_Vst_SpeakerArrangement*, Steinberg_int32 inputs,
                                                     Steinberg_Vst_SpeakerArrangement* outputs, Steinberg_int32 count) {
        const bool stereo = inputs == 0 && count == 1 && outputs && outputs[0] == Steinberg_Vst_SpeakerArr_kStereo;
        return stereo ? Steinberg_kResultOk : Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL getBusArrangement(void*, Steinberg_Vst_BusDirection dir, Steinberg_int32 index,
                                                    Steinberg_Vst_SpeakerArrangement* arrangement) {
        if (!arrangement || dir != Steinberg_Vst_BusDirections_kOutput || index != 0) return Steinberg_kInvalidArgument;
        *arrangement = Steinberg_Vst_SpeakerArr_kStereo;
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL canProcessSampleSize(void*, Steinberg_int32 size) {
        return size == Steinberg_Vst_SymbolicSampleSizes_kSample32 ? Steinberg_kResultTrue : Steinberg_kResultFalse;
    }
    static Steinberg_uint32 CALL getLatencySamples(void*) { return 0; }
    static Steinberg_tresult CALL setupProcessing(void* self, Steinberg_Vst_ProcessSetup* setup) {
        if (!setup || setup->symbolicSampleSize != Steinberg_Vst_SymbolicSampleSizes_kSample32 ||
            !(setup->sampleRate > 0.0) || !std::isfinite(setup->sampleRate))
            return Steinberg_kResultFalse;
        of(self).setSampleRate(setup->sampleRate);
        of(self).setOffline(setup->processMode == Steinberg_Vst_ProcessModes_kOffline);
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL setProcessing(void*, Steinberg_TBool) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL process(void* self, Steinberg_Vst_ProcessData* data) { return of(self).process(data); }
    static Steinberg_uint32 CALL getTailSamples(void*) { return Steinberg_Vst_kNoTail; }

    // IProcessContextRequirements.
    static Steinberg_uint32 CALL getProcessContextRequirements(void*) {
        return Steinberg_Vst_IProcessContextRequirements_Flags_kNeedProjectTimeMusic |
               Steinberg_Vst_IProcessContextRequirements_Flags_kNeedBarPositionMusic |
               Steinberg_Vst_IProcessContextRequirements_Flags_kNeedTempo |
               Steinberg_Vst_IProcessContextRequirements_Flags_kNeedTimeSignature |
               Steinberg_Vst_IProcessContextRequirements_Flags_kNeedTransportState;
    }

    // IEditController. The controller's own state is empty, and the
    // component's needs no reading: the controller shows the same deck.
    static Steinberg_tresult CALL setComponentState(void*, Steinberg_IBStream*) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL setControllerState(void*, Steinberg_IBStream*) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL getControllerState(void*, Steinberg_IBStream*) { return Steinberg_kResultOk; }
    static Steinberg_int32 CALL getParameterCount(void*) { return Deck::parameterCount; }
    static Steinberg_tresult CALL getParameterInfo(void*, Steinberg_int32 index, Steinberg_Vst_ParameterInfo* info) {
        if (!info || index < 0 || index >= Deck::parameterCount) return Steinberg_kInvalidArgument;
        const ParameterShape& shape = parameterShape(index);
        *info = Steinberg_Vst_ParameterInfo{};
        info->id = static_cast<Steinberg_Vst_ParamID>(index);
        char name[Deck::parameterTextRoom] = {};
        Deck::valueName(index, name);
        vst3text::put(info->title, name);
        vst3text::put(info->shortTitle, name);
        info->stepCount = shape.steps;
        info->defaultNormalizedValue = normalizedOf(index, shape.defaultValue);
        info->unitId = unitOf(index);
        info->flags = Steinberg_Vst_ParameterInfo_ParameterFlags_kCanAutomate;
        // Choices of more than on and off are shown as their texts.
        if (shape.steps > 1) info->flags |= Steinberg_Vst_ParameterInfo_ParameterFlags_kIsList;
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL getParamStringByValue(void* self, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue value,
                                                        Steinberg_Vst_String128 string) {
        if (!string || !validParameter(id)) return Steinberg_kInvalidArgument;
        const auto index = static_cast<int32_t>(id);
        char text[Deck::parameterTextRoom] = {};
        of(self).deck().valueText(index, deckValueOf(index, value), text);
        vst3text::put(string, text);
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL getParamValueByString(void* self, Steinberg_Vst_ParamID id, Steinberg_Vst_TChar* string,
                                                        Steinberg_Vst_ParamValue* value) {
        if (!string || !value || !validParameter(id)) return Steinberg_kInvalidArgument;
        const auto index = static_cast<int32_t>(id);
        char text[Deck::parameterTextRoom * 4] = {};
        double deckValue = 0.0;
        if (!vst3text::take(string, text, sizeof text) || !of(self).deck().valueOfText(index, text, deckValue))
            return Steinberg_kResultFalse;
        *value = normalizedOf(index, static_cast<float>(deckValue));
        return Steinberg_kResultOk;
    }
    static Steinberg_Vst_ParamValue CALL normalizedParamToPlain(void*, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue value) {
        if (!validParameter(id)) return value;
        const int32_t steps = parameterShape(static_cast<int32_t>(id)).steps;
        return steps == 0 ? value : value * steps;
    }
    static Steinberg_Vst_ParamValue CALL plainParamToNormalized(void*, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue plain) {
        if (!validParameter(id)) return plain;
        const int32_t steps = parameterShape(static_cast<int32_t>(id)).steps;
        return steps == 0 ? plain : plain / steps;
    }
    static Steinberg_Vst_ParamValue CALL getParamNormalized(void* self, Steinberg_Vst_ParamID id) {
        if (!validParameter(id)) return 0.0;
        const auto index = static_cast<int32_t>(id);
        return normalizedOf(index, of(self).deck().valueOf(index));
    }
    // The host tells the controller a value the processor takes in its own
    // parameter changes: setting the deck here as well would act twice (a
    // seek, a track change).
    static Steinberg_tresult CALL setParamNormalized(void*, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue) {
        return validParameter(id) ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static Steinberg_tresult CALL setComponentHandler(void* self, Steinberg_Vst_IComponentHandler* handler) {
        return of(self).setComponentHandler(handler);
    }
    static Steinberg_IPlugView* CALL createView(void* self, Steinberg_FIDString name) {
        if (!name || std::strcmp(name, "editor") != 0) return nullptr;
        try {
            return Vst3View::make(of(self));
        } catch (...) {
            return nullptr;
        }
    }

    // IUnitInfo: the groups, and no programs.
    static Steinberg_int32 CALL getUnitCount(void*) { return unitCount; }
    static Steinberg_tresult CALL getUnitInfo(void*, Steinberg_int32 index, Steinberg_Vst_UnitInfo* info) {
        if (!info || index < 0 || index >= unitCount) return Steinberg_kInvalidArgument;
        *info = Steinberg_Vst_UnitInfo{};
        info->id = index;
        info->parentUnitId = index == 0 ? Steinberg_Vst_kNoParentUnitId : Steinberg_Vst_kRootUnitId;
        vst3text::put(info->name, unitNames[index]);
        info->programListId = Steinberg_Vst_kNoProgramListId;
        return Steinberg_kResultOk;
    }
    static Steinberg_int32 CALL getProgramListCount(void*) { return 0; }
    static Steinberg_tresult CALL getProgramListInfo(void*, Steinberg_int32, Steinberg_Vst_ProgramListInfo*) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL getProgramName(void*, Steinberg_Vst_ProgramListID, Steinberg_int32, Steinberg_Vst_String128) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL getProgramInfo(void*, Steinberg_Vst_ProgramListID, Steinberg_int32, Steinberg_Vst_CString,
                                                 Steinberg_Vst_String128) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL hasProgramPitchNames(void*, Steinberg_Vst_ProgramListID, Steinberg_int32) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL getProgramPitchName(void*, Steinberg_Vst_ProgramListID, Steinberg_int32, Steinberg_int16,
                                                      Steinberg_Vst_String128) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_Vst_UnitID CALL getSelectedUnit(void*) { return Steinberg_Vst_kRootUnitId; }
    static Steinberg_tresult CALL selectUnit(void*, Steinberg_Vst_UnitID) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL getUnitByBus(void*, Steinberg_Vst_MediaType, Steinberg_Vst_BusDirection, Steinberg_int32,
                                               Steinberg_int32, Steinberg_Vst_UnitID*) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL setUnitProgramData(void*, Steinberg_int32, Steinberg_int32, Steinberg_IBStream*) {
        return Steinberg_kResultFalse;
    }

    static Steinberg_Vst_IComponentVtbl componentTable;
    static Steinberg_Vst_IAudioProcessorVtbl processorTable;
    static Steinberg_Vst_IEditControllerVtbl controllerTable;
    static Steinberg_Vst_IProcessContextRequirementsVtbl requirementsTable;
    static Steinberg_Vst_IUnitInfoVtbl unitTable;
};

Steinberg_Vst_IComponentVtbl Vst3Deck::Calls::componentTable{
    queryInterface, addRef, release, initialize, terminate, getControllerClassId, setIoMode,
    getBusCount, getBusInfo, getRoutingInfo, activateBus, setActive, setState, getState};
Steinberg_Vst_IAudioProcessorVtbl Vst3Deck::Calls::processorTable{
    queryInterface, addRef,          release,       setBusArrangements, getBusArrangement,
    canProcessSampleSize, getLatencySamples, setupProcessing, setProcessing, process, getTailSamples};
Steinberg_Vst_IEditControllerVtbl Vst3Deck::Calls::controllerTable{
    queryInterface,        addRef,           release,           initialize,
    terminate,             setComponentState, setControllerState, getControllerState,
    getParameterCount,     getParameterInfo, getParamStringByValue, getParamValueByString,
    normalizedParamToPlain, plainParamToNormalized, getParamNormalized, setParamNormalized,
    setComponentHandler,   createView};
Steinberg_Vst_IProcessContextRequirementsVtbl Vst3Deck::Calls::requirementsTable{queryInterface, addRef, release,
                                                                   getProcessContextRequirements};
Steinberg_Vst_IUnitInfoVtbl Vst3Deck::Calls::unitTable{
    queryInterface,   addRef,         release,          getUnitCount,        getUnitInfo,
    getProgramListCount, getProgramListInfo, getProgramName, getProgramInfo, hasProgramPitchNames,
    getProgramPitchName, getSelectedUnit, selectUnit,   getUnitByBus,        setUnitProgramData};

Vst3Deck::Vst3Deck(const BuildProfile& profile, std::string folder)
    : PluginDeck(profile, std::move(folder)),
      component{&Calls::componentTable, this},
      processor{&Calls::processorTable, this},
      controller{&Calls::controllerTable, this},
      contextRequirements{&Calls::requirementsTable, this},
      unitInfo{&Calls::unitTable, this} {}

Vst3Deck::~Vst3Deck() {
    endDeck();
    setComponentHandler(nullptr);
}

Steinberg_tresult Vst3Deck::query(const Steinberg_TUID iid, void** object) {
    if (!object) return Steinberg_kInvalidArgument;
    *object = nullptr;
    if (!iid) return Steinberg_kNoInterface;
    Face* face = nullptr;
    if (sameId(iid, Steinberg_FUnknown_iid) || sameId(iid, Steinberg_IPluginBase_iid) ||
        sameId(iid, Steinberg_Vst_IComponent_iid))
        face = &component;
    else if (sameId(iid, Steinberg_Vst_IAudioProcessor_iid))
        face = &processor;
    else if (sameId(iid, Steinberg_Vst_IEditController_iid))
        face = &controller;
    else if (sameId(iid, Steinberg_Vst_IProcessContextRequirements_iid))
        face = &contextRequirements;
    else if (sameId(iid, Steinberg_Vst_IUnitInfo_iid))
        face = &unitInfo;
    if (!face) return Steinberg_kNoInterface;
    addRef();
    *object = face;
    return Steinberg_kResultOk;
}

uint32_t Vst3Deck::addRef() { return references.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t Vst3Deck::release() {
    const uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

Steinberg_tresult Vst3Deck::setComponentHandler(Steinberg_Vst_IComponentHandler* newHandler) {
    if (newHandler == handler) return Steinberg_kResultOk;
    if (newHandler && !newHandler->lpVtbl) return Steinberg_kInvalidArgument;
    if (newHandler) newHandler->lpVtbl->addRef(newHandler);
    if (handler) handler->lpVtbl->release(handler);
    handler = newHandler;
    return Steinberg_kResultOk;
}

void Vst3Deck::beginEdit(int32_t index) {
    if (handler && index >= 0 && index < Deck::parameterCount)
        handler->lpVtbl->beginEdit(handler, static_cast<Steinberg_Vst_ParamID>(index));
}

void Vst3Deck::automate(int32_t index, float value) {
    if (handler && index >= 0 && index < Deck::parameterCount)
        handler->lpVtbl->performEdit(handler, static_cast<Steinberg_Vst_ParamID>(index), normalizedOf(index, value));
}

void Vst3Deck::endEdit(int32_t index) {
    if (handler && index >= 0 && index < Deck::parameterCount)
        handler->lpVtbl->endEdit(handler, static_cast<Steinberg_Vst_ParamID>(index));
}

void Vst3Deck::readContext(const Steinberg_Vst_ProcessContext* context) {
    constexpr uint32_t needed = Steinberg_Vst_ProcessContext_StatesAndFlags_kTempoValid |
                                Steinberg_Vst_ProcessContext_StatesAndFlags_kProjectTimeMusicValid;
    if (!context || (context->state & needed) != needed) {
        setHostTime(nullptr);
        return;
    }
    HostTime time;
    time.tempo = context->tempo;
    time.ppqPos = context->projectTimeMusic;
    time.barStartPos =
        (context->state & Steinberg_Vst_ProcessContext_StatesAndFlags_kBarPositionValid) ? context->barPositionMusic : 0.0;
    time.rolling = (context->state & Steinberg_Vst_ProcessContext_StatesAndFlags_kPlaying) != 0;
    time.barQuarters = 4.0;
    if ((context->state & Steinberg_Vst_ProcessContext_StatesAndFlags_kTimeSigValid) && context->timeSigNumerator > 0 &&
        context->timeSigDenominator > 0)
        time.barQuarters = 4.0 * context->timeSigNumerator / context->timeSigDenominator;
    setHostTime(&time);
}

void Vst3Deck::takeParameterChanges(Steinberg_Vst_IParameterChanges* changes, int32_t frames) {
    if (!changes || !changes->lpVtbl) return;
    const Steinberg_int32 count = changes->lpVtbl->getParameterCount(changes);
    for (Steinberg_int32 i = 0; i < count; ++i) {
        Steinberg_Vst_IParamValueQueue* queue = changes->lpVtbl->getParameterData(changes, i);
        if (!queue || !queue->lpVtbl) continue;
        const Steinberg_Vst_ParamID id = queue->lpVtbl->getParameterId(queue);
        if (!validParameter(id)) continue;
        const auto index = static_cast<int32_t>(id);
        const Steinberg_int32 points = queue->lpVtbl->getPointCount(queue);
        for (Steinberg_int32 p = 0; p < points; ++p) {
            Steinberg_int32 offset = 0;
            Steinberg_Vst_ParamValue value = 0.0;
            if (queue->lpVtbl->getPoint(queue, p, &offset, &value) != Steinberg_kResultOk) continue;
            deck().takeParameter(AudioThread::claim(), std::clamp(offset, 0, frames), index, deckValueOf(index, value));
        }
    }
}

void Vst3Deck::takeEvents(Steinberg_Vst_IEventList* events, int32_t frames) {
    if (!events || !events->lpVtbl) return;
    const Steinberg_int32 count = events->lpVtbl->getEventCount(events);
    for (Steinberg_int32 i = 0; i < count; ++i) {
        Steinberg_Vst_Event event{};
        if (events->lpVtbl->getEvent(events, i, &event) != Steinberg_kResultOk) continue;
        if (event.busIndex != 0 || event.type != Steinberg_Vst_Event_EventTypes_kNoteOnEvent) continue;
        const Steinberg_Vst_NoteOnEvent& note = event.Steinberg_Vst_Event_noteOn;
        if (note.pitch < 0 || note.pitch > 127) continue;
        // A note-on of velocity 0 would be a note-off in MIDI's terms.
        const float velocity = note.velocity > 0.0f ? std::min(note.velocity, 1.0f) : 0.0f;
        const auto midiVelocity = static_cast<uint8_t>(std::max(1L, std::lround(velocity * 127.0f)));
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(note.pitch), midiVelocity};
        deck().takeMidi(AudioThread::claim(), std::clamp(event.sampleOffset, 0, frames), bytes);
    }
}

Steinberg_tresult Vst3Deck::process(Steinberg_Vst_ProcessData* data) {
    if (!data) return Steinberg_kInvalidArgument;
    const int32_t frames = std::max(data->numSamples, 0);
    readContext(data->processContext);
    takeParameterChanges(data->inputParameterChanges, frames);
    takeEvents(data->inputEvents, frames);
    float* left = nullptr;
    float* right = nullptr;
    Steinberg_Vst_AudioBusBuffers* out = data->numOutputs > 0 ? data->outputs : nullptr;
    if (out && data->symbolicSampleSize == Steinberg_Vst_SymbolicSampleSizes_kSample32 && out->numChannels >= 1) {
        float** channels = out->Steinberg_Vst_AudioBusBuffers_channelBuffers32;
        if (channels) {
            left = channels[0];
            right = out->numChannels >= 2 ? channels[1] : left;
        }
    }
    if (!left || !right || frames == 0) {
        // No outputs, or a flush: the changes still act.
        render(nullptr, nullptr, 0);
        return Steinberg_kResultOk;
    }
    render(left, right, frames);
    out->silenceFlags = 0;
    return Steinberg_kResultOk;
}
