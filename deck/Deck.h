#pragma once
// The deck: one per plug-in instance, whatever format hosts it. It owns one
// track source of each kind, the track list, the equaliser, loop and
// crossfade state and the playback state that rendering advances, and the
// parameter values as hosts see them. The editor shows it through
// PlayerView; the format's binding drives it and serves it (DeckHost).
//
// Who runs what:
// - The audio thread renders (renderBlock), takes MIDI keys (takeMidi) and,
//   in most hosts, sets parameter values. It takes no lock: every field
//   that crosses threads is a relaxed atomic word, and the sources guard
//   their own reads.
// - The GUI thread runs the editor's actions, list edits, dialogs, the
//   session state and, in some hosts, parameter values.
// - The opener thread (opener) reads and opens tracks and lists, so that no
//   other thread ever waits for a disk; it also writes what the audio
//   thread cannot log.
// - Each source's loader thread calls setSize, loadProgress and identified.
// - The store keeper's thread asks the track store and keeps what the deck
//   learns (factsFound comes from it).
// - The decode-ahead worker (decodeAhead) is the only thread that decodes
//   the current track once it is open; rendering reads what it decoded.
//   It also runs key lock's stretcher (keyShifter), whose two rings the
//   audio thread fills and empties without a lock.
// - Locks: listMutex (paths of the list, never on the audio thread),
//   openMutex (one opening at a time), addMutex (the opener's add queue),
//   restoreMutex (a restore waiting for its track) and identityMutex (the
//   current track's identity, taken inside restoreMutex where both are);
//   none of them is taken on the audio thread.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <functional>

#include "deck/AudioThread.h"
#include "deck/BandEqualiser.h"
#include "deck/BeatList.h"
#include "deck/BuildProfile.h"
#include "deck/DecodeAhead.h"
#include "deck/DeckHost.h"
#include "deck/DeckState.h"
#include "deck/KeyShifter.h"
#include "deck/PositionTrail.h"
#include "platform/Dialogs.h"
#include "platform/Mutex.h"
#include "platform/Relaxed.h"
#include "platform/Semaphore.h"
#include "platform/RecursiveLock.h"
#include "platform/Thread.h"
#include "deck/OutputGuard.h"
#include "deck/PlayerView.h"
#include "deck/TrackList.h"
#include "sources/SourceOwner.h"
#include "deck/StoreKeeper.h"
#include "store/TrackInfoRecord.h"
#include "sources/TrackSource.h"

class Deck : public SourceOwner {
public:
    static constexpr int32_t parameterCount = 18;
    static constexpr int32_t maxSources = 16;
    // Room for a parameter's name or display text; longer texts are cut.
    static constexpr int32_t parameterTextRoom = 64;

    enum Parameter : int32_t {
        Playing, AutoRewind, Position, Pitch, Track, EqCut1, EqCut2, EqBass, EqTreble, EqTweet, Vol, CutBass,
        CutTreble, CutTweet, Loop, Sync, KeyLock, Key
    };
    // Key lock: off, on with the faster engine, on with the finer one.
    enum class KeyLockMode : int32_t { Off, Fast, Fine };
    // The Key control shifts the key by whole semitones, this far either way.
    static constexpr int32_t maxKeyShift = 6;
    // How the deck follows the host with Sync on.
    enum class SyncStatus : int32_t {
        Off,        // Sync is off
        Locked,     // the deck's beats run on the host's
        OutOfReach, // the host's tempo lies beyond the pitch range: the deck plays at its end
        NoHostTime, // the host tells no tempo and position: the deck plays at its own
        NoGrid,     // the track has no tempo yet: the deck follows the transport only
    };

    // makeView makes the deck's view (the editor) once the deck's values
    // are in place; the view lives as long as the deck.
    Deck(DeckHost& host, const BuildProfile& profile, const std::function<PlayerView*(Deck&)>& makeView);
    virtual ~Deck();
    Deck(const Deck&) = delete;
    Deck& operator=(const Deck&) = delete;

    // The host's calls, in no plug-in format's terms.
    // Called when the host opens the instance: the store opens.
    void start();
    // A MIDI message of the next block, at its frame (audio thread).
    void takeMidi(AudioThread audio, int32_t frame, const uint8_t bytes[3]);
    // A parameter's new value at a frame of the next block (audio thread):
    // rendering splits the block there, as for a MIDI key, so automation
    // acts on its sample in the formats that time it.
    void takeParameter(AudioThread audio, int32_t frame, int32_t index, float value);
    // The parameters as a host sees them: values 0..1, names and texts.
    void setValue(int32_t index, float value);
    float valueOf(int32_t index);
    static void valueName(int32_t index, char* text);
    void valueDisplay(int32_t index, char* text);
    // The display text value would have (any value, not only the one held).
    void valueText(int32_t index, float value, char* text);
    // The text of a switch's or a stepped parameter's value, which needs no
    // deck; false for the other parameters.
    static bool stepText(int32_t index, float value, char* text);
    // A text in the display's forms; false when it says nothing the
    // parameter can take.
    bool setValueText(int32_t index, const char* text);
    // The value a text names, without taking it.
    bool valueOfText(int32_t index, const char* text, double& value);
    DeckHost& host() { return deckHost; }
    // The deck in the host's session. Hosts call these from any thread.
    DeckState captureState();
    // Takes a state at once, but for the current track, which the opener
    // thread opens; where it stood, its tempo, loop and play state follow
    // the opening. False, with nothing changed, when the state is refused.
    bool restoreState(const DeckState& state);

    // Sends the editor the list, tempo, track facts and time as they stand.
    void showState();

    // Openings, on the opener thread (tests and tools call them directly).
    // False when the current entry cannot be opened: "Unable to open file"
    // shows, nothing plays and playback stops.
    bool openTrack();
    // Opens the current entry or, when it cannot be opened, the next one in
    // direction (+1 or -1) that can; stops when none of them opens.
    bool openTrackOrStep(int32_t direction);
    void getTrackName(char* text, size_t room) const;
    void getTrackCounter(char* text, size_t room) const;

    // The deck's actions. The editor's controls, host values and MIDI keys
    // all come here; each changes the deck's own values, which the editor
    // reads at its idle. They run on any thread, the audio thread included:
    // none of them waits, allocates or reads a file (an opening goes to the
    // opener thread).
    void setPlaying(bool on);
    void togglePlay();
    void setAutoRewind(int32_t mode);
    // The beat jumps the editor offers, either way.
    static constexpr float jumpBeats[8] = {0.5f, 1.0f, 2.0f, 3.0f, 4.0f, 6.0f, 8.0f, 16.0f};
    // The pitch's reach either way, in percent.
    static constexpr float pitchRange = 32.0f;
    // Pitch as its control's value: 0 is -32 %, 0.5 none, 1 +32 %.
    void setPitch(float controlValue);
    void nudgePitch(float controlStep);
    void resetPitch() { setPitch(0.5f); }
    // A crossover moved past the other one takes it along.
    void setCrossover(int32_t which, float value);
    void setGain(int32_t band, float value);
    void setVolume(float value);
    void setCut(int32_t band, bool on);
    void resetEqualiser();
    // Loop button index (0: a quarter beat, each next one twice as long);
    // switching the engaged one off ends the loop.
    void selectLoop(int32_t index, bool on);
    void loopsOff();
    // Moves by a fraction of the track (a MIDI key's step).
    void stepPosition(float fraction);
    // Sync: the host's tempo sets the speed, its beats and bars the phase,
    // its transport when the deck sounds (while Play is on).
    void setSync(bool on);
    bool isSyncOn() const { return syncOn; }
    SyncStatus syncStatus() const { return static_cast<SyncStatus>(syncState.load()); }

    // The values changed since the editor last asked: bit n for parameter n.
    uint32_t takeChangedParameters() { return changedParameters.exchange(0, std::memory_order_acq_rel); }
    // The crossovers as a frequency at the current track's rate (44.1 kHz
    // without one).
    double crossoverHz(int32_t which) const;
    double subbandHz(int32_t subband) const;

    // Transport (audio rendering). replace: the deck's sound replaces the
    // outputs' samples; otherwise it is added to them.
    void renderBlock(AudioThread audio, float** outputs, int32_t frames, bool replace);
    void mixCrossfade(AudioThread audio, float* const* out, int32_t count);
    float currentBend();
    void jog(float value);
    void seek(float fraction);
    void move(float beats);
    void setLoop(bool on, float beats, int32_t index);
    void forward();
    // Acts as a MIDI note-on of key (its number within the repeating two
    // octaves) would: at once, on the calling thread.
    void pressKey(AudioThread audio, int32_t key);
    float hostRate() const;

    // Opens the current entry on the player's opener thread: the audio and
    // MIDI paths ask for an opening here instead of mapping files themselves.
    // Rendering plays silence until the opening is done.
    // direction: where to step on when the entry cannot be opened (0: nowhere).
    void requestOpen(int32_t direction = 0);
    // Waits until no requested opening or add is left (for tests and tools).
    void waitForOpenings();
    bool isOpening() const { return openRequests.load(std::memory_order_relaxed) > 0; }

    // Track list.
    // buffer holds one path, or a multi-selection of room bytes at most. The
    // files are added on the opener thread, which reads the lists among
    // them: the caller never waits for a disk.
    void addFiles(const char* buffer, size_t room, bool openAfter);
    void addPaths(const std::vector<std::string>& paths, bool openAfter);
    void insertEntry(const char* path);
    bool readTrackList(const char* listPath, char* output, size_t room);
    // False, with the old list kept, when the list could not be written.
    bool saveTrackList(const char* listPath);
    void deleteSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    void toggleSelection(int32_t row);
    void playRow(int32_t row);
    void scrollList(float x);
    bool nextFile();
    bool previousFile();
    // The add and save dialogs, started and then polled by the editor; null
    // when no dialog can be shown.
    std::unique_ptr<platform::FileChoice> startChoosingTracks(uintptr_t parentWindow);
    void addChosenFiles(const std::vector<std::string>& chosen);
    std::unique_ptr<platform::FileChoice> startChoosingListToSave(uintptr_t parentWindow);
    void saveChosenList(std::string path);

    // Tempo.
    void tapTempo();
    void setTempo(float bpm);
    // Halves (0.5) or doubles (2) the tempo, keeping the grid's first beat:
    // the user's correction of an octave analysis got wrong.
    void scaleTempo(float factor);
    // The beat light: 2 in the first quarter of a bar's first beat, 1 in
    // that of another beat, 0 between beats and while no tempo is known.
    int32_t beatLight() const;
    // The grid: the beat number at a track frame, counted from the bar's
    // first beat, and back; from the analysed beats where the tempo moves,
    // else at the tempo. Any thread; never waits.
    double beatAt(double frame, double trackRate) const;
    double frameAt(double beat, double trackRate) const;
    void sendTimeInfo();
    int32_t getBeatOrigin() const { return beatOrigin; }

    // MIDI.
    bool isTrackSelectMode() const { return trackSelectMode; }

    // Reports of the sources' loaders.
    void setSize(int32_t frames, bool final) override;
    void loadProgress(int32_t frames) override;

    // The track store: a track is looked up once its loader identifies it,
    // and each fact is kept as soon as it is learned.
    void identified(TrackSource* source, const Fingerprint::Value& fingerprint) override;
    // The loader's analysis of the whole track: its grid is taken unless
    // the user set the tempo, its key always.
    void analysed(TrackSource* source, const BeatGrid& grid, const MusicalKey& key) override;
    // The current track's key (0 = C major ... 11 = B major, 12 = C minor
    // ... 23 = B minor); -1 while none is known.
    int32_t getKey() const { return keyIndex; }
    // The key heard: the track's, moved by the Key control (-1: not known).
    int32_t heardKey() const {
        const int32_t key = keyIndex, shift = KeyShifter::available() ? keySemitones.load() : 0;
        return key < 0 || key >= 24 ? key : (key % 12 + shift + 12) % 12 + (key >= 12 ? 12 : 0);
    }
    // The current track's analysis was told, or the store knew the track.
    bool isAnalysed() const { return analysisDone; }
    bool isTempoByUser() const { return tempoByUser; }
    // A tempo was analysed, stored or set for the current track.
    bool isTempoKnown() const { return tempoKnown; }
    // The grid is the analysed beats, the tempo moving along the track.
    bool followsBeats() const { return !beatList.empty(); }
    // The tempo at the play position as played: over the four beats around
    // it where the tempo moves, else the track's at the current speed.
    float playedTempoNow() const;
    void getInfos();
    void setInfos();
    // Whether the store has answered for the current track.
    bool isIdentified() {
        platform::MutexLock guard(identityMutex);
        return identityKnown;
    }
    // The store keeper (null before start); tests and tools settle it.
    StoreKeeper* storeKeeper() { return keeper.get(); }
    // Where the first store's file of a host directory (or the library's own) lies.
    static std::string storeFolder(const char* hostDirectory);
    // The user's track store database.
    static std::string storePath();

    // Track list display.
    void refreshList();

    const BuildProfile& buildProfile() const { return profile; }
    PlayerView& view() { return *editorView; }
    TrackSource* getCurrentSource() const { return currentSource; }
    TrackSource* sourceAt(int32_t slot) const { return slot >= 0 && slot < maxSources ? sources[slot] : nullptr; }
    TrackList& trackList() { return tracks; }
    // The play position in whole frames (rounded down); rendering keeps
    // its fraction.
    // With key lock the sound is heard a little after the track is read:
    // this is where the listener is.
    int32_t getPosition() const { return static_cast<int32_t>(heardPosition()); }
    double heardPosition() const { return heardLags ? heardAt.load() : position.load(); }
    // Frames between reading the track and hearing it (0 without key lock).
    int32_t getKeyLockLatency() const { return heardLags ? heardLatency.load() : 0; }
    double getExactPosition() const { return position; }
    void setPosition(double frames) { position = frames; }
    int32_t getLoopEnd() const { return static_cast<int32_t>(loopEnd.load()); }
    float getLoopBeats() const { return loopBeats; }
    int32_t getCrossfadeRemaining() const { return crossfadeRemaining; }
    int32_t getLength() const { return length; }
    bool isPlaying() const { return playing; }
    int32_t getAutoRewind() const { return autoRewind; }
    float getPitch() const { return pitch; }
    float getCrossover(int32_t which) const { return crossovers[std::clamp(which, 0, 1)]; }
    float getGain(int32_t band) const { return gains[std::clamp(band, 0, 2)]; }
    bool isCut(int32_t band) const { return cuts[std::clamp(band, 0, 2)]; }
    float getVolume() const { return volume; }
    float getTempo() const { return tempo; }
    bool isLoopOn() const { return loopOn; }
    int32_t getLoopIndex() const { return loopIndex; }
    bool isLengthKnown() const { return lengthKnown; }
    bool isOverviewKnown() const { return overviewKnown; }

private:
    void markChanged(int32_t index) { changedParameters.fetch_or(1u << index, std::memory_order_release); }
    // Reads the host's time and sets this block's speed, phase and silence
    // for Sync (audio thread).
    void followHost(AudioThread audio, int32_t frames);
    // Where a synced deck stands against the host: a new lock, a drift
    // corrected by speed, or a jump after the host moved (audio thread).
    void lockToHost(AudioThread audio, const HostTime& host, double trackRate, int32_t frames, bool sounded);
    // After the block: what the deck's own moves do to the lock (audio thread).
    void noteSyncedBlock(AudioThread audio);
    // Key lock on a span the transport rendered: the pitch brought back (and
    // shifted by Key) through the pipeline, or the plain sound where it is
    // off or bypassed (reverse, scratching). Returns whether out sounds.
    bool lockKey(AudioThread audio, float* const* out, int32_t frames, bool sounding, double factor, bool bypass);
    // The pitch scale that brings a speed factor's sound to the key heard.
    double keyScaleFor(double factor) const {
        const bool lock = keyLockMode != static_cast<int32_t>(KeyLockMode::Off) && factor > 0;
        return std::exp2(keySemitones / 12.0) / (lock ? factor : 1.0);
    }
    // Whether key lock is asked for at all (any thread).
    bool keyLockWanted() const {
        return KeyShifter::available() && (keyLockMode != static_cast<int32_t>(KeyLockMode::Off) || keySemitones != 0);
    }
    // Renders frames from `from` on, with the current settings.
    void renderSpan(AudioThread audio, float** outputs, int32_t from, int32_t frames, bool replace);
    // Returns whether the buffer was one playable path or a track list.
    bool addFilesFrom(const char* buffer, size_t room, std::set<std::string>& listsRead, int depth);
    bool isPlayable(const char* path) const;
    // What the list shows for an entry (listMutex held).
    std::string rowLabel(int32_t entry) const;
    // Reads a list's lines (never more than a few megabytes of them); the
    // reason it could not, in plain words, or null.
    const char* readListLines(const char* listPath, std::vector<std::string>& lines) const;
    void updateTimeDisplay();
    float speedFactor() const { return pitch * 0.01f + 1.0f; }
    double loopLengthFrames(double trackRate) const;
    // Fills out with the current track from the play position on; false when
    // nothing plays (out is silent).
    bool renderTrack(AudioThread audio, float* const* out, int32_t frames);
    // The band equaliser and the volume on rendered frames.
    void equalise(AudioThread audio, float* const* out, int32_t frames, double trackRate);
    // Renders the 1,024 frames from a position that fade out after a jump.
    void renderCrossfadeTail(AudioThread audio, double from, double ratio);
    // One attempt at the current entry. GivenUp: the plug-in closes or
    // another track was asked for while the file was being read.
    enum class Opening { Opened, Failed, GivenUp };
    Opening openCurrentEntry();
    Opening failOpening(const char* problem);
    // The opener thread's adds: lists are read here.
    void addFilesNow(const std::vector<char>& buffer, bool openAfter);
    // True when the opening or read under way should stop waiting.
    bool openingSuperseded(uint32_t generation) const;
    void openerLoop();
    // Builds the resampling kernels the current track needs at every pitch
    // on this host, once per pair of rates (opener thread).
    void prepareResampling();
    // Fades the sound out where reads found frames not yet decoded and back
    // in after them (audio thread).
    void fadeAroundGaps(AudioThread audio, float* const* out, int32_t frames, bool complete);
    // True while blocks come much faster than real time: an export by a host
    // that does not say it renders offline, which has no deadline to keep.
    bool hostRunsAhead(AudioThread audio, int32_t frames);
    // Tells decodeAhead where the deck may jump next (audio thread).
    void expectJumps(AudioThread audio, double at, double trackRate);
    // After an opening: a restored state's playback, when its track is the
    // one that opened.
    void finishRestore(bool opened);
    void showTrackFactsAndTime();
    float trackRateOrZero() const;

    const BuildProfile& profile;
    PlayerView* editorView = nullptr; // made by makeView, owned by whoever binds the deck to a host

    DeckHost& deckHost;
    Relaxed<TrackSource*> currentSource{nullptr};
    TrackSource* sources[maxSources] = {};
    // Key lock's pipeline; its stretcher runs on decodeAhead's worker, so
    // it is made before that worker and ends after it.
    KeyShifter keyShifter;
    // The only reader of the current source while the deck plays.
    DecodeAhead decodeAhead;
    // The play position with its fraction: written by rendering at the end of
    // each block and by jumps from other threads; rendering never undoes a
    // jump made during its block (compareExchange).
    Relaxed<double> position{0.0};
    double renderedPosition = 0.0; // where the last block ended (audio thread)
    Relaxed<int32_t> length{0};
    Relaxed<bool> playing{false};
    Relaxed<int32_t> autoRewind{0};
    Relaxed<float> pitch{0.0f};
    Relaxed<float> bend{0.0f};
    Relaxed<float> bendSnapshot{0.0f};
    Relaxed<float> lastJogValue{0.0f};
    Relaxed<uint32_t> lastJogTime{0};
    int32_t refreshCounter = 0;
    TrackList tracks;
    Relaxed<bool> trackSelectMode{false};
    Relaxed<float> crossovers[2] = {0.33f, 0.67f};
    Relaxed<float> gains[3] = {0.5f, 0.5f, 0.5f};
    Relaxed<float> volume{1.0f};
    Relaxed<bool> cuts[3] = {false, false, false};
    Relaxed<bool> loopOn{false};
    Relaxed<float> loopBeats{0.0f};
    Relaxed<double> loopEnd{0.0};
    Relaxed<int32_t> loopIndex{0};
    // Crossfade tail and mixing block: the audio thread's own.
    static constexpr int32_t mixFrames = 4096;
    float crossfade[2][1024] = {};
    float mixBlock[2][mixFrames] = {};
    BandEqualiser bandEqualiser;
    OutputGuard outputGuard;
    Relaxed<int32_t> crossfadeRemaining{0};
    // A move asks rendering to fade out from where it is (the tail is read
    // on the audio thread, the only reader of the sources).
    std::atomic<bool> fadePending{false};
    std::atomic<bool> cueFade{false}; // the pending fade is a cue's
    int32_t crossfadeLead = 0;          // 1: the new sound is in from the fade's first sample (audio thread)
    double renderedRatio = 1.0;         // the speed of the last block (audio thread)
    uint32_t tapTimes[100] = {};
    Relaxed<int32_t> tapCount{0};
    Relaxed<float> tempo{120.0f};
    Relaxed<int32_t> beatOrigin{0};
    Relaxed<bool> tempoKnown{false};
    Relaxed<bool> tempoByUser{false}; // tapped or set by the user: analysis never replaces it
    Relaxed<bool> gridRestored{false}; // the session's grid: this opening's analysis keeps it
    BeatList beatList; // where the tempo moves; empty for a constant tempo or the user's
    Relaxed<int32_t> keyIndex{-1};
    Relaxed<bool> analysisDone{false};
    Relaxed<bool> lengthKnown{false};
    Relaxed<bool> overviewKnown{false};
    std::atomic<uint32_t> changedParameters{~0u};
    // MIDI keys of the block to come, in the order of their frames: rendering
    // splits the block there, so each acts on its own sample (audio thread).
    // A parameter's change at its frame travels the same way (key < 0).
    struct KeyEvent {
        int32_t frame;
        int32_t key;
        int32_t parameter = -1;
        float value = 0.0f;
    };
    static constexpr int32_t maxKeyEvents = 512;
    KeyEvent keyEvents[maxKeyEvents] = {};
    int32_t keyEventCount = 0;
    void queueEvent(AudioThread audio, const KeyEvent& event);
    // How long an offline block waits for a track being opened.
    static constexpr uint32_t openingWaitMs = 5000;
    void actOn(AudioThread audio, const KeyEvent& event);
    // The speed change the pitch control asked for, as rendering glides to
    // it (audio thread).
    double glidingPitch = 0.0;
    bool trackPlayed = false; // whether the last span played the track (audio thread)
    // Sync. The lock is an offset: the deck's beat is the host's quarter
    // note plus syncOffset. Set on the audio thread, restored with a
    // session; a new track or grid clears syncAnchored.
    Relaxed<bool> syncOn{false};
    Relaxed<int32_t> syncState{0};
    Relaxed<bool> syncAnchored{false};
    Relaxed<double> syncOffset{0.0};
    Relaxed<double> syncStartBeat{-HUGE_VAL}; // the deck is silent before this beat (a Play's first)
    Relaxed<uint32_t> trackOpenings{0};
    // The audio thread's own: this block's speed factor and silent lead,
    // and what the last block left, to tell the deck's moves from drift.
    bool syncDrives = false;
    double syncFactor = 1.0;
    int32_t syncSilence = 0;
    bool syncMuted = false;
    double syncLastPosition = 0.0;
    double syncWrappedBeats = 0.0; // loop and repeat wraps within the block
    uint32_t syncSeenOpenings = 0;
    float syncSeenTempo = 0.0f;
    int32_t syncSeenOrigin = 0;
    bool syncSeenBeats = false;
    // Key lock: the settings (any thread) and where the listener is (the
    // audio thread writes, any thread reads).
    Relaxed<int32_t> keyLockMode{0}; // a KeyLockMode
    Relaxed<int32_t> keySemitones{0};
    // "on" found the finer engine too slow here (its output came late in
    // real time): it runs on the faster one until key lock is set again.
    Relaxed<bool> finerTooSlow{false};
    Relaxed<bool> heardLags{false};
    Relaxed<double> heardAt{0.0};
    Relaxed<int32_t> heardLatency{0};
    // The audio thread's own: the pipeline's state and what went into it.
    bool shifterFresh = true;  // the next pipeline asked for holds nothing of the last
    bool shifterReady = false; // the pipeline is built and takes sound
    bool shifting = false;     // sound goes through it (playing, or its last sound still coming out)
    bool plainSounded = false; // the last span's track sound did not go through it
    bool shiftStarved = false; // its output lacked frames; it fades back in
    int32_t finerLate = 0;     // times the finer engine's output came late in real time
    int64_t finerCalm = 0;     // frames since it last came late
    bool blockWaits = false;   // this block may wait for the workers (offline)
    int32_t shifterDrain = 0;  // frames until its last sound is out
    int32_t largestBlock = 0;  // the largest block the host has handed in
    double keyScale = 1.0;
    double lastTrackRate = 44100.0;
    PositionTrail heardTrail;
    float keyPlain[2][mixFrames] = {};
    bool starved = false;     // a read found frames not yet decoded; the sound fades back in (audio thread)
    void factsFound(const StoreKeeper::Found& found);
    // Takes a length; true when it is final and new (setInfos is the caller's).
    bool takeLength(int32_t frames, bool final);
    // The current track as the store knows it: set when its loader
    // identifies it, for the opening generation it was made in.
    platform::Mutex identityMutex;
    TrackIdentity identity GUARDED_BY(identityMutex);
    std::string identityPath GUARDED_BY(identityMutex); // the path the track was opened from
    bool identityAwaitsLength GUARDED_BY(identityMutex) = false; // looked up once the walk counts the length
    uint32_t identityGeneration GUARDED_BY(identityMutex) = 0;
    bool identityKnown GUARDED_BY(identityMutex) = false;
    std::unique_ptr<StoreKeeper> keeper;

    // Entries are edited on the GUI thread and copied by whichever thread
    // opens a track; this lock covers the path texts only and is never taken
    // on the audio thread.
    mutable platform::RecursiveLock listMutex;
    // One opening at a time, whoever asks.
    platform::Mutex openMutex;
    std::atomic<int32_t> openRequests{0}; // requests not yet served
    std::atomic<uint32_t> openGeneration{0}; // counts requests, so an opening sees a newer one
    struct AddJob {
        std::vector<char> buffer;
        bool openAfter;
    };
    platform::Mutex addMutex;
    std::vector<AddJob> addJobs GUARDED_BY(addMutex); // waiting for the opener thread
    std::atomic<int32_t> addsPending{0};
    Relaxed<int32_t> openDirection{0};
    Relaxed<float> hostPosition{-1.0f}; // the last Position a host sent for the track that is open
    // Whether the host renders much faster than real time (audio thread).
    std::chrono::steady_clock::time_point paceStart{};
    int64_t paceFrames = 0;
    bool runningAhead = false;
    Relaxed<bool> openerQuit{false};
    platform::Semaphore openerWake{0};
    std::atomic<double> resamplingPreparedFor{0.0}; // the track rate over the host rate
    platform::Thread opener;
    // The state a session restore waits to apply once its track is open.
    platform::Mutex restoreMutex;
    std::optional<DeckState> restoring GUARDED_BY(restoreMutex);
};
