#include "editor/PlayerEditor.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "gui/WindowView.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "deck/BuildProfile.h"
#include "log/DebugLog.h"
#include "deck/Deck.h"
#include "platform/RelaxedBytes.h"

PlayerEditor& editorOf(Deck& player) { return static_cast<PlayerEditor&>(player.view()); }

PlayerEditor::PlayerEditor(Deck& owner, const BuildProfile& buildProfile)
    : EditorBase(Rect{0, 0, buildProfile.editorWidth, buildProfile.editorHeight}), player(owner),
      profile(buildProfile), guiThread(platform::currentThreadId()) {
    overviewBitmap = new Bitmap(0, TrackSource::overviewWidth, TrackSource::overviewHeight,
                                std::vector<uint32_t>(TrackSource::overviewWidth * TrackSource::overviewHeight, 0));
    overviewBitmap->setTransparentColour(colours::yellow);
    // The controls are the deck's state: they live as long as the player, and
    // a window only shows them.
    skin.load(profile.compact);
    parts.build(profile, skin, overviewBitmap, this);
    setDefaults();
    char name[TrackList::pathRoom];
    player.getTrackName(name, sizeof name);
    setTitleText(name, false);
}

// The player closes an open window before it goes; this covers an editor
// destroyed on its own.
PlayerEditor::~PlayerEditor() {
    close();
    platform::ScopedLock held(controlsLock);
    parts.destroy();
    skin.releaseAll();
    overviewBitmap->release();
}

bool PlayerEditor::open(void* parentWindow) {
    platform::ScopedLock held(controlsLock);
    // A host that opens the window twice gets the one it has.
    if (windowOpen) return true;
    writeLog("Opening editor...\n");
    guiThread = platform::currentThreadId();
    EditorBase::open(parentWindow);
    const float shownScale = scale();
    skin.paintAt(shownScale);
    scalePending = false;
    frame = new WindowView(Rect{0, 0, profile.editorWidth, profile.editorHeight}, parentWindow, *this, shownScale);
    windowOpen = true;
    // The window shows the deck as it stands now.
    player.takeChangedParameters();
    showValues(allParameters);
    applyPendingDisplay();
    showPlayerState();
    setPage(currentPage);
    writeLog("Editor opened...\n");
    return true;
}

// The player's own state wins over anything a control last showed.
void PlayerEditor::showPlayerState() {
    copyOverviewIntoBitmap();
    parts.position->setDirty(true);
    player.refreshList();
    player.showState();
}

// The values the controls start with, which are the player's own.
void PlayerEditor::setDefaults() {
    showValues(allParameters);
    parts.listScroll->setValue(0.0f);
    remainingTime = false;
}

void PlayerEditor::close() {
    platform::ScopedLock held(controlsLock);
    if (!windowOpen) return;
    writeLog("Closing editor...\n");
    windowOpen = false;
    frame->removeAll(false);
    delete frame;
    frame = nullptr;
    writeLog("Editor closed...\n");
}

void PlayerEditor::idle() {
    if (!onGuiThread()) return;
    platform::ScopedLock held(controlsLock);
    showValues(player.takeChangedParameters());
    pollFileChoice();
    if (!windowOpen) return;
    if (scalePending) applyScale();
    if (titleBackAt != 0 && static_cast<int32_t>(platform::tickCount() - titleBackAt) >= 0) {
        titleBackAt = 0;
        char name[TrackList::pathRoom];
        player.getTrackName(name, sizeof name);
        setTitleText(name, std::strchr(name, '.') != nullptr);
    }
    applyPendingDisplay();
    showBeatAndKey();
    EditorBase::idle();
}

void PlayerEditor::applyScale() {
    scalePending = false;
    const bool asked = std::exchange(personAsked, false);
    const float wanted = scale();
    if (!frame || wanted == frame->scale()) return;
    const Rect device = windowSize();
    // A size a person chose is asked of the host first, and not taken when
    // it refuses: drawn larger than its frame, the editor would hide the
    // very buttons that change the size back. The host's and the screen's
    // own scales are taken, and the host told afterwards.
    if (asked && onResize && !onResize(device.width(), device.height())) {
        setChosenScale(choiceBefore);
        scalePending = false;
        showTitleMessage("Size: the host keeps this one");
        titleBackAt = std::max<uint32_t>(platform::tickCount() + 2000, 1);
        return;
    }
    writeLogf("Editor scale %.2f\n", static_cast<double>(wanted));
    skin.paintAt(wanted);
    frame->setScale(wanted);
    if (!asked && onResize) onResize(device.width(), device.height());
}

namespace {
// The sizes a person steps through; 0 is automatic.
constexpr float chosenSizes[] = {0.0f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f, 2.5f, 3.0f};
} // namespace

void PlayerEditor::secondaryClick(Control* control) {
    if (control == parts.aboutButton()) stepChosenSize();
}

// The title is always in view, whatever size a host's frame leaves room
// for: a right click on it steps the size too.
void PlayerEditor::unclaimedClick(Point where, uint32_t buttons) {
    if ((buttons & platform::RightButton) && !(buttons & platform::LeftButton) &&
        parts.title->viewSize().contains(where))
        stepChosenSize();
}

void PlayerEditor::stepChosenSize() {
    const float now = chosenScale();
    size_t next = 0;
    for (size_t i = 0; i < std::size(chosenSizes); ++i)
        if (chosenSizes[i] == now) next = (i + 1) % std::size(chosenSizes);
    choiceBefore = now;
    personAsked = true;
    setChosenScale(chosenSizes[next]);
    char text[64];
    if (chosenSizes[next] == 0.0f)
        std::snprintf(text, sizeof text, "Size: automatic (%d %%)", static_cast<int>(std::lround(scale() * 100.0f)));
    else
        std::snprintf(text, sizeof text, "Size: %d %%", static_cast<int>(std::lround(chosenSizes[next] * 100.0f)));
    showTitleMessage(text);
    titleBackAt = std::max<uint32_t>(platform::tickCount() + 2000, 1);
}

void PlayerEditor::update() {
    if (!onGuiThread()) {
        postUpdate();
        return;
    }
    platform::ScopedLock held(controlsLock);
    if (!windowOpen || !frame) return;
    if (parts.position->isDirty()) copyOverviewIntoBitmap();
    EditorBase::update();
}

int32_t PlayerEditor::onKeyDown(const KeyInput& key) {
    platform::ScopedLock held(controlsLock);
    return EditorBase::onKeyDown(key);
}

int32_t PlayerEditor::onKeyUp(const KeyInput& key) {
    platform::ScopedLock held(controlsLock);
    return EditorBase::onKeyUp(key);
}

bool PlayerEditor::onWheel(float distance) {
    platform::ScopedLock held(controlsLock);
    return EditorBase::onWheel(distance);
}

void PlayerEditor::restoreView(int32_t page, bool remaining, float chosen) {
    platform::ScopedLock held(controlsLock);
    if (chosen != chosenScale()) setChosenScale(chosen);
    remainingTime = remaining;
    setPage(page);
    if (windowOpen) setTimeDisplay(-1.0f, shownElapsed, shownTotal);
}

void PlayerEditor::setPage(int32_t page) {
    platform::ScopedLock held(controlsLock);
    currentPage = page;
    if (!frame) return;
    frame->removeAll(false);
    const int32_t shown = parts.pageCount > 1 ? ((page % parts.pageCount) + parts.pageCount) % parts.pageCount : 0;
    frame->setBackground(parts.pageBackgrounds[shown]);
    for (View* view : parts.pages[shown]) frame->addView(view);
    if (parts.pageCount > 1 && (shown == 0 || shown == 3)) {
        parts.pitchReset->setViewSize({216, 64, 232, 80});
        parts.pitchReset->setMouseableArea({216, 64, 232, 80});
    }
    update();
    if (!frame->firstPaintPending()) frame->drawView(nullptr);
}

// The loaders draw 3-byte pixels (blue, green, red; rows top down) into the
// editor's memory; the slider shows them through a bitmap of the toolkit's
// pixel format. A picture torn by a loader drawing meanwhile is mended at
// the next refresh.
void PlayerEditor::copyOverviewIntoBitmap() {
    uint32_t* target = overviewBitmap->editablePixels();
    if (!target) return;
    for (int32_t i = 0; i < TrackSource::overviewWidth * TrackSource::overviewHeight; ++i) {
        const uint8_t* p = overviewMemory + i * 3;
        target[i] = static_cast<uint32_t>(relaxedBytes::load(p + 2)) << 16 | static_cast<uint32_t>(relaxedBytes::load(p + 1)) << 8 |
                    relaxedBytes::load(p);
    }
}

void PlayerEditor::showTitleMessage(const char* text) {
    parts.title->setElided(true, 0);
    parts.title->setText(text);
}

// A long name loses its middle; the counter keeps its place at the right.
void PlayerEditor::setTitleText(const char* path, bool withCounter) {
    std::string text = platform::paths::split(path).name;
    char counter[32] = {};
    if (withCounter) player.getTrackCounter(counter, sizeof counter);
    text += counter;
    parts.title->setElided(true, std::strlen(counter));
    parts.title->setText(text.c_str());
}
