// The host parameters: names, values, displays as a user reads them
// and the texts they take back, and the action a host's value calls.
#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Paths.h"
#include "log/DebugLog.h"
#include "deck/Deck.h"
#include "sources/ControlLaws.h"

namespace {

const char* const parameterNames[Deck::parameterCount] = {
    "Playing", "AutoRewind", "Position", "Pitch", "Track", "Eq cut 1", "Eq cut 2", "Eq bass",
    "Eq treble", "Eq tweet", "Vol", "Cut Bass", "Cut Treble", "Cut Tweet", "Loop", "Sync", "Key lock", "Key"};

bool validIndex(int32_t index) { return index >= 0 && index < Deck::parameterCount; }

void writeText(char* text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void writeText(char* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, Deck::parameterTextRoom, format, args);
    va_end(args);
}

const char* yesNo(bool on) { return on ? "yes" : "no"; }

// Key lock's three values, in the order of the host's 0, 0.5 and 1: a
// switch a host turns on takes the better engine.
const char* const keyLockNames[3] = {"off", "fast", "on"};

} // namespace

void Deck::valueName(int32_t index, char* text) {
    if (!validIndex(index)) return;
    writeText(text, "%s", parameterNames[index]);
}

namespace {
// "1:23.4": minutes and seconds to a tenth.
void writeTime(char* text, size_t room, double seconds) {
    const auto tenths = static_cast<int64_t>(std::floor(std::max(seconds, 0.0) * 10.0 + 0.5));
    std::snprintf(text, room, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                  static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
}

std::string decibels(double factor) {
    char text[32];
    if (!(factor > 0.0)) return "-inf dB";
    std::snprintf(text, sizeof text, "%.1f dB", 20.0 * std::log10(factor) + 0.0);
    return text;
}

std::string loopLength(float beats) {
    char text[32];
    if (beats == 0.25f) return "1/4 beat";
    if (beats == 0.5f) return "1/2 beat";
    std::snprintf(text, sizeof text, beats == 1.0f ? "%g beat" : "%g beats", static_cast<double>(beats));
    return text;
}
} // namespace

// The texts that follow from the value alone (switches and steps), for any
// value: what hosts list as a stepped parameter's choices.
bool Deck::stepText(int32_t index, float value, char* text) {
    if (!validIndex(index)) return false;
    if (!std::isfinite(value)) value = 0.0f;
    value = std::clamp(value, 0.0f, 1.0f);
    switch (index) {
    case Playing:
    case CutBass:
    case CutTreble:
    case CutTweet:
    case Sync: writeText(text, "%s", yesNo(value >= 0.5f)); return true;
    case AutoRewind: {
        const long mode = std::lround(value * 2.0f);
        writeText(text, "%s", mode == 0 ? "next track" : mode == 1 ? "repeat" : "stop");
        return true;
    }
    case KeyLock:
        if (!KeyShifter::available()) writeText(text, "n/a");
        else writeText(text, "%s", keyLockNames[std::clamp<long>(std::lround(value * 2.0f), 0, 2)]);
        return true;
    case Key: writeText(text, "%+d", static_cast<int>(std::lround(value * 2.0f * maxKeyShift)) - maxKeyShift); return true;
    case Loop:
        if (value < 0.1f) writeText(text, "off");
        else writeText(text, "%s", loopLength(static_cast<float>(1 << std::min(static_cast<int32_t>((value - 0.1f) * 10.0f + 0.001f), 8)) * 0.25f).c_str());
        return true;
    default: return false;
    }
}

// A value the parameter does not hold now (a host's automation lane, its
// generic editor): the same texts, from the value and the current track.
void Deck::valueText(int32_t index, float value, char* text) {
    if (!validIndex(index)) return;
    if (!std::isfinite(value)) value = 0.0f;
    value = std::clamp(value, 0.0f, 1.0f);
    if (value == valueOf(index)) return valueDisplay(index, text);
    if (stepText(index, value, text)) return;
    switch (index) {
    case Position: {
        const float rate = trackRateOrZero();
        const int32_t frames = length;
        char at[32] = "0:00.0";
        if (rate > 0 && frames > 0) writeTime(at, sizeof at, value * static_cast<double>(frames) / rate);
        writeText(text, "%s", at);
        break;
    }
    case Pitch: writeText(text, "%+.1f %%", (static_cast<double>(value) * 2.0 - 1.0) * pitchRange + 0.0); break;
    case Track: {
        const int32_t total = tracks.count;
        if (total <= 0) writeText(text, "%s", "");
        else writeText(text, "track %d", static_cast<int>(std::min<long>(std::lround(static_cast<double>(value) * total), total - 1)) + 1);
        break;
    }
    case EqCut1:
    case EqCut2: writeText(text, "%.0f Hz", subbandHz(crossoverSubband(value))); break;
    case EqBass:
    case EqTreble:
    case EqTweet: writeText(text, "%s", decibels(value).c_str()); break;
    case Vol: writeText(text, "%s", decibels(volumeFactor(value)).c_str()); break;
    default: break;
    }
}

void Deck::valueDisplay(int32_t index, char* text) {
    switch (index) {
    case Playing: writeText(text, "%s", yesNo(playing)); break;
    case AutoRewind: {
        int32_t mode = autoRewind;
        // What the deck does at a track's end.
        writeText(text, "%s", mode == 0 ? "next track" : mode == 1 ? "repeat" : "stop");
        break;
    }
    case Position: {
        const float rate = trackRateOrZero();
        const int32_t frames = length;
        char at[32] = "0:00.0", total[32] = "0:00.0";
        if (rate > 0 && frames > 0) {
            writeTime(at, sizeof at, getPosition() / static_cast<double>(rate));
            writeTime(total, sizeof total, frames / static_cast<double>(rate));
        }
        writeText(text, "%s / %s", at, total);
        break;
    }
    case Pitch: writeText(text, "%+.1f %%", static_cast<double>(pitch) + 0.0); break;
    case Track:
        // The host's room is far shorter than a path: the file's own name is
        // what identifies the track there.
        if (tracks.empty()) {
            writeText(text, "%s", "");
        } else {
            auto parts = platform::paths::split(tracks.current());
            writeText(text, "%s%s", parts.name.c_str(), parts.extension.c_str());
        }
        break;
    case EqCut1:
    case EqCut2: writeText(text, "%.0f Hz", crossoverHz(index - EqCut1)); break;
    case EqBass:
    case EqTreble:
    case EqTweet: {
        const int32_t band = index - EqBass;
        writeText(text, "%s", decibels(cuts[band] ? 0.0 : static_cast<double>(gains[band])).c_str());
        break;
    }
    case Vol: writeText(text, "%s", decibels(volumeFactor(volume)).c_str()); break;
    case CutBass:
    case CutTreble:
    case CutTweet: writeText(text, "%s", yesNo(cuts[index - CutBass])); break;
    case Sync: writeText(text, "%s", yesNo(syncOn)); break;
    case KeyLock:
        if (!KeyShifter::available()) writeText(text, "n/a");
        else if (keyLockMode == static_cast<int32_t>(KeyLockMode::Fine) && finerTooSlow) writeText(text, "on (fast)");
        else writeText(text, "%s", keyLockNames[std::clamp<int32_t>(keyLockMode, 0, 2)]);
        break;
    case Key: writeText(text, "%+d", static_cast<int>(keySemitones)); break;
    case Loop: writeText(text, "%s", loopOn ? loopLength(loopBeats).c_str() : "off"); break;
    default: break;
    }
}

float Deck::valueOf(int32_t index) {
    writeLog("getParameter()\n");
    switch (index) {
    case Playing: return playing ? 1.0f : 0.0f;
    case AutoRewind: return static_cast<float>(autoRewind) * 0.5f;
    case Position: {
        int32_t frames = length;
        return frames > 0 ? static_cast<float>(getPosition()) / frames : 0.0f;
    }
    case Pitch: return (pitch / 32.0f + 1.0f) * 0.5f;
    case Track: return tracks.empty() ? 0.0f : static_cast<float>(tracks.currentIndex) / tracks.count;
    case EqCut1: return crossovers[0];
    case EqCut2: return crossovers[1];
    case EqBass: return gains[0];
    case EqTreble: return gains[1];
    case EqTweet: return gains[2];
    case Vol: return volume;
    case CutBass:
    case CutTreble:
    case CutTweet: return cuts[index - CutBass] ? 1.0f : 0.0f;
    case Sync: return syncOn ? 1.0f : 0.0f;
    case KeyLock: return static_cast<float>(keyLockMode) * 0.5f;
    case Key: return static_cast<float>(keySemitones + maxKeyShift) / (2.0f * maxKeyShift);
    case Loop: return loopOn ? static_cast<float>(loopIndex + 1) * 0.1f + 0.01f : 0.0f;
    default: return 0.0f;
    }
}

void Deck::setValue(int32_t index, float value) {
    writeLogf("setParameter() : %d, %.2f...", index, static_cast<double>(value));
    if (!validIndex(index) || !std::isfinite(value)) {
        writeLog("ok\n");
        return;
    }
    value = std::clamp(value, 0.0f, 1.0f);
    switch (index) {
    case Playing: setPlaying(value >= 0.5f); break;
    // Three modes at 0, 0.5 and 1: the nearest is taken.
    case AutoRewind: setAutoRewind(static_cast<int32_t>(std::lround(value * 2.0f))); break;
    case Position:
        // Hosts send an automated value again whenever the one they read
        // differs from it, and the position moves on by itself: a value the
        // host already sent, or the place the deck is at, is no new jump
        // (else a held lane would hold the deck on one block).
        if (!tracks.empty() && value != hostPosition &&
            std::floor(static_cast<double>(length) * value) != static_cast<double>(getPosition())) {
            hostPosition = value;
            seek(value);
        }
        break;
    case Pitch:
        // While Sync follows a host's tempo, that tempo sets the speed.
        if (syncStatus() != SyncStatus::Locked && syncStatus() != SyncStatus::OutOfReach) setPitch(value);
        break;
    case Track:
        if (!tracks.empty()) {
            // The entry whose reported value (index / count) is nearest, so
            // that a host writing back what it read keeps the entry.
            int32_t total = tracks.count;
            int32_t chosen = std::min(static_cast<int32_t>(std::lround(static_cast<double>(value) * total)), total - 1);
            if (chosen != tracks.currentIndex) {
                tracks.currentIndex = chosen;
                // Hosts automate from the audio thread: the opener thread reads the file.
                requestOpen();
            }
        }
        break;
    case EqCut1: setCrossover(0, value); break;
    case EqCut2: setCrossover(1, value); break;
    case EqBass:
    case EqTreble:
    case EqTweet: setGain(index - EqBass, value); break;
    case Vol: setVolume(value); break;
    case CutBass:
    case CutTreble:
    case CutTweet: setCut(index - CutBass, value >= 0.5f); break;
    case Sync: setSync(value >= 0.5f); break;
    case KeyLock:
        keyLockMode = static_cast<int32_t>(std::lround(value * 2.0f));
        finerTooSlow = false; // a choice made again is tried again
        markChanged(KeyLock);
        break;
    case Key:
        keySemitones = static_cast<int32_t>(std::lround(value * 2.0f * maxKeyShift)) - maxKeyShift;
        markChanged(Key);
        break;
    case Loop:
        if (value < 0.1f) {
            loopsOff();
        } else {
            // Steps of 0.1 from a host land on their loop despite rounding.
            selectLoop(std::min(static_cast<int32_t>((value - 0.1f) * 10.0f + 0.001f), 8), true);
        }
        break;
    default: break;
    }
    writeLog("ok\n");
}


namespace {
// A text's leading number, with what follows it; false without one.
bool leadingNumber(const char* text, double& value, std::string& rest) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    if (end == text || !std::isfinite(value)) return false;
    rest = end;
    return true;
}

std::string lowered(const char* text) {
    std::string out;
    for (const char* c = text; *c; ++c)
        if (*c != ' ') out += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return out;
}


// "1:23.4", "83.4" or "1:02:03", or the display's "1:23.4 / 5:02.0": seconds,
// or none when the text is no time.
std::optional<double> timeIn(const char* text) {
    std::string time(text);
    time = time.substr(0, time.find('/'));
    if (time.find_first_not_of("0123456789:. ") != std::string::npos) return std::nullopt;
    double seconds = 0.0;
    const char* at = time.c_str();
    for (int part = 0; part < 3; ++part) {
        char* end = nullptr;
        const double number = std::strtod(at, &end);
        if (end == at || !std::isfinite(number) || number < 0) return std::nullopt;
        seconds = seconds * 60.0 + number;
        if (*end != ':') return seconds;
        at = end + 1;
    }
    return std::nullopt;
}

// A dB text ("-6.0 dB", "-inf dB") as a factor; none when it is not one.
std::optional<double> factorIn(const std::string& word, bool hasNumber, double number) {
    if (word.starts_with("-inf")) return 0.0;
    if (!hasNumber) return std::nullopt;
    return std::pow(10.0, number / 20.0);
}
} // namespace

// Texts in the display's forms (and a few a person would type): yes/no,
// "+4.0 %", "-6.0 dB", "1378 Hz" or "1.4 kHz", "1:23.4", "2 beats", a
// track's number in the list.
bool Deck::valueOfText(int32_t index, const char* text, double& value) {
    if (!validIndex(index) || !text) return false;
    // A text that names what the parameter holds leaves it where it is.
    value = valueOf(index);
    const std::string word = lowered(text);
    double number = 0.0;
    std::string rest;
    const bool hasNumber = leadingNumber(text, number, rest);
    const std::string unit = lowered(rest.c_str());
    // A number's unit, when it has one, must be the parameter's own.
    const auto unitIs = [&unit](std::initializer_list<const char*> units) {
        if (unit.empty()) return true;
        for (const char* allowed : units)
            if (unit == allowed) return true;
        return false;
    };
    switch (index) {
    case Playing:
    case CutBass:
    case CutTreble:
    case CutTweet:
    case Sync:
        if (word == "yes" || word == "on" || word == "1") value = 1.0;
        else if (word == "no" || word == "off" || word == "0") value = 0.0;
        else return false;
        break;
    case KeyLock:
        // A build without key lock shows "n/a": read back, it changes nothing.
        if (word == "n/a" && !KeyShifter::available()) return true;
        if (word == "off" || word == "no" || word == "0") value = 0.0;
        else if (word == "fast") value = 0.5;
        else if (word == "on" || word == "on(fast)" || word == "yes" || word == "1") value = 1.0;
        else return false;
        break;
    case Key:
        // Semitones, "+2" or "-3", with or without their unit.
        if (!hasNumber || !unitIs({"st", "semitone", "semitones"}) || std::fabs(number) > maxKeyShift) return false;
        value = (std::round(number) + maxKeyShift) / (2.0 * maxKeyShift);
        break;
    case AutoRewind:
        // The display's words, and the no/yes/stop of the switch's old texts.
        if (word == "nexttrack" || word == "no" || word == "0") value = 0.0;
        else if (word == "stop" || word == "2") value = 1.0;
        else if (word == "repeat" || word == "yes" || word == "1") value = 0.5;
        else return false;
        break;
    case Position: {
        const std::optional<double> seconds = timeIn(text);
        const float rate = trackRateOrZero();
        if (!seconds || rate <= 0 || length <= 0) return false;
        // The frame the display rounds to, a little inside so that it shows
        // the same tenth again.
        value = (*seconds * rate + 0.5) / length;
        break;
    }
    case Pitch:
        if (!hasNumber || !unitIs({"%"})) return false;
        value = (number / 32.0 + 1.0) * 0.5;
        break;
    case EqCut1:
    case EqCut2: {
        if (!hasNumber || number < 0 || !unitIs({"hz", "khz"})) return false;
        const double hz = unit == "khz" ? number * 1000.0 : number;
        // The subband whose shown frequency is nearest (the lowest of those
        // shown alike), as the control value in the middle of those that
        // pick it.
        int32_t nearest = 0;
        for (int32_t subband = 1; subband < 32; ++subband)
            if (std::fabs(subbandHz(subband) - hz) < std::fabs(subbandHz(nearest) - hz)) nearest = subband;
        value = std::min((std::log2(nearest + 1.0) + std::log2(nearest + 2.0)) / 10.0, 1.0);
        break;
    }
    case EqBass:
    case EqTreble:
    case EqTweet: {
        if (!unitIs({"db"})) return false;
        const std::optional<double> factor = factorIn(word, hasNumber, number);
        if (!factor) return false;
        // A killed band shows "-inf dB": that text read back keeps its gain
        // for when the kill is lifted.
        if (*factor == 0.0 && cuts[index - EqBass]) return true;
        value = *factor;
        break;
    }
    case Vol:
        if (word.starts_with("-inf")) {
            value = 0.0;
        } else if (hasNumber && unitIs({"db"})) {
            // A number is a level: the quietest one the fader has, never silence.
            value = std::max(1.0 + number / 40.0, 1e-6);
        } else {
            return false;
        }
        break;
    case Track: {
        if (tracks.empty()) return false;
        // The entry the display names, or the entry's number counted from 1.
        int32_t entry = -1;
        {
            platform::ScopedLock guard(listMutex);
            for (int32_t i = 0; i < tracks.count && entry < 0; ++i) {
                const auto parts = platform::paths::split(tracks.entries[i]);
                if (parts.name + parts.extension == text) entry = i;
            }
        }
        if (entry < 0 && hasNumber && unit.empty() && number >= 1 && number <= tracks.count)
            entry = static_cast<int32_t>(std::round(number)) - 1;
        if (entry < 0) return false;
        value = static_cast<double>(entry) / tracks.count;
        break;
    }
    case Loop: {
        if (word == "off" || word == "0") {
            value = 0.0;
            break;
        }
        // "2 beats", "1/4 beat" or "0.25 beats": 1/4 beat is the first loop,
        // each next one twice as long.
        double beats = number;
        std::string after = unit;
        if (hasNumber && after.starts_with("/")) {
            const double below = std::strtod(after.c_str() + 1, nullptr);
            if (!(below > 0)) return false;
            beats = number / below;
            const size_t unitAt = after.find_first_not_of("/0123456789.");
            after = unitAt == std::string::npos ? std::string() : after.substr(unitAt);
        }
        if (!hasNumber || !(beats > 0) || !after.starts_with("beat")) return false;
        const double button = std::clamp(std::round(std::log2(beats * 4.0)), 0.0, 8.0);
        value = (button + 1.0) * 0.1 + 0.01;
        break;
    }
    default: return false;
    }
    if (!std::isfinite(value)) return false;
    value = std::clamp(value, 0.0, 1.0);
    return true;
}

bool Deck::setValueText(int32_t index, const char* text) {
    double value = 0.0;
    if (!valueOfText(index, text, value)) return false;
    if (static_cast<float>(value) != valueOf(index)) setValue(index, static_cast<float>(value));
    return true;
}
