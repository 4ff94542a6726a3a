#include "binding/PluginDeck.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "editor/PlayerEditor.h"

PluginDeck::PluginDeck(const BuildProfile& profile, std::string libraryFolder)
    : buildProfile(profile), folder(std::move(libraryFolder)) {
    deckObject = std::make_unique<Deck>(*this, profile, [this](Deck& deck) -> PlayerView* {
        editorObject.reset(PlayerEditor::make(deck, buildProfile));
        return editorObject.get();
    });
    deckObject->start();
}

PluginDeck::~PluginDeck() { endDeck(); }

void PluginDeck::endDeck() {
    // The deck closes its view and ends its threads; the editor goes after.
    deckObject.reset();
    editorObject.reset();
}

void PluginDeck::setHostTime(const HostTime* time) {
    blockTimeKnown = false;
    if (!time) return;
    blockTime = *time;
    blockTimeKnown = blockTime.holdsUp();
}

bool PluginDeck::readHostTime(HostTime& time) {
    if (!blockTimeKnown) return false;
    time = blockTime;
    return true;
}

void PluginDeck::render(float* left, float* right, int32_t frames) {
    if (!left || left != right) {
        float* outputs[2] = {left, right};
        deckObject->renderBlock(AudioThread::claim(), outputs, frames, true);
        return;
    }
    // One channel: the deck renders into it and a pair of its own, and the mix lands in it.
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(frames - done, monoRoom);
        float* outputs[2] = {left + done, monoScratch};
        deckObject->renderBlock(AudioThread::claim(), outputs, n, true);
        for (int32_t i = 0; i < n; ++i) left[done + i] = 0.5f * (left[done + i] + monoScratch[i]);
        done += n;
    }
}

std::vector<uint8_t> PluginDeck::saveState() { return deckObject->captureState().write(); }

bool PluginDeck::loadState(const void* data, size_t size) {
    DeckState state;
    if (!data || size == 0 || !state.read(data, size)) return false;
    return deckObject->restoreState(state);
}

namespace {
// A test holds the defaults to a fresh deck's values.
constexpr ParameterShape shapes[Deck::parameterCount] = {
    {1, 1, 0.0f, "Transport"},   // Playing
    {2, 2, 0.0f, "Transport"},   // AutoRewind: no, yes, stop
    {0, 0, 0.0f, "Transport"},   // Position
    {0, 0, 0.5f, "Transport"},   // Pitch
    {0, 0, 0.0f, "Transport"},   // Track
    {0, 0, 0.33f, "Equaliser"},  // Eq cut 1
    {0, 0, 0.67f, "Equaliser"},  // Eq cut 2
    {0, 0, 0.5f, "Equaliser"},   // Eq bass
    {0, 0, 0.5f, "Equaliser"},   // Eq treble
    {0, 0, 0.5f, "Equaliser"},   // Eq tweet
    {0, 0, 1.0f, "Equaliser"},   // Vol
    {1, 1, 0.0f, "Equaliser"},   // Cut Bass
    {1, 1, 0.0f, "Equaliser"},   // Cut Treble
    {1, 1, 0.0f, "Equaliser"},   // Cut Tweet
    {9, 10, 0.0f, "Loop"},       // Loop: off, then the nine lengths at 0.1, 0.2, ... 0.9
    {1, 1, 0.0f, "Sync"},        // Sync
    {2, 2, 0.0f, "Key"},         // Key lock: off, fast, on
    {2 * Deck::maxKeyShift, 2 * Deck::maxKeyShift, 0.5f, "Key"}, // Key: -6..+6 semitones
};
} // namespace

const ParameterShape& parameterShape(int32_t index) {
    static constexpr ParameterShape none{0, 0, 0.0f, ""};
    return index >= 0 && index < Deck::parameterCount ? shapes[index] : none;
}

double ParameterShape::plainFromDeck(float value) const {
    if (steps == 0) return value;
    return std::clamp<double>(std::lround(static_cast<double>(value) * scale), 0.0, steps);
}

float ParameterShape::deckFromPlain(double plain) const {
    if (!std::isfinite(plain)) return defaultValue;
    if (steps == 0) return static_cast<float>(std::clamp(plain, 0.0, 1.0));
    // Held to the range before rounding: a wild value rounds to nothing sound.
    return static_cast<float>(std::round(std::clamp<double>(plain, 0.0, steps)) / scale);
}
