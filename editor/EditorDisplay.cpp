// What the player shows in its window: track facts, time, play state,
// tempo, title, the track list and the overview. On the GUI thread each
// operation changes its controls at once; other threads leave values and
// flags that the GUI thread applies at its next idle.
#include <cstdio>
#include <cstring>

#include "analysis/KeyAnalyser.h"
#include "editor/PlayerEditor.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "deck/Deck.h"

namespace {
// One refresh of the overview every 100 ms at most, across all instances.
Relaxed<uint32_t> lastOverviewRefresh{platform::tickCount()};
constexpr uint32_t overviewIntervalMs = 100;
const Colour currentRowColour = colours::white;
const Colour otherRowColour{170, 170, 170, 0};
} // namespace

void PlayerEditor::raise(uint32_t flags) {
    // Of a title and an opening error, the later one is shown.
    if (flags & PendingTitle) pending.fetch_and(~static_cast<uint32_t>(PendingOpenError), std::memory_order_relaxed);
    if (flags & PendingOpenError) pending.fetch_and(~static_cast<uint32_t>(PendingTitle), std::memory_order_relaxed);
    pending.fetch_or(flags, std::memory_order_relaxed);
    postUpdate();
}

void PlayerEditor::applyPendingDisplay() {
    const uint32_t flags = pending.exchange(0, std::memory_order_relaxed);
    if (!flags) return;
    if (flags & PendingFacts) setFactsDisplay(pendingBitRate, pendingDuration, pendingStereo);
    if (flags & PendingTime) setTimeDisplay(pendingFraction, pendingElapsed, pendingTotal);
    if (flags & PendingTempo) setTempoDisplay(pendingTempo);
    if (flags & PendingOpenError) showOpenErrorNow(pendingOpenReason);
    if (flags & PendingTitle) showTitle();
    if (flags & PendingStoreProblem) showStoreProblemNow(pendingStoreProblem);
    if (flags & PendingList) player.refreshList();
    if (flags & (PendingOverview | PendingOverviewForced)) refreshOverviewNow((flags & PendingOverviewForced) != 0);
}

void PlayerEditor::setFactsDisplay(int32_t bitRate, float duration, bool stereo) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d:%02d", static_cast<int>(duration * 0.016666668f),
                  static_cast<int>(duration) % 60);
    parts.length->setText(text);
    std::snprintf(text, sizeof text, "%d", static_cast<int>(bitRate / 1000));
    // No track: no rate and no channels to speak of.
    parts.bitRate->setText(bitRate > 0 ? text : "");
    parts.stereo->setText(bitRate <= 0 ? "" : stereo ? "S" : "M");
}

void PlayerEditor::setTimeDisplay(float fraction, int32_t elapsed, int32_t total) {
    shownElapsed = elapsed;
    shownTotal = total;
    const int32_t seconds = remainingTime ? total - elapsed : elapsed;
    char text[32];
    std::snprintf(text, sizeof text, remainingTime ? "-%2d:%02d" : "%2d:%02d", static_cast<int>(seconds / 60),
                  static_cast<int>(seconds % 60));
    parts.time->setText(text);
    if (fraction >= 0.0f) parts.position->setValue(fraction);
}

void PlayerEditor::setTempoDisplay(float bpm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bpm));
    parts.tempo->setText(text);
}

void PlayerEditor::showBeatAndKey() {
    parts.beat->setLevel(player.beatLight());
    // Where the tempo moves, the display follows it as the track plays.
    if (player.followsBeats()) setTempoDisplay(player.playedTempoNow());
    // The key's place says whether Sync is on, and why it cannot follow
    // the host where it cannot.
    const Deck::SyncStatus sync = player.syncStatus();
    const int32_t found = player.heardKey();
    const int32_t key = sync == Deck::SyncStatus::OutOfReach   ? 100
                        : sync == Deck::SyncStatus::NoHostTime ? 101
                        : sync == Deck::SyncStatus::NoGrid     ? 102
                        : player.isSyncOn()                    ? 200 + found
                                                               : found;
    if (key == shownKey) return;
    shownKey = key;
    std::string text = key == 100 ? "Sync: too far" : key == 101 ? "Sync: no host" : key == 102 ? "Sync: no beat" : "";
    if (found >= 0 && found < 24) {
        const MusicalKey named{found % 12, found >= 12};
        if (key >= 199) text = "SYNC " + named.camelot();
        else if (key == found) text = named.camelot() + " / " + named.name();
    } else if (key >= 199) {
        text = "SYNC";
    }
    parts.key->setText(text.c_str());
    // The captions beneath are drawn again to clear the last key.
    parts.pitch->setDirty(true);
}

void PlayerEditor::showTrackFacts(int32_t bitRate, float durationSeconds, bool stereo) {
    display(
        PendingFacts,
        [&] {
            pendingBitRate = bitRate;
            pendingDuration = durationSeconds;
            pendingStereo = stereo;
        },
        [&] {
            setFactsDisplay(bitRate, durationSeconds, stereo);
            update();
        });
}

void PlayerEditor::showTime(float positionFraction, int32_t elapsedSeconds, int32_t totalSeconds) {
    display(
        PendingTime,
        [&] {
            pendingFraction = positionFraction;
            pendingElapsed = elapsedSeconds;
            pendingTotal = totalSeconds;
        },
        [&] {
            setTimeDisplay(positionFraction, elapsedSeconds, totalSeconds);
            postUpdate();
        });
}

void PlayerEditor::showTempo(float beatsPerMinute) {
    display(
        PendingTempo, [&] { pendingTempo = beatsPerMinute; },
        [&] {
            setTempoDisplay(beatsPerMinute);
            update();
        });
}

void PlayerEditor::showOpenError(const char* reason) {
    display(PendingOpenError, [&] { pendingOpenReason = reason; }, [&] { showOpenErrorNow(reason); });
}

void PlayerEditor::showOpenErrorNow(const char* reason) {
    char text[96];
    std::snprintf(text, sizeof text, reason && *reason ? "Unable to open file: %s" : "Unable to open file", reason);
    showTitleMessage(text);
}

void PlayerEditor::showStoreProblem(const char* problem) {
    display(PendingStoreProblem, [&] { pendingStoreProblem = problem; }, [&] { showStoreProblemNow(problem); });
}

void PlayerEditor::showStoreProblemNow(const char* problem) {
    if (!problem || !*problem) return;
    char text[96];
    std::snprintf(text, sizeof text, "Track store: %s", problem);
    showTitleMessage(text);
}

void PlayerEditor::showTitle() {
    display(PendingTitle, [] {}, [&] {
        char name[TrackList::pathRoom];
        player.getTrackName(name, sizeof name);
        if (std::strchr(name, '.')) setTitleText(name, true);
        postUpdate();
    });
}

// Rows scroll by whole pixels: with a fraction f of a row scrolled, the
// first row shrinks from below and the last one grows up from the bottom.
void PlayerEditor::showList(const char* const* rows, const bool* marks, int32_t currentRow, float scroll,
                            float fraction) {
    if (!rows || !marks) return;
    display(PendingList, [] {}, [&] { showRows(rows, marks, currentRow, scroll, fraction); });
}

void PlayerEditor::showRows(const char* const* rows, const bool* marks, int32_t currentRow, float scroll,
                            float fraction) {
    const int32_t n = parts.rowCount;
    const int32_t top = parts.listTop, bottom = parts.listBottom, right = parts.rowRight;
    const auto shift = static_cast<int32_t>(16.0f * fraction);
    for (int32_t k = 0; k < n; ++k) {
        const char* text = rows[k] ? rows[k] : "";
        TextField* label = parts.rowLabels[k];
        label->setBackground(*text && marks[k] ? parts.selectedRowBitmap : parts.rowBitmap);
        label->setText(text);
        label->setFontColour(k == currentRow ? currentRowColour : otherRowColour);
        Rect place{4, top + 16 * k - shift, right, top + 16 * k + 16 - shift};
        if (k == 0) place = {4, top, right, top + 16 - shift};
        if (k == n - 1) place = {4, bottom - shift, right, bottom};
        label->setViewSize(place);
        label->setMouseableArea(place);
        parts.rows[k]->setViewSize(place);
        parts.rows[k]->setMouseableArea(place);
        // A row scrolled out of sight takes no click (its rectangle has no
        // height, but hit tests take edges).
        parts.rows[k]->setMouseEnabled(place.height() > 0);
    }
    parts.listScroll->setValue(scroll);
    update();
}

void PlayerEditor::refreshOverview(bool force) {
    display(force ? PendingOverviewForced : PendingOverview, [] {}, [&] { refreshOverviewNow(force); });
}

void PlayerEditor::refreshOverviewNow(bool force) {
    if (!windowOpen) return; // the window draws the whole overview when it opens
    const uint32_t now = platform::tickCount();
    if (!force && now - lastOverviewRefresh <= overviewIntervalMs) {
        // Too soon after the last one: the next idle tries again, so the
        // last part the loader drew is never left out of the window.
        pending.fetch_or(PendingOverview, std::memory_order_relaxed);
        return;
    }
    parts.position->setDirty(true);
    update();
    lastOverviewRefresh = now;
}
