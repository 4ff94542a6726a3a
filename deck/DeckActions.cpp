// The deck's actions: what the editor's controls, host values and MIDI keys
// do. Each writes the deck's own values (single relaxed words the audio
// thread reads at its next span) and marks them changed for the editor,
// which shows them at its idle. They never wait, allocate or read a file,
// so any thread may call them, the audio thread included; an opening is
// handed to the opener thread.
#include <algorithm>
#include <cmath>

#include "log/DebugLog.h"
#include "deck/Deck.h"
#include "sources/ControlLaws.h"

namespace {
float unit(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }
} // namespace

void Deck::setPlaying(bool on) {
    // Play with no track (none opened, or the last one could not be) stays off.
    if (on && !currentSource && !isOpening()) on = false;
    playing = on;
    markChanged(Playing);
}

void Deck::togglePlay() { setPlaying(!playing); }

void Deck::setAutoRewind(int32_t mode) {
    autoRewind = std::clamp(mode, 0, 2);
    markChanged(AutoRewind);
}

void Deck::setPitch(float controlValue) {
    pitch = (2.0f * unit(controlValue) - 1.0f) * pitchRange;
    markChanged(Pitch);
    editorView->showTempo(tempo * speedFactor());
}

void Deck::nudgePitch(float controlStep) { setPitch(valueOf(Pitch) + controlStep); }

void Deck::setCrossover(int32_t which, float value) {
    if (which < 0 || which > 1) return;
    value = unit(value);
    crossovers[which] = value;
    if (crossovers[1] < crossovers[0]) crossovers[1 - which] = value;
    markChanged(EqCut1);
    markChanged(EqCut2);
}

void Deck::setGain(int32_t band, float value) {
    if (band < 0 || band > 2) return;
    gains[band] = unit(value);
    markChanged(EqBass + band);
}

void Deck::setVolume(float value) {
    volume = unit(value);
    markChanged(Vol);
}

void Deck::setCut(int32_t band, bool on) {
    if (band < 0 || band > 2) return;
    cuts[band] = on;
    markChanged(CutBass + band);
}

void Deck::resetEqualiser() {
    setCrossover(0, 0.33f);
    setCrossover(1, 0.67f);
    for (int32_t band = 0; band < 3; ++band) {
        setGain(band, 0.5f);
        setCut(band, false);
    }
}

double Deck::crossoverHz(int32_t which) const { return subbandHz(crossoverSubband(getCrossover(which))); }

// A subband's lower edge at the track's rate, where the equaliser puts a
// crossover: never above 45 % of the host's rate, where its filters end.
double Deck::subbandHz(int32_t subband) const {
    const float rate = trackRateOrZero();
    return std::min(subband * (rate > 0 ? rate : 44100.0) / 64.0, 0.45 * hostRate());
}

void Deck::selectLoop(int32_t index, bool on) {
    if (index < 0 || index > 8) return;
    setLoop(on, static_cast<float>(1 << index) * 0.25f, index);
    markChanged(Loop);
}

void Deck::loopsOff() {
    if (loopOn) setLoop(false, loopBeats, loopIndex);
    markChanged(Loop);
}

void Deck::stepPosition(float fraction) {
    if (tracks.empty() || !std::isfinite(fraction)) return;
    seek(std::clamp(valueOf(Position) + fraction, 0.0f, 1.0f));
}
