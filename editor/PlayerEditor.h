#pragma once
// The player's editor: the hub through which controls, host parameters and
// MIDI reach the player, and the display of what the player reports.
//
// Threads: the display operations and the command receiver are called from
// the GUI thread, the audio thread (showTime, showPlaying) and the MIDI
// thread; all of them do nothing while the window is closed. The overview
// pixels live as long as the editor, open or closed, because the loaders
// draw into them.
#include <cstdint>

#include "gui/EditorBase.h"
#include "platform/Relaxed.h"
#include "sources/TrackSource.h"

class TrackPlayer;
struct BuildProfile;

class PlayerEditor : public EditorBase {
public:
    PlayerEditor(TrackPlayer& player, const BuildProfile& profile);
    ~PlayerEditor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;

    bool isOpen() const { return windowOpen; }

    // The display operations and the command receiver are virtual so that
    // tests can watch what the player sends its editor.

    // Applies a command to the control bearing tag: below 0 toggles, 0..1
    // sets, (1, 2) lowers by value - 1, (2, 3) raises by value - 2.
    virtual void receiveCommand(int32_t tag, float value);

    virtual void showTrackFacts(int32_t bitRate, float durationSeconds, bool stereo);
    virtual void showTime(float positionFraction, int32_t elapsedSeconds, int32_t totalSeconds);
    virtual void showPlaying(bool playing);
    virtual void showTempo(float beatsPerMinute);
    virtual void showList(const char* const* rows, const bool* marks, int32_t currentRow, float scroll, float fraction);
    virtual void refreshOverview(bool force);
    virtual void refreshTitle();
    virtual void showOpenError();

    uint8_t* overviewPixels() { return overview; }

private:
    TrackPlayer& player;
    const BuildProfile& profile;
    Relaxed<bool> windowOpen{false};
    uint8_t overview[TrackSource::overviewBytes] = {};
};
