#pragma once
// The player's editor: the deck's controls and the window that shows them
// with the player's track, time, tempo, list and overview. The deck's values
// are the player's: a person's edit calls the player's action, and the
// controls show the player's values, read at each idle (and when the window
// opens) for those the player marked changed.
//
// Who runs what:
// - The GUI thread (the one that opens the window) opens, closes and idles
//   the window, takes its mouse and keys, and is the only thread that
//   touches a control or draws; it holds `controlsLock` while it does.
// - Other threads (audio, opener, loaders) never call into the controls:
//   their display operations store values and raise flags, which the GUI
//   thread applies at its next idle or when the window opens.
// - The overview pixels live as long as the editor, open or closed: loaders
//   draw into them.
#include <atomic>
#include <cstdint>

#include "editor/EditorControls.h"
#include "editor/SkinBitmaps.h"
#include "gui/Control.h"
#include "deck/PlayerView.h"
#include "editor/EditorBase.h"
#include "platform/Dialogs.h"
#include "platform/RecursiveLock.h"
#include "platform/Relaxed.h"
#include "platform/Thread.h"
#include "sources/TrackSource.h"

class Deck;
struct BuildProfile;
class PlayerEditor;

// The deck's editor of a player made with its own editor.
PlayerEditor& editorOf(Deck& player);

class PlayerEditor : public EditorBase, public PlayerView, public ControlListener {
public:
    // Tags that are the same in both builds.
    enum Tag : int32_t {
        TagBackToStart = 2, TagPitchReset = 4, TagPlay = 8, TagAutoRewind = 9, TagPosition = 10, TagPitch = 11,
        TagCutBass = 13, TagCutTreble = 14, TagCutTweet = 15, TagCrossover1 = 16, TagCrossover2 = 17,
        TagBassLevel = 18, TagTrebleLevel = 19, TagTweetLevel = 20, TagVolume = 21
    };

    PlayerEditor(Deck& player, const BuildProfile& profile);
    static PlayerEditor* make(Deck& player, const BuildProfile& profile) { return new PlayerEditor(player, profile); }
    ~PlayerEditor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    void update() override;
    int32_t onKeyDown(const KeyInput& key) override;
    int32_t onKeyUp(const KeyInput& key) override;
    bool onWheel(float distance) override;

    void valueChanged(Canvas* canvas, Control* control) override;
    // The host parameter a control's tag changes, or -1.
    int32_t parameterOf(int32_t tag) const;
    // A person's edit: the host hears of it under the parameter the
    // control bears, and of none for a control that bears none.
    void beginEdit(int32_t tag) override;
    void endEdit(int32_t tag) override;
    // Dropped files and lists are added as the add button adds them.
    void filesDropped(const std::vector<std::string>& files) override;

    bool isOpen() const { return windowOpen; }

    // Tests watch the display operations by overriding them.
    void showTrackFacts(int32_t bitRate, float durationSeconds, bool stereo) override;
    void showTime(float positionFraction, int32_t elapsedSeconds, int32_t totalSeconds) override;
    void showTempo(float beatsPerMinute) override;
    void showList(const char* const* rows, const bool* marks, int32_t currentRow, float scroll,
                  float fraction) override;
    void refreshOverview(bool force) override;
    void showTitle() override;
    void showOpenError(const char* reason) override;
    void showStoreProblem(const char* problem) override;

    uint8_t* overviewPixels() override { return overviewMemory; }

    // Compact build: 0 transport, 1 equaliser, 2 track list, 3 jog and loops.
    void setPage(int32_t page);
    // A restored session's page and time mode.
    void restoreView(int32_t page, bool remaining, float chosenScale) override;
    float chosenScale() const override { return EditorBase::chosenScale(); }
    // A right click on the about button or the title: the next window
    // size, through automatic (the host's or the desktop's) and 100 % to
    // 300 %.
    void secondaryClick(Control* control) override;
    void unclaimedClick(Point where, uint32_t buttons) override;
    int32_t page() const override { return currentPage; }
    bool showsRemainingTime() const override { return remainingTime; }
    // The deck's controls (GUI thread, or with the controls held).
    const EditorControls& controls() const { return parts; }

private:
    enum Pending : uint32_t {
        PendingTime = 1, PendingTempo = 4, PendingFacts = 8, PendingList = 16,
        PendingTitle = 32, PendingOpenError = 64, PendingOverview = 128, PendingOverviewForced = 256,
        PendingStoreProblem = 512
    };

    bool onGuiThread() const { return platform::currentThreadId() == guiThread.load(std::memory_order_relaxed); }
    void raise(uint32_t flags);
    // A display operation: on the GUI thread with the window open it shows
    // now, with the controls held; elsewhere keep stores its values and the
    // flag asks the next idle to show them.
    // With the window closed the values wait for its opening, so the window
    // shows the latest of them.
    template <typename Keep, typename Show> void display(uint32_t flag, Keep keep, Show show) {
        if (!onGuiThread() || !windowOpen) {
            keep();
            raise(flag);
            return;
        }
        platform::ScopedLock held(controlsLock);
        if (windowOpen) show();
    }
    // GUI thread, controls held: what other threads left for it.
    void applyPendingDisplay();
    static constexpr uint32_t allParameters = ~0u;
    // Sets the controls of the parameters in changed (bit n for parameter
    // n) to the player's values.
    void showValues(uint32_t changed);
    void showRows(const char* const* rows, const bool* marks, int32_t currentRow, float scroll, float fraction);
    void dispatch(Control* control, Canvas* canvas, bool doubleClick);
    bool isDoubleClick(const Control* control, const Canvas* canvas);
    void setTimeDisplay(float fraction, int32_t elapsed, int32_t total);
    void setFactsDisplay(int32_t bitRate, float duration, bool stereo);
    void setTempoDisplay(float bpm);
    // The beat light and the key, read from the player at each idle.
    void showBeatAndKey();
    void refreshOverviewNow(bool force);
    void copyOverviewIntoBitmap();
    void setDefaults();
    void startFileChoice(bool save);
    void pollFileChoice();
    void showPlayerState();
    void setTitleText(const char* path, bool withCounter);
    // A message in the title's place, shortened in its middle if need be.
    void showTitleMessage(const char* text);
    void showOpenErrorNow(const char* reason);
    void showStoreProblemNow(const char* problem);
    void scaleChanged() override { scalePending = true; }
    void stepChosenSize();
    // GUI thread, controls held: paints the skin and sizes the window at
    // the scale now asked for, and tells the host.
    void applyScale();

    Deck& player;
    const BuildProfile& profile;
    Relaxed<bool> windowOpen{false};
    std::atomic<uint32_t> guiThread;
    platform::RecursiveLock controlsLock;
    // The last press and release, for double clicks on this deck's controls.
    struct ClickRecord {
        uint32_t time = 0;
        int32_t tag = -1;
    };
    ClickRecord lastPress, lastRelease;
    SkinBitmaps skin;
    EditorControls parts;
    Bitmap* overviewBitmap = nullptr;
    int32_t currentPage = 0;
    std::unique_ptr<platform::FileChoice> fileChoice; // the add or save dialog, while it is open
    bool choosingListToSave = false;
    bool remainingTime = false;
    int32_t shownElapsed = 0; // the time last shown, shown again when the mode flips
    int32_t shownTotal = 0;
    int32_t shownKey = -2; // none shown yet

    // Left by other threads for the GUI thread.
    std::atomic<uint32_t> pending{0};
    Relaxed<bool> scalePending{false};
    uint32_t titleBackAt = 0; // when a size message gives the title back (ms), 0 for none
    // GUI thread: the size a person chose last, and the one before it.
    bool personAsked = false;
    float choiceBefore = 0.0f;
    Relaxed<float> pendingFraction{0.0f};
    Relaxed<int32_t> pendingElapsed{0};
    Relaxed<int32_t> pendingTotal{0};
    Relaxed<float> pendingTempo{120.0f};
    Relaxed<const char*> pendingOpenReason{nullptr};
    Relaxed<const char*> pendingStoreProblem{nullptr};
    Relaxed<int32_t> pendingBitRate{0};
    Relaxed<float> pendingDuration{0.0f};
    Relaxed<bool> pendingStereo{false};

    uint8_t overviewMemory[TrackSource::overviewBytes] = {};
};
