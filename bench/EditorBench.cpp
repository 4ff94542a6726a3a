// What the editor costs: on the GUI thread, an idle that shows a new time,
// and a whole redraw, against copying the window's pixels once; on the
// audio thread, a host parameter with a window open, against setting the
// player's volume directly.
#include <benchmark/benchmark.h>

#include <cstring>
#include <thread>
#include <vector>

#include "gui/WindowView.h"
#include "editor/PlayerEditor.h"
#include "vst2/TrackPlayer.h"

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) { return opcode == audioMasterVersion ? 2400 : 0; }

struct ShownEditor {
    ShownEditor() : player(host, fullProfile) {
        player.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f);
        auto& window = dynamic_cast<platform::OffscreenWindow&>(editor().windowView()->native());
        window.queuePaint(0, 0, 255, 349);
        editor().idle();
    }
    PlayerEditor& editor() { return editorOf(player); }
    TrackPlayer player;
};

void BM_EditorBaselinePixelCopy(benchmark::State& state) {
    ShownEditor shown;
    const PixelSurface& pixels = shown.editor().windowView()->pixels();
    std::vector<uint32_t> copy(static_cast<size_t>(pixels.width()) * pixels.height());
    for (auto _ : state) {
        std::memcpy(copy.data(), pixels.data(), copy.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_EditorBaselinePixelCopy);

void BM_EditorIdleShowingANewTime(benchmark::State& state) {
    ShownEditor shown;
    int32_t second = 0;
    for (auto _ : state) {
        second = (second + 1) % 600;
        shown.editor().showTime(static_cast<float>(second) / 600.0f, second, 600);
        shown.editor().idle();
    }
}
BENCHMARK(BM_EditorIdleShowingANewTime);

void BM_EditorWholeRedraw(benchmark::State& state) {
    ShownEditor shown;
    for (auto _ : state) shown.editor().windowView()->drawView(nullptr);
}
BENCHMARK(BM_EditorWholeRedraw);

void BM_AudioThreadBaselineSetVolume(benchmark::State& state) {
    ShownEditor shown;
    float volume = 0.0f;
    for (auto _ : state) {
        volume = volume > 0.9f ? 0.0f : volume + 0.01f;
        shown.player.setVolume(volume);
    }
}
BENCHMARK(BM_AudioThreadBaselineSetVolume);

// The window opens on a thread of its own, so that this thread calls the
// editor as a host's audio thread does.
void BM_AudioThreadVolumeParameterWithTheWindowOpen(benchmark::State& state) {
    std::unique_ptr<ShownEditor> shown;
    std::thread gui([&] { shown = std::make_unique<ShownEditor>(); });
    gui.join();
    float volume = 0.0f;
    for (auto _ : state) {
        volume = volume > 0.9f ? 0.0f : volume + 0.01f;
        shown->player.setParameter(TrackPlayer::Vol, volume);
    }
}
BENCHMARK(BM_AudioThreadVolumeParameterWithTheWindowOpen);

} // namespace
