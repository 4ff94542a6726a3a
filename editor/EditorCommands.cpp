// What the editor's controls do to the player, and the commands (host
// parameters, MIDI) that move the controls as if a person had.
#include <algorithm>
#include <cmath>

#include "editor/PlayerEditor.h"
#include "gui/WindowView.h"
#include "platform/Clock.h"
#include "plugin/BuildProfile.h"
#include "log/DebugLog.h"
#include "plugin/TrackPlayer.h"

namespace {
constexpr float jumpBeats[8] = {0.5f, 1.0f, 2.0f, 3.0f, 4.0f, 6.0f, 8.0f, 16.0f};
constexpr uint32_t doubleClickMs = 400;

// One record of presses and one of releases for the whole process: a
// double click is two presses on the same tag within 400 ms.
struct ClickRecord {
    Relaxed<uint32_t> time{0};
    Relaxed<int32_t> tag{-1};
};
ClickRecord lastPress;
ClickRecord lastRelease;

bool isSlider(const Control* control) { return dynamic_cast<const Slider*>(control) != nullptr; }

// The value a command gives a control that stands at current.
float commandedValue(float current, float value) {
    if (value < 0.0f) return 1.0f - current;
    if (value <= 1.0f) return value;
    if (value < 2.0f) return std::max(current - (value - 1.0f), 0.0f);
    if (value > 2.0f && value < 3.0f) return std::min(current + (value - 2.0f), 1.0f);
    return current;
}
} // namespace

// Timed by the events themselves where they say when they happened: two
// clicks that reach the idle together are still two clicks apart.
bool PlayerEditor::isDoubleClick(const Control* control, const Canvas* canvas) const {
    const uint32_t now = canvas && canvas->getEventTime() ? canvas->getEventTime() : platform::tickCount();
    ClickRecord& record = control->getValue() != 0.0f ? lastPress : lastRelease;
    const bool twice = now - record.time < doubleClickMs && record.tag == control->getTag();
    record.time = now;
    record.tag = control->getTag();
    return twice;
}

int32_t PlayerEditor::parameterOf(int32_t tag) const {
    if (tag <= 0 || tag >= parts.tagCount) return -1;
    const TagRole role = parts.roles[tag];
    switch (role.role) {
    case Role::Play: return TrackPlayer::Playing;
    case Role::AutoRewind: return TrackPlayer::AutoRewind;
    case Role::Position: return TrackPlayer::Position;
    case Role::Pitch:
    case Role::SecondPitch: return TrackPlayer::Pitch;
    case Role::Crossover1: return TrackPlayer::EqCut1;
    case Role::Crossover2: return TrackPlayer::EqCut2;
    case Role::Gain: return TrackPlayer::EqBass + role.index;
    case Role::Volume: return TrackPlayer::Vol;
    case Role::Cut: return TrackPlayer::CutBass + role.index;
    case Role::Loop: return TrackPlayer::Loop;
    default: return -1;
    }
}

// A person's change: the host hears the new value of every parameter it
// moved (a reset button moves several), so its lanes and stored values
// follow the editor. The position moves by itself while playing: it is
// reported only when the person moved it.
void PlayerEditor::valueChanged(Canvas* canvas, Control* control) {
    if (!control) return;
    std::lock_guard<std::recursive_mutex> held(controlsLock);
    float before[TrackPlayer::parameterCount];
    for (int32_t index = 0; index < TrackPlayer::parameterCount; ++index) before[index] = player.getParameter(index);
    const bool doubleClick = !isSlider(control) && isDoubleClick(control, canvas);
    dispatch(control, canvas, doubleClick);
    const int32_t tag = control->getTag();
    const bool seeks = tag > 0 && tag < parts.tagCount &&
                       (parts.roles[tag].role == Role::Position || parts.roles[tag].role == Role::Rewind);
    for (int32_t index = 0; index < TrackPlayer::parameterCount; ++index) {
        if (index == TrackPlayer::Position && !seeks) continue;
        const float now = player.getParameter(index);
        if (now != before[index] || (index == TrackPlayer::Position && seeks)) player.hostAutomate(index, now);
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
        if (!canvas) return;
        parts.position->draw(*canvas);
        break;
    case Role::Next:
        if (release) player.forward();
        break;
    case Role::PitchReset:
        if (!release) break;
        parts.pitch->setValue(0.5f);
        if (parts.secondPitch) parts.secondPitch->setValue(0.5f);
        player.setPitch(0.5f);
        update();
        break;
    case Role::TimeMode:
        if (!click) break;
        remainingTime = !remainingTime;
        setTimeDisplay(-1.0f, shownElapsed, shownTotal);
        break;
    case Role::TapTempo:
        if (click) player.tapTempo();
        break;
    case Role::NextPage:
        if (release) setPage((currentPage + 1) % 4);
        break;
    case Role::Play: player.setPlaying(value != 0.0f); break;
    case Role::AutoRewind: player.setAutoRewind(static_cast<int32_t>(2.0f * value)); break;
    case Role::Position: player.seek(value); break;
    case Role::Pitch:
        if (parts.secondPitch) parts.secondPitch->setValue(value);
        player.setPitch(value);
        break;
    case Role::SecondPitch:
        parts.pitch->setValue(value);
        player.setPitch(value);
        break;
    case Role::EqReset:
        if (!release) break;
        resetEqualiser();
        if (canvas) {
            for (Slider* slider : {parts.crossovers[0], parts.crossovers[1], parts.gains[0], parts.gains[1], parts.gains[2]})
                slider->draw(*canvas);
        }
        update();
        break;
    case Role::Cut: player.setCut(role.index, value > 0.0f); break;
    case Role::Crossover1:
    case Role::Crossover2: {
        // The crossover moved pushes or pulls the other one along.
        Slider* moved = parts.crossovers[role.role == Role::Crossover1 ? 0 : 1];
        Slider* other = parts.crossovers[role.role == Role::Crossover1 ? 1 : 0];
        if (parts.crossovers[1]->getValue() < parts.crossovers[0]->getValue()) other->setValue(moved->getValue());
        update();
        sendEqualiser();
        break;
    }
    case Role::Gain:
    case Role::Volume: sendEqualiser(); break;
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
        if (release) player.move(-jumpBeats[role.index]);
        break;
    case Role::JumpForward:
        if (release) player.move(jumpBeats[role.index]);
        break;
    case Role::Loop: selectLoop(role.index, value > 0.0f); break;
    }
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
    std::lock_guard<std::recursive_mutex> held(controlsLock);
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

void PlayerEditor::sendEqualiser() {
    const float crossovers[2] = {parts.crossovers[0]->getValue(), parts.crossovers[1]->getValue()};
    const float gains[3] = {parts.gains[0]->getValue(), parts.gains[1]->getValue(), parts.gains[2]->getValue()};
    player.setEqualiser(crossovers, gains, parts.volume->getValue());
}

void PlayerEditor::resetEqualiser() {
    parts.crossovers[0]->setValue(0.33f);
    parts.crossovers[1]->setValue(0.67f);
    for (Slider* gain : parts.gains) gain->setValue(0.5f);
    for (int32_t band = 0; band < 3; ++band) {
        parts.cuts[band]->setValue(0.0f);
        player.setCut(band, false);
    }
    sendEqualiser();
}

// The loop buttons are a radio group in which the engaged one can also be
// switched off; the player hears only of the loop asked for.
void PlayerEditor::selectLoop(int32_t index, bool on) {
    for (int32_t i = 0; i < EditorControls::loopCount; ++i)
        if (i != index && parts.loops[i]->getValue() > 0.0f) parts.loops[i]->setValue(0.0f);
    player.setLoop(on, static_cast<float>(static_cast<int32_t>(std::exp2(static_cast<float>(index)))) * 0.25f, index);
    update();
}

void PlayerEditor::loopsOff() {
    for (Control* loop : parts.loops)
        if (loop->getValue() > 0.0f) {
            loop->setValue(0.0f);
            dispatch(loop, nullptr, false);
        }
}

void PlayerEditor::receiveCommand(int32_t tag, float value) {
    if (!onGuiThread()) {
        // The title is read back from the player: a flag is all it needs.
        if (tag == profile.titleTag) {
            raise(PendingTitle);
            return;
        }
        std::unique_lock<std::recursive_mutex> held(controlsLock, std::try_to_lock);
        if (!held.owns_lock()) {
            queued.push({tag, value});
            postUpdate();
            return;
        }
        takeQueuedCommands();
        applyCommand(tag, value);
        return;
    }
    std::lock_guard<std::recursive_mutex> held(controlsLock);
    takeQueuedCommands();
    applyCommand(tag, value);
}

void PlayerEditor::takeQueuedCommandsIfFree() {
    if (queued.empty()) return;
    std::unique_lock<std::recursive_mutex> held(controlsLock, std::try_to_lock);
    if (held.owns_lock()) takeQueuedCommands();
}

void PlayerEditor::takeQueuedCommands() {
    CommandQueue::Command command{};
    while (queued.pop(command)) applyCommand(command.tag, command.value);
}

float PlayerEditor::currentValue(const Control& control) const {
    if (&control == parts.play) return player.isPlaying() ? 1.0f : 0.0f;
    if (&control == parts.position) return player.getParameter(TrackPlayer::Position);
    return control.getValue();
}

void PlayerEditor::applyCommand(int32_t tag, float value) {
    writeLogf("Editor Receiving command : %d = %f - ", tag, static_cast<double>(value));
    if (tag == profile.titleTag) {
        refreshTitle();
        return;
    }
    if (tag == profile.loopOffTag) {
        loopsOff();
        return;
    }
    for (int32_t entry = 0; entry < parts.tagCount; ++entry) {
        Control* control = parts.byTag[entry];
        if (!control || control->getTag() != tag) continue;
        writeLogf("control = %d ", entry);
        control->setValue(commandedValue(currentValue(*control), value));
        dispatch(control, nullptr, false);
        update();
    }
}
