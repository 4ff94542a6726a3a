// Hostile store files: the reader, lookups and a store over what it read,
// and the write-back, merged with a hostile file, with its summary.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "store/TrackInfoStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A folder of this run's own, gone when the run ends.
    static const std::filesystem::path folder = [] {
        auto made = std::filesystem::temp_directory_path() / ("tunedeck-fuzz-store-" + std::to_string(getpid()));
        std::filesystem::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("tunedeck-fuzz-store-" + std::to_string(getpid())),
                                        ignored);
        });
        return made;
    }();
    static const std::string path = (folder / "trakvox.dat").string();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    {
        TrackInfoStore store(path);
        int32_t signature[4] = {0, 0, 0, 0};
        if (size >= 20) std::memcpy(signature, data + 4, sizeof signature);
        TrackInfoRecord found = store.getRecord(signature, "/music/track.mp3", false);
        (void)found;
        store.putRecord(signature, "/music/track.mp3", 123.0f, 4410, nullptr, true, true, false);
        // Another process writes the file meanwhile: the write-back merges
        // this store's records with whatever is there now.
        if (FILE* again = std::fopen(path.c_str(), "wb")) {
            if (size) std::fwrite(data, 1, size, again);
            std::fclose(again);
        }
    }
    return 0;
}
