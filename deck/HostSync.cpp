// Sync: the host is the clock. At the start of each block the deck reads
// the host's tempo, musical position and transport, and sets the speed its
// beats run at, the place they are locked to and whether it sounds.
//
// The lock is an offset: the deck's beat number (counted from a bar's first
// beat) is the host's quarter note plus syncOffset. A deck starting to play
// waits for the host's next beat that has its beat's place in the bar, so
// its bars fall on the host's. The deck's own moves keep the lock: a jump,
// a seek or a loop shifts the offset by whole beats (the phase stays the
// host's), a loop's wrap by exactly its length while the loop lasts. What
// is left is drift, and the host's own moves: up to 10 ms is taken out by a
// speed correction of at most 2 %; more (a locate or a loop of the host)
// moves the deck there, with its crossfade. A host that stops silences the
// deck where it stands; where it rolls on from, the deck follows.
//
// With key lock, the deck reads the track the pipeline's latency ahead of
// the host, so that what is heard is on the host's beat.
//
// Everything here runs on the audio thread; setSync runs on any thread, and
// the session reads and restores the offset from the GUI thread.
#include <algorithm>
#include <cmath>

#include "deck/Deck.h"

namespace {
constexpr double realignSeconds = 0.010;  // drift beyond this is a move: the deck jumps
constexpr double correctionSeconds = 0.2; // the time drift is taken out in
constexpr double mostCorrection = 0.02;   // the most the speed is bent to take it out

double floorMod(double x, double m) { return x - m * std::floor(x / m); }
} // namespace

void Deck::setSync(bool on) {
    if (on != syncOn) syncAnchored = false;
    syncOn = on;
    if (!on) syncState = static_cast<int32_t>(SyncStatus::Off);
    markChanged(Sync);
}

void Deck::followHost(AudioThread audio, int32_t frames) {
    syncDrives = false;
    syncSilence = 0;
    if (!syncOn) return;
    HostTime host;
    if (!deckHost.readHostTime(host)) {
        syncState = static_cast<int32_t>(SyncStatus::NoHostTime);
        return;
    }
    TrackSource* source = currentSource;
    const double trackRate = source ? source->getSampleRate() : 0.0;
    const bool sounded = trackPlayed; // the last block ended playing the track
    // A new track, or a new grid for this one, is locked afresh.
    const uint32_t openings = trackOpenings;
    if (openings != syncSeenOpenings || tempo != syncSeenTempo || beatOrigin != syncSeenOrigin ||
        followsBeats() != syncSeenBeats) {
        if (openings != syncSeenOpenings) syncLastPosition = position;
        else syncAnchored = false;
        syncSeenOpenings = openings;
        syncSeenTempo = tempo;
        syncSeenOrigin = beatOrigin;
        syncSeenBeats = followsBeats();
    }
    if (!host.rolling) {
        // The host stopped: the deck holds where it is, silent.
        syncSilence = frames;
        syncState = static_cast<int32_t>(tempoKnown ? SyncStatus::Locked : SyncStatus::NoGrid);
        return;
    }
    if (!tempoKnown || trackRate <= 0 || length <= 0 || isOpening()) {
        syncState = static_cast<int32_t>(SyncStatus::NoGrid);
        return;
    }
    if (!playing) {
        // Play is off: the next press locks afresh.
        syncAnchored = false;
        syncState = static_cast<int32_t>(SyncStatus::Locked);
        return;
    }
    // With key lock the deck is heard its pipeline's latency after it reads
    // the track: it reads where the host will be by then.
    if (keyLockWanted() && shifterReady) {
        // The scale the sound goes through: the last block's while the deck
        // sounds, else the one the host's tempo will ask for (an export
        // from the start is the same whatever played before it).
        const double speed = tempo > 0 ? std::clamp(host.tempo / tempo, 1.0 - pitchRange * 0.01, 1.0 + pitchRange * 0.01) : 1.0;
        const double scale = sounded ? keyScale : keyScaleFor(speed);
        const double lead = static_cast<double>(keyShifter.latencyAt(scale)) / hostRate();
        host.ppqPos += lead * host.tempo / 60.0;
    }
    lockToHost(audio, host, trackRate, frames, sounded);
}

void Deck::lockToHost(AudioThread, const HostTime& host, double trackRate, int32_t frames, bool sounded) {
    const double hostBeatsPerFrame = host.tempo / 60.0 / hostRate();
    const double bar = std::fabs(host.barQuarters - 4.0) < 1e-9 ? 4.0 : 1.0; // the deck's bars are 4 beats
    const double barStart = host.barStartPos;
    const double at = position;
    double beat = beatAt(at, trackRate);

    // The deck's own moves since the last block: loop wraps exactly, other
    // moves by whole beats.
    double offset = syncOffset;
    if (syncAnchored) {
        const double moved = beatAt(at, trackRate) - beatAt(syncLastPosition, trackRate);
        offset += syncWrappedBeats + (std::isfinite(moved) ? moved : 0.0);
        if (!loopOn) offset = std::round(offset);
        // Moved by a person: the deck may sound from anywhere in the track.
        if (moved != 0.0) syncStartBeat = -HUGE_VAL;
    }
    syncWrappedBeats = 0.0;

    if (!syncAnchored) {
        if (sounded) {
            // Sync comes on while the deck sounds: the nearest lock that puts
            // its bars on the host's; the deck jumps there.
            offset = std::round((beat - host.ppqPos + barStart) / bar) * bar - barStart;
            syncStartBeat = -HUGE_VAL;
        } else {
            // Play: the grid's beat nearest the position plays on the host's
            // next beat with its place in the bar, and nothing before it.
            double first = std::round(beat);
            if (frameAt(first, trackRate) < 0) first += 1.0;
            double next = std::ceil(host.ppqPos - 1e-9);
            next += floorMod(first - (next - barStart), bar);
            offset = first - next;
            syncStartBeat = first;
        }
        syncAnchored = true;
    }

    // The speed at which a deck beat lasts a host beat, here in the track.
    const double here = std::floor(beat);
    const double framesPerBeat = frameAt(here + 1.0, trackRate) - frameAt(here, trackRate);
    const double wanted = host.tempo / 60.0 * framesPerBeat / trackRate;
    const double lowest = 1.0 - pitchRange * 0.01, highest = 1.0 + pitchRange * 0.01;
    const double speed = std::clamp(std::isfinite(wanted) ? wanted : 1.0, lowest, highest);
    // The pitch control shows the speed in use, the tempo display the
    // tempo played.
    const auto shown = static_cast<float>((speed - 1.0) * 100.0);
    if (std::fabs(shown - pitch) > 0.001f) {
        pitch = shown;
        markChanged(Pitch);
        editorView->showTempo(static_cast<float>(tempo * speed));
    }
    glidingPitch = pitch;
    syncDrives = true;
    syncFactor = speed;
    if (!(wanted >= lowest && wanted <= highest)) {
        // Out of reach: no lock to keep, the deck plays at the range's end.
        syncOffset = beat - host.ppqPos;
        syncState = static_cast<int32_t>(SyncStatus::OutOfReach);
        return;
    }
    syncState = static_cast<int32_t>(SyncStatus::Locked);
    syncOffset = offset;

    const double target = host.ppqPos + offset;
    const double startBeat = std::max(static_cast<double>(syncStartBeat), beatAt(0.0, trackRate));
    if (target < startBeat) {
        // Before the deck's start (the beat Play started it on, or the
        // track's first frame): silent until the host reaches it. The same
        // host time gives the same start, so an export is the same each time.
        position = std::max(frameAt(startBeat, trackRate), 0.0);
        const double wait = std::ceil((startBeat - target) / hostBeatsPerFrame);
        syncSilence = static_cast<int32_t>(std::min<double>(wait, frames));
        return;
    }
    const double error = (beat - target) * 60.0 / host.tempo; // seconds ahead of the host
    if (std::fabs(error) > realignSeconds) {
        // The host moved (a locate, its loop, a start elsewhere) or the deck
        // drifted far: the deck moves to where its beat is the host's,
        // fading over from where it sounded.
        position = std::clamp(frameAt(target, trackRate), 0.0, static_cast<double>(length));
        if (sounded) fadePending = true;
        return;
    }
    syncFactor = speed * (1.0 - std::clamp(error / correctionSeconds, -mostCorrection, mostCorrection));
}

void Deck::noteSyncedBlock(AudioThread) { syncLastPosition = position; }
