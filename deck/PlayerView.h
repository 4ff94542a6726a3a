#pragma once
// What the player tells its editor: what changed that is not one of its
// values (track facts, time, tempo, title, list, overview). The editor
// reads the values themselves from the player at its idle. The editor
// implements this; the player knows no more of it than this.
#include <cstdint>

class PlayerView {
public:
    virtual ~PlayerView() = default;

    // Closes the window, if one is open (the deck is about to go).
    virtual void close() = 0;

    // Any thread, the audio thread included: they store values and raise
    // flags, which the GUI thread shows at its idle; they never wait.
    virtual void showTrackFacts(int32_t bitRate, float durationSeconds, bool stereo) = 0;
    virtual void showTime(float positionFraction, int32_t elapsedSeconds, int32_t totalSeconds) = 0;
    // The current track changed: its name and the list counter.
    virtual void showTitle() = 0;
    virtual void showTempo(float beatsPerMinute) = 0;
    // rows are the texts the list shows, "" past its end.
    virtual void showList(const char* const* rows, const bool* marks, int32_t currentRow, float scroll,
                          float fraction) = 0;
    virtual void refreshOverview(bool force) = 0;
    // "Unable to open file", with why in a few plain words (a text that
    // lives for the whole program: "not a file", "cannot be read", ...).
    virtual void showOpenError(const char* reason) = 0;
    // What keeps the track store from keeping facts (a text that lives for
    // the whole program); the deck plays on.
    virtual void showStoreProblem(const char* problem) = 0;

    // The overview's 3-byte pixels, which the sources' loaders draw into;
    // they live as long as the view.
    virtual uint8_t* overviewPixels() = 0;

    // The view's own state, which a session keeps.
    virtual int32_t page() const = 0;
    virtual bool showsRemainingTime() const = 0;
    // The window's scale a person chose, 0 for none (the host's or the
    // desktop's then).
    virtual float chosenScale() const { return 0.0f; }
    virtual void restoreView(int32_t page, bool remaining, float chosenScale) = 0;
};
