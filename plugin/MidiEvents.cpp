// MIDI notes as deck controls: two octaves of keys, repeating every 24
// notes, act as transport buttons, pitch nudges, jump points or a track
// selector. Runs on the thread that delivers events (normally the audio
// thread): editor commands and list counters only; a track to open is
// handed to the opener thread.
#include "log/DebugLog.h"
#include "plugin/TrackPlayer.h"

namespace {
// White keys of the two octaves, by key position, numbered 0 to 13; -1 for
// the black keys.
constexpr int8_t whiteKey[24] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6,
                                 7, -1, 8, -1, 9, 10, -1, 11, -1, 12, -1, 13};
} // namespace

int32_t TrackPlayer::processEvents(VstEvents* events) {
    if (!events) return 1;
    PlayerView& view = *editorView;
    for (int32_t i = 0; i < events->numEvents; ++i) {
        VstEvent* event = events->events[i];
        if (!event || event->type != kVstMidiType) continue;
        writeLog("processEvent()\n");
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        auto status = static_cast<uint8_t>(midi->midiData[0]);
        int note = midi->midiData[1] & 0x7F;
        int velocity = midi->midiData[2] & 0x7F;
        if ((status & 0xF0) != 0x90 || velocity == 0) continue;
        int key = note % 24;
        switch (key) {
        case 1: trackSelectMode = !trackSelectMode; break;
        case 3: view.receiveCommand(TagPlay, -1.0f); break;
        case 6:
            if (previousFile()) requestOpen(-1);
            break;
        case 8:
            if (nextFile()) requestOpen(+1);
            break;
        case 10: view.receiveCommand(TagBackToStart, 0.0f); break;
        case 13: view.receiveCommand(TagPosition, 1.05f); break;
        case 15: view.receiveCommand(TagPosition, 2.05f); break;
        case 18: view.receiveCommand(TagPitch, 1.02f); break;
        case 20: view.receiveCommand(TagPitchReset, 0.0f); break;
        case 22: view.receiveCommand(TagPitch, 2.02f); break;
        default: {
            int k = whiteKey[key];
            if (k < 0) break;
            if (trackSelectMode) {
                if (k < tracks.count) {
                    tracks.currentIndex = k;
                    requestOpen();
                }
            } else {
                view.receiveCommand(TagPosition, static_cast<float>(k) * 0.0714285746f);
            }
            break;
        }
        }
    }
    return 1;
}
