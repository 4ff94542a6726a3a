// The deck's state in the host's session: taken from the player and given
// back to it (the chunk a host saves with its project).
//
// Threads: hosts ask for and give chunks on their GUI thread or another
// non-audio thread, while the audio thread renders. The list is copied under
// its lock; every other value is a relaxed word. A restore sets the list and
// the controls at once; the track is opened on the opener thread, which then
// applies where it stood (finishRestore), so nothing here reads a file.
#include <algorithm>
#include <cmath>

#include "log/DebugLog.h"
#include "deck/Deck.h"

DeckState Deck::captureState() {
    DeckState state;
    {
        platform::ScopedLock guard(listMutex);
        const int32_t count = std::clamp<int32_t>(tracks.count, 0, TrackList::capacity);
        for (int32_t i = 0; i < count; ++i) state.entries.push_back({tracks.entries[i], tracks.selected[i]});
        state.currentEntry = count > 0 ? std::clamp<int32_t>(tracks.currentIndex, 0, count - 1) : 0;
        state.listTop = tracks.viewTop;
        state.listFraction = tracks.viewFraction;
    }
    for (int32_t index = 0; index < parameterCount; ++index) state.parameters[index] = valueOf(index);
    state.position = heardPosition(); // where the listener is
    state.playing = playing;
    state.tempo = tempo;
    state.beatOrigin = beatOrigin;
    state.tempoKnown = tempoKnown;
    state.tempoByUser = tempoByUser;
    state.loopOn = loopOn;
    state.loopBeats = loopBeats;
    state.loopIndex = loopIndex;
    state.loopEnd = loopEnd;
    state.syncAnchored = syncAnchored;
    state.syncOffset = syncOffset;
    state.syncStartBeat = syncStartBeat;
    state.page = editorView->page();
    state.remainingTime = editorView->showsRemainingTime();
    state.windowScale = editorView->chosenScale();
    // A restore still waiting for its track: the deck is where it will be.
    platform::MutexLock guard(restoreMutex);
    if (restoring) {
        state.position = restoring->position;
        state.playing = restoring->playing;
        state.tempo = restoring->tempo;
        state.beatOrigin = restoring->beatOrigin;
        state.tempoKnown = restoring->tempoKnown;
        state.tempoByUser = restoring->tempoByUser;
        state.loopOn = restoring->loopOn;
        state.loopBeats = restoring->loopBeats;
        state.loopIndex = restoring->loopIndex;
        state.loopEnd = restoring->loopEnd;
        state.syncAnchored = restoring->syncAnchored;
        state.syncOffset = restoring->syncOffset;
        state.syncStartBeat = restoring->syncStartBeat;
    }
    return state;
}

bool Deck::restoreState(const DeckState& state) {
    if (state.entries.size() > static_cast<size_t>(TrackList::capacity)) return false;
    for (const DeckState::Entry& entry : state.entries)
        if (entry.path.size() >= static_cast<size_t>(TrackList::pathRoom)) return false;
    writeLog("restoreState\n");
    setPlaying(false); // nothing of the previous track plays on
    {
        platform::ScopedLock guard(listMutex);
        const auto count = static_cast<int32_t>(state.entries.size());
        for (int32_t i = 0; i < count; ++i) {
            std::snprintf(tracks.entries[i], TrackList::pathRoom, "%s", state.entries[i].path.c_str());
            tracks.selected[i] = state.entries[i].marked;
        }
        for (int32_t i = count; i < TrackList::capacity; ++i) {
            tracks.entries[i][0] = '\0';
            tracks.selected[i] = false;
        }
        tracks.count = count;
        tracks.currentIndex = state.currentEntry;
        const int32_t lastTop = std::max(count - (profile.listRows - 1), 0);
        tracks.viewTop = std::clamp(state.listTop, 0, lastTop);
        tracks.viewFraction = std::clamp(state.listFraction, 0.0f, 1.0f);
    }
    // The controls take the host's values as a host writes them.
    for (int32_t index : {AutoRewind, Pitch, EqCut1, EqCut2, EqBass, EqTreble, EqTweet, Vol, CutBass, CutTreble,
                          CutTweet, Sync, KeyLock, Key})
        setValue(index, state.parameters[index]);
    loopsOff();
    editorView->restoreView(state.page, state.remainingTime, state.windowScale);
    refreshList();
    {
        platform::MutexLock guard(restoreMutex);
        restoring = state;
    }
    if (state.entries.empty()) {
        currentSource = nullptr;
        decodeAhead.switchTo(nullptr, 0);
        length = 0;
        position = 0.0;
        platform::MutexLock guard(restoreMutex);
        restoring.reset();
        tempo = state.tempo;
        beatOrigin = state.beatOrigin;
        tempoKnown = state.tempoKnown;
        tempoByUser = state.tempoByUser;
        editorView->showTempo(tempo * speedFactor());
        return true;
    }
    requestOpen(0);
    return true;
}

void Deck::finishRestore(bool opened) {
    platform::MutexLock guard(restoreMutex);
    if (!restoring) return;
    const DeckState& state = *restoring;
    {
        // An opening asked for before the restore may end first: the
        // restore waits for its own track.
        platform::ScopedLock list(listMutex);
        const auto entry = static_cast<size_t>(state.currentEntry);
        if (tracks.currentIndex != state.currentEntry || entry >= state.entries.size() ||
            state.entries[entry].path != tracks.current())
            return;
    }
    {
        // The grid the session played by stays this opening's: analysis
        // finishing later does not move it.
        platform::MutexLock identity(identityMutex);
        tempo = state.tempo;
        beatOrigin = state.beatOrigin;
        tempoKnown = state.tempoKnown;
        tempoByUser = state.tempoByUser;
        gridRestored = state.tempoKnown;
        if (tempoByUser)
            beatList.clear();
        else
            beatList.setOrigin(beatOrigin);
    }
    editorView->showTempo(tempo * speedFactor());
    if (opened) {
        position = state.position;
        if (state.loopOn) {
            loopBeats = state.loopBeats;
            loopIndex = state.loopIndex;
            loopEnd = state.loopEnd;
            loopOn = true;
            markChanged(Loop);
        }
        // A session opens stopped where it was: what an export holds never
        // depends on how long the host took to start it. A synced deck keeps
        // its Play and its lock, and sounds when the host rolls.
        if (syncOn) {
            syncOffset = state.syncOffset;
            syncStartBeat = state.syncStartBeat;
            syncAnchored = state.syncAnchored;
            setPlaying(state.playing);
        }
        updateTimeDisplay();
    }
    restoring.reset();
}
