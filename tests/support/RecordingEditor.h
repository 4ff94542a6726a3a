#pragma once
// An editor that remembers what the player sent it, window closed or not.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "editor/PlayerEditor.h"
#include "vst2/TrackPlayer.h"

// The player calls its editor from loader and opener threads too, so every
// record is taken under a lock.
class RecordingEditor : public PlayerEditor {
public:
    using PlayerEditor::PlayerEditor;

    static PlayerEditor* make(Deck& player, const BuildProfile& profile) { return new RecordingEditor(player, profile); }
    static RecordingEditor& of(Deck& player) { return static_cast<RecordingEditor&>(editorOf(player)); }

    void showTempo(float bpm) override {
        std::lock_guard<std::mutex> guard(mutex);
        tempos.push_back(bpm);
    }
    void showOpenError(const char* reason) override {
        std::lock_guard<std::mutex> guard(mutex);
        openReasons.push_back(reason ? reason : "");
        ++openErrors;
    }
    void showTrackFacts(int32_t bitRate, float seconds, bool stereo) override {
        std::lock_guard<std::mutex> guard(mutex);
        facts.push_back({bitRate, seconds, stereo});
    }
    void showTime(float fraction, int32_t elapsed, int32_t total) override {
        std::lock_guard<std::mutex> guard(mutex);
        times.push_back({fraction, elapsed, total});
    }
    void refreshOverview(bool force) override {
        std::lock_guard<std::mutex> guard(mutex);
        overviewRefreshes.push_back(force);
    }

    struct Facts { int32_t bitRate; float seconds; bool stereo; };
    struct Time { float fraction; int32_t elapsed, total; };
    std::vector<float> tempos;
    std::vector<Facts> facts;
    std::vector<Time> times;
    std::vector<bool> overviewRefreshes;
    std::atomic<int> openErrors{0};
    std::vector<std::string> openReasons;
    std::mutex mutex;
};
