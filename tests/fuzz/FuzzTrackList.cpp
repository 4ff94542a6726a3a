// Hostile ".m3u" text through the path the add button takes: the list is
// read, its lines formed into paths and inserted, and the list saved again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "vst2/TrackPlayer.h"
#include "tests/support/ScriptedDialogs.h"

namespace {
intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) { return opcode == audioMasterVersion; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Inputs that overflow the list make the player tell the user; on a
    // desktop the system's message would hold the run. This provider
    // answers nothing and installs itself.
    static ScriptedDialogsBase silent;
    static TrackPlayer* player = new TrackPlayer(host, fullProfile);
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
