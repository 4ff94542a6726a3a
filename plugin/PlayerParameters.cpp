// The fifteen host parameters: names, values, displays and labels, and how a
// value set by the host reaches the editor control that owns it.
#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/Paths.h"
#include "log/DebugLog.h"
#include "plugin/TrackPlayer.h"

namespace {

const char* const parameterNames[TrackPlayer::parameterCount] = {
    "Playing", "AutoRewind", "Position", "Pitch", "Track", "Eq cut 1", "Eq cut 2", "Eq bass",
    "Eq treble", "Eq tweet", "Vol", "Cut Bass", "Cut Treble", "Cut Tweet", "Loop"};

bool validIndex(int32_t index) { return index >= 0 && index < TrackPlayer::parameterCount; }

void writeText(char* text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void writeText(char* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, TrackPlayer::parameterTextRoom, format, args);
    va_end(args);
}

const char* yesNo(bool on) { return on ? "yes" : "no"; }

} // namespace

void TrackPlayer::getParameterName(int32_t index, char* text) {
    if (!validIndex(index)) return;
    writeText(text, "%s", parameterNames[index]);
}

void TrackPlayer::getParameterLabel(int32_t index, char* text) {
    writeText(text, "%s", index == Vol ? "dB" : "");
}

void TrackPlayer::getParameterDisplay(int32_t index, char* text) {
    switch (index) {
    case Playing: writeText(text, "%s", yesNo(playing)); break;
    case AutoRewind: {
        int32_t mode = autoRewind;
        writeText(text, "%s", mode == 0 ? "no" : mode == 1 ? "yes" : "stop");
        break;
    }
    case Position: {
        int32_t frames = length;
        writeText(text, "%.3f", frames > 0 ? static_cast<double>(static_cast<float>(getPosition()) / frames) : 0.0);
        break;
    }
    case Pitch: writeText(text, "%.2f", static_cast<double>(pitch)); break;
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
    case EqCut2:
    case EqBass:
    case EqTreble:
    case EqTweet: writeText(text, "%.2f", static_cast<double>(getParameter(index))); break;
    case Vol:
        // Adding 0 turns the -0 of full volume into 0, so the host shows "0.000".
        writeText(text, "%.3f", static_cast<double>((1.0f - volume) * -40.0f + 0.0f));
        break;
    case CutBass:
    case CutTreble:
    case CutTweet: writeText(text, "%s", yesNo(cuts[index - CutBass])); break;
    case Loop:
        if (loopOn)
            writeText(text, "%d", static_cast<int>(loopIndex));
        else
            writeText(text, "%s", "off");
        break;
    default: break;
    }
}

float TrackPlayer::getParameter(int32_t index) {
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
    case Loop: return loopOn ? static_cast<float>(loopIndex + 1) * 0.1f + 0.01f : 0.0f;
    default: return 0.0f;
    }
}

void TrackPlayer::setParameter(int32_t index, float value) {
    writeLogf("setParameter() : %d, %.2f...", index, static_cast<double>(value));
    if (!validIndex(index) || !std::isfinite(value)) {
        writeLog("ok\n");
        return;
    }
    // A host's value sets its control: outside 0..1 it would read as an
    // editor command (a toggle or a nudge).
    value = std::clamp(value, 0.0f, 1.0f);
    PlayerView& view = *editorView;
    switch (index) {
    case Playing: view.receiveCommand(TagPlay, value >= 0.5f ? 1.0f : 0.0f); break;
    case AutoRewind: {
        // Three modes at 0, 0.5 and 1: the nearest is taken.
        const auto mode = static_cast<int32_t>(std::lround(value * 2.0f));
        if (mode != autoRewind) view.receiveCommand(TagAutoRewind, static_cast<float>(mode) * 0.5f);
        break;
    }
    case Position:
        if (!tracks.empty()) view.receiveCommand(TagPosition, value);
        break;
    case Pitch: view.receiveCommand(TagPitch, value); break;
    case Track:
        if (!tracks.empty()) {
            // The entry whose reported value (index / count) is nearest, so
            // that a host writing back what it read keeps the entry.
            int32_t total = tracks.count;
            int32_t chosen = std::min(static_cast<int32_t>(std::lround(static_cast<double>(value) * total)), total - 1);
            if (chosen != tracks.currentIndex) {
                tracks.currentIndex = chosen;
                // Hosts automate from the audio thread: the opener thread maps the file.
                requestOpen();
            }
        }
        break;
    case EqCut1: view.receiveCommand(TagCrossover1, value); break;
    case EqCut2: view.receiveCommand(TagCrossover2, value); break;
    case EqBass: view.receiveCommand(TagBassLevel, value); break;
    case EqTreble: view.receiveCommand(TagTrebleLevel, value); break;
    case EqTweet: view.receiveCommand(TagTweetLevel, value); break;
    case Vol: view.receiveCommand(TagVolume, value); break;
    case CutBass:
    case CutTreble:
    case CutTweet: view.receiveCommand(TagCutBass + (index - CutBass), value >= 0.5f ? 1.0f : 0.0f); break;
    case Loop:
        if (value < 0.1f) {
            view.receiveCommand(profile.loopOffTag, 0.0f);
        } else {
            // Steps of 0.1 from a host land on their button despite rounding;
            // values above 1 would name tags past the ninth one.
            int32_t button = std::min(static_cast<int32_t>((value - 0.1f) * 10.0f + 0.001f), 8);
            view.receiveCommand(profile.loopTagBase + button, 1.0f);
        }
        break;
    default: break;
    }
    writeLog("ok\n");
}

namespace {

struct Category {
    const char* name;
    int16_t number, first, count;
};
// Parameters of one category follow each other.
constexpr Category categories[] = {{"Transport", 1, TrackPlayer::Playing, 5},
                                   {"Equaliser", 2, TrackPlayer::EqCut1, 9},
                                   {"Loop", 3, TrackPlayer::Loop, 1}};

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

} // namespace

bool TrackPlayer::getParameterProperties(int32_t index, VstParameterProperties& properties) {
    if (!validIndex(index)) return false;
    properties = VstParameterProperties{};
    std::snprintf(properties.label, sizeof properties.label, "%s", parameterNames[index]);
    std::snprintf(properties.shortLabel, sizeof properties.shortLabel, "%s", parameterNames[index]);
    properties.flags = kVstParameterSupportsDisplayIndex | kVstParameterSupportsDisplayCategory;
    properties.displayIndex = static_cast<int16_t>(index);
    for (const Category& category : categories)
        if (index >= category.first && index < category.first + category.count) {
            properties.category = category.number;
            properties.numParametersInCategory = category.count;
            std::snprintf(properties.categoryLabel, sizeof properties.categoryLabel, "%s", category.name);
        }
    // Steps within 0..1: hosts (Ardour) that read an integer range pass its
    // integers as values, which would reach only the ends.
    const auto steps = [&](float step) {
        properties.flags |= kVstParameterUsesFloatStep;
        properties.stepFloat = step;
        properties.smallStepFloat = step;
        properties.largeStepFloat = step;
    };
    switch (index) {
    case Playing:
    case CutBass:
    case CutTreble:
    case CutTweet: properties.flags |= kVstParameterIsSwitch; break;
    case AutoRewind: steps(0.5f); break; // no, yes, stop
    case Loop: steps(0.1f); break;       // off and the nine loop lengths
    default:
        properties.flags |= kVstParameterUsesFloatStep | kVstParameterCanRamp;
        properties.stepFloat = 0.01f;
        properties.smallStepFloat = 0.001f;
        properties.largeStepFloat = 0.1f;
        break;
    }
    return true;
}

// Texts in the display's units: yes/no, percent of pitch, dB of volume,
// the loop's number or its beats, a track's number in the list.
bool TrackPlayer::setParameterText(int32_t index, const char* text) {
    if (!validIndex(index) || !text) return false;
    const std::string word = lowered(text);
    double number = 0.0;
    std::string rest;
    const bool hasNumber = leadingNumber(text, number, rest);
    float value = 0.0f;
    switch (index) {
    case Playing:
    case CutBass:
    case CutTreble:
    case CutTweet:
        if (word == "yes" || word == "on" || word == "1") value = 1.0f;
        else if (word == "no" || word == "off" || word == "0") value = 0.0f;
        else return false;
        break;
    case AutoRewind:
        if (word == "no" || word == "0") value = 0.0f;
        else if (word == "stop" || word == "2") value = 1.0f;
        else if (word == "yes" || word == "1") value = 0.5f;
        else return false;
        break;
    case Pitch:
        if (!hasNumber) return false;
        value = static_cast<float>((number / 32.0 + 1.0) * 0.5);
        break;
    case Vol:
        if (!hasNumber) return false;
        value = static_cast<float>(1.0 + number / 40.0);
        break;
    case Track:
        // The entry's number, counted from 1.
        if (!hasNumber || tracks.empty()) return false;
        value = static_cast<float>((std::clamp(std::round(number), 1.0, static_cast<double>(tracks.count)) - 1.0) /
                                   tracks.count);
        break;
    case Loop:
        if (word == "off") {
            value = 0.0f;
        } else if (hasNumber && lowered(rest.c_str()).starts_with("beat")) {
            // 1/4 beat is the first loop, each next one twice as long.
            if (number <= 0) return false;
            const double button = std::clamp(std::round(std::log2(number * 4.0)), 0.0, 8.0);
            value = static_cast<float>(button + 1.0) * 0.1f + 0.01f;
        } else if (hasNumber && number >= 0 && number <= 8) {
            value = static_cast<float>(std::round(number) + 1.0) * 0.1f + 0.01f;
        } else {
            return false;
        }
        break;
    default:
        if (!hasNumber) return false;
        value = static_cast<float>(number);
        break;
    }
    setParameter(index, value);
    return true;
}
