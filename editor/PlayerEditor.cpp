#include "editor/PlayerEditor.h"

#include "plugin/BuildProfile.h"
#include "plugin/TrackPlayer.h"

PlayerEditor::PlayerEditor(TrackPlayer& owner, const BuildProfile& buildProfile)
    : EditorBase(owner), player(owner), profile(buildProfile) {
    rect = ERect{0, 0, profile.editorHeight, profile.editorWidth};
}

PlayerEditor::~PlayerEditor() = default;

// The window comes with the editor's skin and controls; until then the
// editor reports that it cannot open, and hosts show no window.
bool PlayerEditor::open(void* parentWindow) {
    EditorBase::open(parentWindow);
    return false;
}

void PlayerEditor::close() {
    if (!windowOpen) return;
    windowOpen = false;
    player.editorClosed();
}

void PlayerEditor::idle() {
    if (updatePending && windowOpen) updatePending = false;
}

void PlayerEditor::receiveCommand(int32_t, float) {
    if (!windowOpen) return;
}

void PlayerEditor::showTrackFacts(int32_t, float, bool) {
    if (!windowOpen) return;
}

void PlayerEditor::showTime(float, int32_t, int32_t) {
    if (!windowOpen) return;
    postUpdate();
}

void PlayerEditor::showPlaying(bool) {
    if (!windowOpen) return;
    postUpdate();
}

void PlayerEditor::showTempo(float) {
    if (!windowOpen) return;
}

void PlayerEditor::showList(const char* const*, const bool*, int32_t, float, float) {
    if (!windowOpen) return;
}

void PlayerEditor::refreshOverview(bool) {
    if (!windowOpen) return;
}

void PlayerEditor::refreshTitle() {
    if (!windowOpen) return;
}

void PlayerEditor::showOpenError() {
    if (!windowOpen) return;
}
