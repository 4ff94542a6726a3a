#pragma once
// What the player asks of its editor: the commands that move the deck's
// controls (host parameters, MIDI keys) and what it shows (track facts,
// time, play state, tempo, list, overview). The editor implements it; the
// player knows no more of it than this.
#include <cstdint>

#include "plugin/EditorBase.h"

class PlayerView : public EditorBase {
public:
    using EditorBase::EditorBase;

    // Applies a command to the control bearing tag: below 0 toggles, 0..1
    // sets, (1, 2) lowers by value - 1, (2, 3) raises by value - 2, exactly
    // 2 or 3 and above keeps; the control then acts as if moved. Any thread.
    virtual void receiveCommand(int32_t tag, float value) = 0;
    // Applies commands that found the controls busy; never waits (the
    // audio thread calls it every block).
    virtual void takeQueuedCommandsIfFree() = 0;

    // Any thread: other threads' values wait for the GUI thread's idle.
    virtual void showTrackFacts(int32_t bitRate, float durationSeconds, bool stereo) = 0;
    virtual void showTime(float positionFraction, int32_t elapsedSeconds, int32_t totalSeconds) = 0;
    virtual void showPlaying(bool playing) = 0;
    virtual void showTempo(float beatsPerMinute) = 0;
    virtual void showList(const char* const* rows, const bool* marks, int32_t currentRow, float scroll,
                          float fraction) = 0;
    virtual void refreshOverview(bool force) = 0;
    // "Unable to open file", with why in a few plain words (a text that
    // lives for the whole program: "not a file", "cannot be read", ...).
    virtual void showOpenError(const char* reason) = 0;

    // The overview's 3-byte pixels, which the sources' loaders draw into;
    // they live as long as the view.
    virtual uint8_t* overviewPixels() = 0;

    // The view's own state, which a session keeps.
    virtual int32_t page() const = 0;
    virtual bool showsRemainingTime() const = 0;
    virtual void restoreView(int32_t page, bool remaining) = 0;
};
