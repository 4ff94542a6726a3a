// Hostile ".m3u" text through the path the add button takes: the list is
// read, its lines formed into paths and inserted, and the list saved again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "deck/Deck.h"
#include "tests/support/ScriptedDialogs.h"

namespace {
// The deck alone, as a host without a window would hold it: no plug-in
// format, no editor (the fuzzer then needs only the deck's layers).
struct QuietHost : DeckHost {
    float hostSampleRate() const override { return 44100.0f; }
    const char* hostFolder() override { return nullptr; }
    void beginEdit(int32_t) override {}
    void automate(int32_t, float) override {}
    void endEdit(int32_t) override {}
    void wantMidi() override {}
    bool rendersOffline() override { return true; }
    void publishTime(const DeckTime&) override {}
};

struct NoView : PlayerView {
    void close() override {}
    void showTrackFacts(int32_t, float, bool) override {}
    void showTime(float, int32_t, int32_t) override {}
    void showTitle() override {}
    void showTempo(float) override {}
    void showList(const char* const*, const bool*, int32_t, float, float) override {}
    void refreshOverview(bool) override {}
    void showOpenError(const char*) override {}
    void showStoreProblem(const char*) override {}
    uint8_t* overviewPixels() override { return pixels; }
    int32_t page() const override { return 0; }
    bool showsRemainingTime() const override { return false; }
    void restoreView(int32_t, bool, float) override {}
    uint8_t pixels[TrackSource::overviewBytes] = {};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Inputs that overflow the list make the player tell the user; on a
    // desktop the system's message would hold the run. This provider
    // answers nothing and installs itself.
    static ScriptedDialogsBase silent;
    static QuietHost host;
    static NoView view;
    static Deck* player = [] {
        Deck* deck = new Deck(host, fullProfile, [](Deck&) -> PlayerView* { return &view; });
        deck->start();
        return deck;
    }();
    // A folder of this run's own, gone when the run ends.
    static const std::string folder = [] {
        auto made = std::filesystem::temp_directory_path() / ("tunedeck-fuzz-lists-" + std::to_string(getpid()));
        std::filesystem::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("tunedeck-fuzz-lists-" + std::to_string(getpid())),
                                        ignored);
        });
        return made.string() + "/";
    }();
    static const std::string listPath = folder + "set.m3u";

    FILE* file = std::fopen(listPath.c_str(), "wb");
    if (!file) return 0;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);

    player->deleteSelected(); // nothing selected: empties the list
    char buffer[64];
    std::snprintf(buffer, sizeof buffer - 1, "%s", listPath.c_str());
    buffer[sizeof buffer - 1] = 0;
    player->addFiles(buffer, sizeof buffer, false);
    // The raw bytes as a multi-selection buffer, bounded by their size.
    player->addFiles(reinterpret_cast<const char*>(data), size, false);
    player->waitForOpenings();
    char output[4096];
    player->readTrackList(listPath.c_str(), output, sizeof output);
    player->saveTrackList((folder + "saved.m3u").c_str());
    return 0;
}
