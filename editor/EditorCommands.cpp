// What the editor's controls do: each calls the player's action, and the
// controls then show the player's values.
#include <algorithm>
#include <cmath>

#include "editor/PlayerEditor.h"
#include "gui/WindowView.h"
#include "platform/Clock.h"
#include "deck/BuildProfile.h"
#include "log/DebugLog.h"
#include "deck/Deck.h"

namespace {
constexpr uint32_t doubleClickMs = 400;

bool isSlider(const Control* control) { return dynamic_cast<const Slider*>(control) != nullptr; }
} // namespace

// A double click is two presses on the same control of this deck within
// 400 ms, timed by the events themselves where they say when they happened:
// two clicks that reach the idle together are still two clicks apart.
bool PlayerEditor::isDoubleClick(const Control* control, const Canvas* canvas) {
    const uint32_t now = canvas && canvas->getEventTime() ? canvas->getEventTime() : platform::tickCount();
    ClickRecord& record = control->getValue() != 0.0f ? lastPress : lastRelease;
    const bool twice = now - record.time < doubleClickMs && record.tag == control->getTag();
    record.time = now;
    record.tag = control->getTag();
    return twice;
}

void PlayerEditor::beginEdit(int32_t tag) {
    if (const int32_t index = parameterOf(tag); index >= 0) player.host().beginEdit(index);
}

void PlayerEditor::endEdit(int32_t tag) {
    if (const int32_t index = parameterOf(tag); index >= 0) player.host().endEdit(index);
}

int32_t PlayerEditor::parameterOf(int32_t tag) const {
    if (tag <= 0 || tag >= parts.tagCount) return -1;
    const TagRole role = parts.roles[tag];
    switch (role.role) {
    case Role::Play: return Deck::Playing;
    case Role::AutoRewind: return Deck::AutoRewind;
    case Role::Position: return Deck::Position;
    case Role::Pitch:
    case Role::SecondPitch: return Deck::Pitch;
    case Role::Crossover1: return Deck::EqCut1;
    case Role::Crossover2: return Deck::EqCut2;
    case Role::Gain: return Deck::EqBass + role.index;
    case Role::Volume: return Deck::Vol;
    case Role::Cut: return Deck::CutBass + role.index;
    case Role::Loop: return Deck::Loop;
    default: return -1;
    }
}

// A person's change: the host hears the new value of every parameter it
// moved (a reset button moves several), so its lanes and stored values
// follow the editor. The position moves by itself while playing: it is
// reported only when the person moved it.
void PlayerEditor::valueChanged(Canvas* canvas, Control* control) {
    if (!control) return;
    platform::ScopedLock held(controlsLock);
    float before[Deck::parameterCount];
    for (int32_t index = 0; index < Deck::parameterCount; ++index) before[index] = player.valueOf(index);
    const bool doubleClick = !isSlider(control) && isDoubleClick(control, canvas);
    dispatch(control, canvas, doubleClick);
    const int32_t tag = control->getTag();
    const bool seeks = tag > 0 && tag < parts.tagCount &&
                       (parts.roles[tag].role == Role::Position || parts.roles[tag].role == Role::Rewind);
    for (int32_t index = 0; index < Deck::parameterCount; ++index) {
        if (index == Deck::Position && !seeks) continue;
        const float now = player.valueOf(index);
        if (now != before[index] || (index == Deck::Position && seeks)) player.host().automate(index, now);
    }
}

void PlayerEditor::dispatch(Control* control, Canvas* canvas, bool doubleClick) {
    const int32_t tag = control->getTag();
    if (tag <= 0 || tag >= parts.tagCount) return;
    const TagRole role = parts.roles[tag];
    const float value = control->getValue();
    const bool release = value == 0.0f;
    const bool click = value == 1.0f;
    switch (role.role) {
    case Role::None: break;
    case Role::AddFiles:
        if (release) startFileChoice(false);
        break;
    case Role::Rewind:
        if (!release) break;
        parts.position->setValue(0.0f);
        player.seek(0.0f);
        if (canvas) parts.position->draw(*canvas);
        break;
    case Role::Next:
        if (release) player.forward();
        break;
    case Role::PitchReset:
        if (release) player.resetPitch();
        break;
    case Role::TimeMode:
        if (!click) break;
        remainingTime = !remainingTime;
        setTimeDisplay(-1.0f, shownElapsed, shownTotal);
        break;
    case Role::Sync:
        if (click) player.setSync(!player.isSyncOn());
        break;
    case Role::TapTempo:
        if (click) player.tapTempo();
        if (value == 2.0f || value == 0.5f) player.scaleTempo(value);
        break;
    case Role::NextPage:
        if (release) setPage((currentPage + 1) % 4);
        break;
    case Role::Play: player.setPlaying(value != 0.0f); break;
    case Role::AutoRewind: player.setAutoRewind(static_cast<int32_t>(2.0f * value)); break;
    case Role::Position: player.seek(value); break;
    case Role::Pitch:
    case Role::SecondPitch: player.setPitch(value); break;
    case Role::EqReset:
        if (release) player.resetEqualiser();
        break;
    case Role::Cut: player.setCut(role.index, value > 0.0f); break;
    case Role::Crossover1: player.setCrossover(0, value); break;
    case Role::Crossover2: player.setCrossover(1, value); break;
    case Role::Gain: player.setGain(role.index, value); break;
    case Role::Volume: player.setVolume(value); break;
    case Role::ListUp:
        if (click) player.moveSelectedUp();
        break;
    case Role::ListDown:
        if (click) player.moveSelectedDown();
        break;
    case Role::SaveList:
        if (release) startFileChoice(true);
        break;
    case Role::DeleteSelected:
        if (release) player.deleteSelected();
        break;
    case Role::Row:
        if (!click) break;
        if (doubleClick)
            player.playRow(role.index);
        else
            player.toggleSelection(role.index);
        break;
    case Role::ListScroll: player.scrollList(value); break;
    case Role::Jog: player.jog(value); break;
    case Role::JumpBack:
        if (release) player.move(-Deck::jumpBeats[role.index]);
        break;
    case Role::JumpForward:
        if (release) player.move(Deck::jumpBeats[role.index]);
        break;
    case Role::Loop: player.selectLoop(role.index, value > 0.0f); break;
    }
    // What the action changed besides this control (the other pitch slider,
    // a crossover pushed along, the loop group) shows at once.
    showValues(player.takeChangedParameters());
    if (canvas && windowOpen && frame && frame->isChild(control)) control->update(*canvas);
}

// The dialog runs beside the host, which keeps its GUI thread: the idle
// polls it. One dialog at a time.
void PlayerEditor::startFileChoice(bool save) {
    if (fileChoice) return;
    const auto parentWindow = reinterpret_cast<uintptr_t>(hostWindow());
    fileChoice = save ? player.startChoosingListToSave(parentWindow) : player.startChoosingTracks(parentWindow);
    choosingListToSave = save;
    if (!fileChoice) {
        showTitleMessage("Install zenity or kdialog to add files");
        update();
        return;
    }
    pollFileChoice();
}

void PlayerEditor::filesDropped(const std::vector<std::string>& files) {
    platform::ScopedLock held(controlsLock);
    player.addChosenFiles(files);
}

void PlayerEditor::pollFileChoice() {
    if (!fileChoice) return;
    std::vector<std::string> chosen;
    const platform::FileChoice::State state = fileChoice->poll(chosen);
    if (state == platform::FileChoice::State::Open) return;
    fileChoice.reset();
    if (state != platform::FileChoice::State::Chosen) return;
    if (choosingListToSave)
        player.saveChosenList(chosen.front());
    else
        player.addChosenFiles(chosen);
}

void PlayerEditor::showValues(uint32_t changed) {
    if (!changed) return;
    const auto has = [changed](int32_t index) { return (changed >> index & 1u) != 0; };
    const auto show = [](Control* control, float value) {
        if (!control || control->getValue() == value) return;
        control->setValue(value);
        control->setDirty(true);
    };
    if (has(Deck::Playing)) show(parts.play, player.valueOf(Deck::Playing));
    if (has(Deck::AutoRewind)) show(parts.autoRewind, player.valueOf(Deck::AutoRewind));
    if (has(Deck::Pitch)) {
        show(parts.pitch, player.valueOf(Deck::Pitch));
        show(parts.secondPitch, player.valueOf(Deck::Pitch));
    }
    for (int32_t which = 0; which < 2; ++which)
        if (has(Deck::EqCut1 + which)) show(parts.crossovers[which], player.getCrossover(which));
    for (int32_t band = 0; band < 3; ++band) {
        if (has(Deck::EqBass + band)) show(parts.gains[band], player.getGain(band));
        if (has(Deck::CutBass + band)) show(parts.cuts[band], player.isCut(band) ? 1.0f : 0.0f);
    }
    if (has(Deck::Vol)) show(parts.volume, player.getVolume());
    if (has(Deck::Loop))
        for (int32_t i = 0; i < EditorControls::loopCount; ++i)
            show(parts.loops[i], player.isLoopOn() && player.getLoopIndex() == i ? 1.0f : 0.0f);
    postUpdate();
}
