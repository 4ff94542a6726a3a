#include "vst2/TrackPlayer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/PlayerEditor.h"
#include "log/DebugLog.h"

PlayerEditor* TrackPlayer::makeEditor(Deck& deck, const BuildProfile& profile) { return PlayerEditor::make(deck, profile); }

TrackPlayer::TrackPlayer(HostCallback host, const BuildProfile& profile, EditorFactory editorFactory)
    : EffectBase(host, 1, parameterCount),
      Deck(*this, profile, [editorFactory, &profile](Deck& deck) -> PlayerView* { return editorFactory(deck, profile); }) {
    setNumInputs(0);
    setNumOutputs(2);
    addFlags(effFlagsCanMono | effFlagsIsSynth | effFlagsCanReplacing | effFlagsProgramChunks);
    setUniqueId(profile.uniqueId);
    std::snprintf(programName, sizeof programName, "%s", "No Program");
    // The record owns the editor, which outlives the deck it shows by the
    // deck's own ending.
    setEditor(static_cast<PlayerEditor*>(&view()));
    sampleRate = 0.0f; // until the host says
}

TrackPlayer::~TrackPlayer() = default;

void TrackPlayer::open() {
    char product[kVstMaxProductStrLen + 1] = {};
    editsFromAudioThread = hostProductString(product) && std::strncmp(product, "Ardour", 6) == 0;
    start();
}

void TrackPlayer::beginEdit(int32_t index) {
    if (editsFromAudioThread) deferredEdits.push({Gesture::Begin, index, 0.0f});
    else hostBeginEdit(index);
}

void TrackPlayer::automate(int32_t index, float value) {
    if (editsFromAudioThread) deferredEdits.push({Gesture::Value, index, value});
    else hostAutomate(index, value);
}

void TrackPlayer::endEdit(int32_t index) {
    if (editsFromAudioThread) deferredEdits.push({Gesture::End, index, 0.0f});
    else hostEndEdit(index);
}

void TrackPlayer::sendDeferredEdits() {
    Gesture edit{};
    while (deferredEdits.pop(edit)) {
        if (edit.kind == Gesture::Begin) hostBeginEdit(edit.index);
        else if (edit.kind == Gesture::Value) hostAutomate(edit.index, edit.value);
        else hostEndEdit(edit.index);
    }
}

void TrackPlayer::process(float**, float** outputs, int32_t frames) {
    sendDeferredEdits();
    renderBlock(AudioThread::claim(), outputs, frames, false);
}

void TrackPlayer::processReplacing(float**, float** outputs, int32_t frames) {
    sendDeferredEdits();
    renderBlock(AudioThread::claim(), outputs, frames, true);
}

int32_t TrackPlayer::processEvents(VstEvents* events) {
    if (!events) return 1;
    // The record declares room for two events and holds numEvents of them.
    VstEvent* const* list = &events->events[0];
    for (int32_t i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const uint8_t bytes[3] = {static_cast<uint8_t>(midi->midiData[0]), static_cast<uint8_t>(midi->midiData[1]),
                                  static_cast<uint8_t>(midi->midiData[2])};
        takeMidi(AudioThread::claim(), event->deltaFrames, bytes);
    }
    return 1;
}

void TrackPlayer::setProgramName(const char* name) {
    std::snprintf(programName, sizeof programName, "%s", name ? name : "");
}

void TrackPlayer::getProgramName(char* name) { std::memcpy(name, programName, sizeof programName); }

bool TrackPlayer::getProgramNameIndexed(int32_t program, char* name) {
    if (program != 0) return false;
    getProgramName(name);
    return true;
}

// The units are part of the display texts, as a user reads them.
void TrackPlayer::getParameterLabel(int32_t, char* text) { *text = 0; }

bool TrackPlayer::getEffectName(char* text) {
    std::snprintf(text, kVstMaxEffectNameLen, "%s", buildProfile().effectName);
    return true;
}

bool TrackPlayer::getVendorString(char* text) {
    std::snprintf(text, kVstMaxVendorStrLen, "%s", "Quillmark");
    return true;
}

bool TrackPlayer::getProductString(char* text) {
    std::snprintf(text, kVstMaxProductStrLen, "%s", "Trakvox VST");
    return true;
}

intptr_t TrackPlayer::canDo(const char* text) {
    for (const char* can : {"sendVstTimeInfo", "receiveVstTimeInfo", "receiveVstEvents", "receiveVstMidiEvent"})
        if (std::strcmp(text, can) == 0) return 1;
    return 0;
}

int32_t TrackPlayer::getChunk(void** data, bool) {
    if (!data) return 0;
    const DeckState state = captureState();
    platform::MutexLock guard(chunkMutex);
    chunkBlock = state.write();
    *data = chunkBlock.data();
    return static_cast<int32_t>(chunkBlock.size());
}

int32_t TrackPlayer::setChunk(void* data, int32_t size, bool) {
    DeckState state;
    if (!data || size <= 0 || !state.read(data, static_cast<size_t>(size))) {
        writeLog("setChunk: refused\n");
        return 0;
    }
    return restoreState(state) ? 1 : 0;
}

// Each call has its own record: the audio thread sends after each block,
// the GUI thread after a tap, and the host reads it during the call.
void TrackPlayer::publishTime(const DeckTime& time) {
    VstTimeInfo info{};
    info.samplePos = time.samplePos;
    info.sampleRate = time.sampleRate;
    info.tempo = time.tempo;
    info.ppqPos = time.ppqPos;
    info.barStartPos = time.barStartPos;
    info.timeSigNumerator = 4;
    info.timeSigDenominator = 4;
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    hostSetTime(&info);
}

// Asked at the start of each block, on the audio thread, as hosts expect.
bool TrackPlayer::readHostTime(HostTime& time) {
    const VstTimeInfo* info = hostTime(kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid);
    if (!info || !(info->flags & kVstTempoValid) || !(info->flags & kVstPpqPosValid)) return false;
    time.tempo = info->tempo;
    time.ppqPos = info->ppqPos;
    time.rolling = (info->flags & kVstTransportPlaying) != 0;
    time.barStartPos = (info->flags & kVstBarsValid) ? info->barStartPos : 0.0;
    time.barQuarters = 4.0;
    if ((info->flags & kVstTimeSigValid) && info->timeSigNumerator > 0 && info->timeSigNumerator <= 64 &&
        info->timeSigDenominator > 0 && info->timeSigDenominator <= 64)
        time.barQuarters = 4.0 * info->timeSigNumerator / info->timeSigDenominator;
    return time.holdsUp();
}

namespace {
struct Category {
    const char* name;
    int16_t number, first, count;
};
// Parameters of one category follow each other.
constexpr Category categories[] = {{"Transport", 1, Deck::Playing, 5},
                                   {"Equaliser", 2, Deck::EqCut1, 9},
                                   {"Loop", 3, Deck::Loop, 1},
                                   {"Sync", 4, Deck::Sync, 1}};

} // namespace

bool TrackPlayer::getParameterProperties(int32_t index, VstParameterProperties& properties) {
    if (index < 0 || index >= parameterCount) return false;
    properties = VstParameterProperties{};
    char name[parameterTextRoom] = {};
    valueName(index, name);
    std::snprintf(properties.label, sizeof properties.label, "%s", name);
    std::snprintf(properties.shortLabel, sizeof properties.shortLabel, "%s", name);
    properties.flags = kVstParameterSupportsDisplayIndex | kVstParameterSupportsDisplayCategory;
    properties.displayIndex = static_cast<int16_t>(index);
    for (const Category& category : categories)
        if (index >= category.first && index < category.first + category.count) {
            properties.category = category.number;
            properties.numParametersInCategory = category.count;
            std::snprintf(properties.categoryLabel, sizeof properties.categoryLabel, "%s", category.name);
        }
    // Steps within 0..1: hosts (Ardour) that read an integer range pass its
    // integers as values, which would reach only the ends.
    const auto steps = [&](float step) {
        properties.flags |= kVstParameterUsesFloatStep;
        properties.stepFloat = step;
        properties.smallStepFloat = step;
        properties.largeStepFloat = step;
    };
    switch (index) {
    case Playing:
    case CutBass:
    case CutTreble:
    case CutTweet:
    case Sync: properties.flags |= kVstParameterIsSwitch; break;
    case AutoRewind: steps(0.5f); break; // no, yes, stop
    case Loop: steps(0.1f); break;       // off and the nine loop lengths
    default:
        properties.flags |= kVstParameterUsesFloatStep | kVstParameterCanRamp;
        properties.stepFloat = 0.01f;
        properties.smallStepFloat = 0.001f;
        properties.largeStepFloat = 0.1f;
        break;
    }
    return true;
}
